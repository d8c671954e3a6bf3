// The recognition driver: segment the picture, classify every glyph with the
// network and join the answers into ResultText.
#include <string>

#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "recognition/EngineHooks.h"
#include "recognition/GlobalMdl.h"

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
  ForEachGlyphGrid(
      *this, network.InputCols, network.InputRows,
      [&](const TGlyphPlace& place, const TChar&, const Bitmap& grid) {
        TBackProp::BitmapToInput(grid, network.InputLayer);
        network.Propagate();
        answer.clear();
        network.Recognize(answer);
        ResultText += answer;
        // A full stop that closes its line: the last entry of the line's last word.
        if (answer == "." && place.WordEndsLine && place.LastOfWord) ResultText += "\r\n";
      },
      [&] { ResultText += ' '; });
}

}  // namespace kyt
