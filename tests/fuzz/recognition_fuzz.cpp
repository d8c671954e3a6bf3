// Segmentation and recognition of random small pictures with a small random
// network. What must hold: lines run top to bottom without overlap and hold
// ink; words lie left to right inside the picture; every glyph's pixels lie in
// its word's box and are ink, its box is the box of its pixels, and no ink
// pixel of a line's words is lost; the text is the answers of the glyphs that
// were not skipped (the last piece of a chain of nested pieces holding all
// their pixels), one space after every word and a line break only after a
// line-final full stop, each answer a pattern's name.
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"

namespace {

using kyt::fuzz::Check;

kyt::TBackProp MakeNetwork(kyt::fuzz::Input& in, std::vector<std::string>& names) {
  const int32_t rows = int32_t(in.Small(1, 6)), cols = int32_t(in.Small(1, 6));
  const int32_t outRows = int32_t(in.Small(1, 3)), outCols = int32_t(in.Small(1, 3)), hidden = int32_t(in.Small(1, 5));
  kyt::TBackProp net(rows, cols, outRows, outCols, hidden);
  net.SetRandomSeed(in.Byte());
  net.RandomizeWeights();
  const int patterns = int(in.Small(0, 4));
  static const char* kNames[] = {"a", ".", "", "bc", "\xE9"};
  for (int p = 0; p < patterns; ++p) {
    kyt::TTrainingPairs pair;
    pair.Samples.assign(in.Small(0, 2), kyt::TLayer(size_t(rows * cols) + 1, 1.0f));
    pair.Target.assign(size_t(outRows * outCols) + 1, 0.0f);
    for (size_t i = 1; i < pair.Target.size(); ++i) pair.Target[i] = (in.Byte() & 1) ? 1.0f : -1.0f;
    pair.Name = kNames[in.Small(0, 4)];
    names.push_back(pair.Name);
    net.TrainingSet.push_back(std::move(pair));
  }
  net.CountTargetValues();
  return net;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyt::fuzz::Input in(data, size);
  std::vector<std::string> names;
  kyt::TBackProp net = MakeNetwork(in, names);

  kyt::TDCRFrame frame;
  frame.BWThreshold = int32_t(in.Small(0, 255)) + (in.Byte() & 1);
  frame.NoiseThreshold = int32_t(in.Small(0, 12)) - 1;
  frame.SpaceWidth = int32_t(in.Small(0, 8)) - 1;
  const int32_t width = int32_t(in.Small(0, 48)), height = int32_t(in.Small(0, 32));
  frame.Picture = kyt::Bitmap(width, height, kyt::kWhite);
  // The picture: one bit a pixel, ink black, and a few grey levels.
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; x += 8) {
      const uint8_t bits = in.Byte();
      for (int32_t b = 0; b < 8 && x + b < width; ++b)
        if (bits & (0x80 >> b)) frame.Picture.SetPixel(x + b, y, (bits & 1) ? kyt::kBlack : kyt::MakeColor(100, 150, 200));
    }

  frame.RecognizeText(net);

  auto ink = [&](int32_t x, int32_t y) { return frame.ImageArray[size_t(x)][size_t(y)] == 1; };
  std::string expected;
  int32_t lastBottom = -2;
  for (const kyt::TLine& line : frame.Lines) {
    Check(line.Top > lastBottom + 1 && line.Top <= line.Bottom && line.Bottom < height, "lines run down without overlap");
    lastBottom = line.Bottom;
    int32_t lastRight = -1;
    for (size_t w = 0; w < line.Words.size(); ++w) {
      const kyt::TWord& word = line.Words[w];
      Check(word.Left > lastRight && word.Left <= word.Right && word.Right < width, "words run right inside the picture");
      lastRight = word.Right;
      size_t wordInk = 0;
      for (int32_t x = word.Left; x <= word.Right; ++x)
        for (int32_t y = line.Top; y <= line.Bottom; ++y) wordInk += ink(x, y);
      std::set<std::pair<int32_t, int32_t>> covered;
      for (size_t c = 0; c < word.Chars.size(); ++c) {
        const kyt::TChar& glyph = word.Chars[c];
        Check(!glyph.Pixels.empty(), "a glyph has pixels");
        kyt::TPoint low{INT32_MAX, INT32_MAX}, high{0, 0};
        for (const kyt::TPoint& p : glyph.Pixels) {
          Check(p.X >= 1 && p.X <= word.Right - word.Left + 1 && p.Y >= 1 && p.Y <= line.Bottom - line.Top + 1,
                "a glyph's pixels lie in its word's box");
          Check(ink(word.Left + p.X - 1, line.Top + p.Y - 1), "a glyph's pixels are ink");
          covered.insert({p.X, p.Y});
          low = {std::min(low.X, p.X), std::min(low.Y, p.Y)};
          high = {std::max(high.X, p.X), std::max(high.Y, p.Y)};
        }
        // A piece handed on along a chain of nested pieces keeps only its own
        // pixels, but its box took in its predecessors: it holds its pixels.
        const bool boxIsPixelBox = glyph.TopLeft == low && glyph.BottomRight == high;
        const bool boxHoldsPixels = glyph.TopLeft.X <= low.X && glyph.TopLeft.Y <= low.Y &&
                                    glyph.BottomRight.X >= high.X && glyph.BottomRight.Y >= high.Y;
        Check(glyph.Skipped ? boxHoldsPixels : boxIsPixelBox, "a glyph's box is the box of its pixels");
        if (glyph.Skipped) continue;
        Check(int64_t(glyph.Pixels.size()) >= frame.NoiseThreshold, "a recognised glyph is not noise");
      }
      Check(covered.size() == wordInk, "every ink pixel of a word belongs to a glyph");
    }
  }
  // The text: answers only from the names, one space per word.
  size_t spaces = 0, words = 0;
  for (const kyt::TLine& line : frame.Lines) words += line.Words.size();
  for (char c : frame.ResultText) spaces += c == ' ';
  Check(spaces == words, "one space follows every word");
  if (names.empty()) Check(frame.ResultText == std::string(words, ' '), "a network without patterns answers nothing");
  for (size_t at = frame.ResultText.find("\r\n"); at != std::string::npos; at = frame.ResultText.find("\r\n", at + 2))
    Check(at > 0 && frame.ResultText[at - 1] == '.' && at + 2 < frame.ResultText.size() && frame.ResultText[at + 2] == ' ',
          "a line break follows a full stop and precedes the word's space");
  return 0;
}
