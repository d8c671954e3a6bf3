#pragma once
// TDCRFrame: the panel inside every DCR window. It holds the picture, the three
// recognition parameters and the results of the last segmentation, and turns
// the picture into text (RecognizeText).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "recognition/ImageArray.h"
#include "recognition/RecognitionParams.h"

namespace kyt {

class TBackProp;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  bool operator==(const TPoint&) const = default;
};

struct TChar {
  std::vector<TPoint> Pixels;  // relative to the word's box, from 1
  TPoint TopLeft;
  TPoint BottomRight;
  bool Skipped = false;
};

struct TWord {
  int32_t Left = 0;   // first picture column, inclusive
  int32_t Right = 0;  // last picture column, inclusive
  std::vector<TChar> Chars;
};

struct TLine {
  int32_t Top = 0;     // first picture row, inclusive
  int32_t Bottom = 0;  // last picture row, inclusive
  std::vector<TWord> Words;
};

using TLines = std::vector<TLine>;
using TPixelLabels = std::vector<int32_t>;

constexpr int32_t kNoLabel = 2147483647;

class TDCRFrame : public TRecognitionParams {
 public:
  // Design values of the frame's layout.
  static constexpr int32_t kDesignWidth = 341;
  static constexpr int32_t kDesignHeight = 267;
  // The title panel above the picture (its look: window/DcrWindowLook.h).
  static constexpr int32_t kTitleHeight = 25;  // pnlTitle

  // The Image control's picture bitmap; the control is always as large as it.
  Bitmap Picture;
  TImageArray ImageArray;
  TLines Lines;
  std::string ResultText;
  // BWThreshold, NoiseThreshold and SpaceWidth come from TRecognitionParams.
  TRecognitionParams& Parameters() { return *this; }
  const TRecognitionParams& Parameters() const { return *this; }

  // Client size of the frame (it fills its window's client area).
  int32_t ClientWidth = kDesignWidth;
  int32_t ClientHeight = kDesignHeight;

  // Called after the picture changed (load, clear), so that a window can repaint.
  std::function<void()> OnPictureChanged;

  void SetUp();
  void ClearPicture();
  // Puts a loaded picture into the frame: ClearPicture, resize, draw at (0, 0).
  void AssignPicture(const Bitmap& picture);

  void Binarize();
  // Luminance of a picture colour as binarisation computes it.
  static double Luminance(Color color);
  void FindLines();
  void FindWords();
  void FindChars();
  void RecognizeText(TBackProp& network);
  // RecognizeText's steps after Binarize, on ImageArray as it stands (filled
  // by a caller that binarised the picture itself), without the busy sign.
  void RecognizeImageArray(TBackProp& network);

 private:
  void BlankPicture();
  void PictureChanged();
};

}  // namespace kyt
