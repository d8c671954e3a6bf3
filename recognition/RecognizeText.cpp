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
  // input differently (tests script them).
  const bool remember = typeid(network) == typeid(TBackProp);
  TGridMemory<std::string> answers;
  // The layers end as the last glyph's pass leaves them, remembered or not.
  Bitmap lastRemembered;
  bool lastWasRemembered = false;
  ForEachGlyphGrid(
      *this, network.InputCols, network.InputRows,
      [&](const TGlyphPlace& place, const TChar&, const Bitmap& grid) {
        std::string key;
        const std::string* known = nullptr;
        if (remember) {
          key = GridKey(grid);
          known = answers.Find(key);
        }
        if (known) {
          answer = *known;
          lastRemembered = grid;
          lastWasRemembered = true;
        } else {
          TBackProp::BitmapToInput(grid, network.InputLayer);
          network.Propagate();
          answer.clear();
          network.Recognize(answer);
          if (remember) answers.Add(std::move(key), answer);
          lastWasRemembered = false;
        }
        ResultText += answer;
        // A full stop that closes its line: the last entry of the line's last word.
        if (answer == "." && place.WordEndsLine && place.LastOfWord) ResultText += "\r\n";
      },
      [&] { ResultText += ' '; });
  if (lastWasRemembered) {
    TBackProp::BitmapToInput(lastRemembered, network.InputLayer);
    network.Propagate();
  }
}

}  // namespace kyt
