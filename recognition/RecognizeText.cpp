// The recognition driver: segment the picture, classify every glyph with the
// network and join the answers into ResultText.
#include <string>
#include <typeinfo>

#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/EngineHooks.h"
#include "recognition/GlobalMdl.h"
#include "recognition/GridMemory.h"

namespace kyt {

namespace {

// The busy sign shows while recognition runs and goes away however it ends.
class HourglassCursor {
 public:
  HourglassCursor() { Busy(true); }
  ~HourglassCursor() { Busy(false); }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;

 private:
  static void Busy(bool busy) {
    const EngineHooks& hooks = CurrentEngineHooks();
    if (hooks.Busy) hooks.Busy(busy);
  }
};

}  // namespace

void TDCRFrame::RecognizeText(TBackProp& network) {
  HourglassCursor hourglass;
  Binarize();
  RecognizeImageArray(network);
}

void TDCRFrame::RecognizeImageArray(TBackProp& network) {
  FindLines();
  FindWords();
  FindChars();

  ResultText.clear();
  std::string answer;
  // Only the input layer changes from glyph to glyph.
  TBackProp::FixedNetwork fixed(network);
  // A grid met before gets the name found for it then (GridMemory.h): the
  // same name the network would give again. Only for the engine's own class,
  // since a derived network's Propagate and Recognize may answer the same
  // input differently (tests script them). A glyph whose pixels, placed in
  // their box, were met before has the grid it had then (GlyphPixelsKey),
  // and takes that grid's name without being scaled again.
  const bool remember = typeid(network) == typeid(TBackProp);
  TGridMemory<std::string> byGrid, byPixels;
  const int32_t gridWidth = network.InputCols, gridHeight = network.InputRows;
  // The layers end as the last glyph's pass leaves them, remembered or not.
  const TChar* lastRemembered = nullptr;
  std::string pixelsKey, gridKey;
  auto scaled = [&](const TChar& glyph) {
    return NormalizeGlyphPixels(glyph.Pixels, glyph.TopLeft, glyph.BottomRight, gridWidth, gridHeight);
  };
  ForEachGlyph(
      *this,
      [&](const TGlyphPlace& place, const TChar& glyph) {
        const std::string* known = nullptr;
        const bool keyed = remember && GlyphPixelsKey(glyph.Pixels, glyph.TopLeft, glyph.BottomRight, pixelsKey);
        if (keyed) known = byPixels.Find(pixelsKey);
        if (!known) {
          const Bitmap grid = scaled(glyph);
          if (remember) {
            gridKey = GridKey(grid);
            known = byGrid.Find(gridKey);
          }
          if (!known) {
            TBackProp::BitmapToInput(grid, network.InputLayer);
            network.Propagate();
            answer.clear();
            network.Recognize(answer);
            if (remember) byGrid.Add(std::move(gridKey), answer);
            lastRemembered = nullptr;
          } else {
            answer = *known;
            lastRemembered = &glyph;
          }
          if (keyed) byPixels.Add(std::move(pixelsKey), answer);
        } else {
          answer = *known;
          lastRemembered = &glyph;
        }
        ResultText += answer;
        // A full stop that closes its line: the last entry of the line's last word.
        if (answer == "." && place.WordEndsLine && place.LastOfWord) ResultText += "\r\n";
      },
      [&] { ResultText += ' '; });
  if (lastRemembered) {
    const TChar& glyph = *lastRemembered;
    TBackProp::BitmapToInput(scaled(glyph), network.InputLayer);
    network.Propagate();
  }
}

}  // namespace kyt
