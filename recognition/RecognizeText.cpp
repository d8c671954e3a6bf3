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

}  // namespace

void TDCRFrame::RecognizeText(TBackProp& network) {
  HourglassCursor hourglass;

  Binarize();
  FindLines();
  FindWords();
  FindChars();

  ResultText.clear();
  std::string answer;
  for (const TLine& line : Lines) {
    for (size_t w = 0; w < line.Words.size(); ++w) {
      const TWord& word = line.Words[w];
      const bool lastWordOfLine = w + 1 == line.Words.size();
      for (size_t c = 0; c < word.Chars.size(); ++c) {
        const TChar& glyph = word.Chars[c];
        if (glyph.Skipped) continue;
        {
          // Scaled from the pixel list: the same grid as drawing the glyph
          // into a bitmap of its box and normalising that, but without work
          // in the box's area, which for long slanted strokes (hatching) is
          // far larger than the ink and made such pictures take minutes.
          const Bitmap grid =
              NormalizeGlyphPixels(glyph.Pixels, glyph.TopLeft, glyph.BottomRight, network.InputCols, network.InputRows);
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
