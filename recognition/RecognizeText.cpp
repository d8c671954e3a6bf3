// The recognition driver: segment the picture, classify every glyph with the
// network and join the answers into ResultText.
#include <string>

#include "platform/Platform.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/GlobalMdl.h"

namespace kyt {

namespace {

// The hourglass shows while recognition runs and goes away however it ends.
class HourglassCursor {
 public:
  HourglassCursor() { Platform().SetCursor(kCursorHourglass); }
  ~HourglassCursor() { Platform().SetCursor(kCursorDefault); }
  HourglassCursor(const HourglassCursor&) = delete;
  HourglassCursor& operator=(const HourglassCursor&) = delete;
};

// Draws the glyph's pixels black on white into a bitmap as large as its box.
void DrawGlyph(const TChar& glyph, Bitmap& work) {
  work.SetSize(glyph.BottomRight.X - glyph.TopLeft.X + 1, glyph.BottomRight.Y - glyph.TopLeft.Y + 1);
  work.Fill(kWhite);
  for (const TPoint& p : glyph.Pixels) work.SetPixel(p.X - glyph.TopLeft.X, p.Y - glyph.TopLeft.Y, kBlack);
}

}  // namespace

void TDCRFrame::RecognizeText(TBackProp& network) {
  HourglassCursor hourglass;

  Binarize();
  FindLines();
  FindWords();
  FindChars();

  ResultText.clear();
  Bitmap work;  // reused for every glyph, released on every way out
  std::string answer;
  for (const TLine& line : Lines) {
    for (size_t w = 0; w < line.Words.size(); ++w) {
      const TWord& word = line.Words[w];
      const bool lastWordOfLine = w + 1 == line.Words.size();
      for (size_t c = 0; c < word.Chars.size(); ++c) {
        const TChar& glyph = word.Chars[c];
        if (glyph.Skipped) continue;
        DrawGlyph(glyph, work);
        {
          const Bitmap grid = NormalizeGlyph(work, network.InputCols, network.InputRows);
          TBackProp::BitmapToInput(grid, network.InputLayer);
        }
        network.Propagate();
        answer.clear();
        network.Recognize(answer);
        ResultText += answer;
        // A full stop that closes its line: the last entry of the line's last word.
        if (answer == "." && lastWordOfLine && c + 1 == word.Chars.size()) ResultText += "\r\n";
      }
      ResultText += ' ';
    }
  }
}

}  // namespace kyt
