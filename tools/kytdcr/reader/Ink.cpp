// From colours to ink: the page's luminance histogram, the automatic threshold
// and polarity, and the stroke width of its text.
#include <algorithm>
#include <cmath>

#include "Stages.h"

namespace kytdcr::reader {

namespace {

uint8_t LuminanceByte(kyt::Color c) {
  const double y = kyt::TDCRFrame::Luminance(c);
  return uint8_t(std::clamp(std::floor(y), 0.0, 255.0));
}

// The first value t such that values 0..t form Otsu's lower class.
int32_t OtsuSplit(const Histogram& h) {
  double total = 0, sum = 0;
  for (int v = 0; v < 256; ++v) total += double(h[size_t(v)]), sum += double(v) * double(h[size_t(v)]);
  double w0 = 0, sum0 = 0, best = -1;
  int32_t split = 127;
  for (int t = 0; t < 255; ++t) {
    w0 += double(h[size_t(t)]);
    sum0 += double(t) * double(h[size_t(t)]);
    const double w1 = total - w0;
    if (w0 == 0 || w1 == 0) continue;
    const double m0 = sum0 / w0, m1 = (sum - sum0) / w1;
    const double between = w0 * w1 * (m1 - m0) * (m1 - m0);
    if (between > best) best = between, split = t;
  }
  return split;
}

}  // namespace

Histogram LuminanceHistogram(const kyt::Bitmap& picture) {
  Histogram h{};
  for (int32_t y = 0; y < picture.Height(); ++y) {
    const kyt::Color* row = picture.Row(y);
    for (int32_t x = 0; x < picture.Width(); ++x) ++h[LuminanceByte(row[x])];
  }
  return h;
}

InkChoice ChooseInk(const Histogram& histogram, std::optional<int32_t> bw, std::optional<bool> invert) {
  InkChoice choice;
  int distinct = 0;
  for (uint64_t n : histogram) distinct += n != 0;
  if (distinct < 2) {
    // One colour: no ink whatever the threshold; keep the plug-in's values.
    choice.bw = bw.value_or(196);
    choice.invert = invert.value_or(false);
    return choice;
  }
  const int32_t split = OtsuSplit(histogram);
  uint64_t dark = 0, light = 0;
  for (int v = 0; v < 256; ++v) (v <= split ? dark : light) += histogram[size_t(v)];
  choice.invert = invert.value_or(dark > light);
  if (bw) {
    choice.bw = *bw;
    return choice;
  }
  // Levels on the scale where ink is dark: v' = 255 - v when inverted.
  Histogram h{};
  for (int v = 0; v < 256; ++v) h[size_t(choice.invert ? 255 - v : v)] = histogram[size_t(v)];
  const int32_t s = choice.invert ? 254 - split : split;  // lower class 0..s
  // Paper: the commonest value of the light class. Ink: the value below which
  // a tenth of the dark class lies (its darkest strokes, not the blended edges).
  int32_t paper = s + 1;
  for (int v = s + 1; v < 256; ++v)
    if (h[size_t(v)] > h[size_t(paper)]) paper = v;
  uint64_t darkCount = 0;
  for (int v = 0; v <= s; ++v) darkCount += h[size_t(v)];
  int32_t ink = 0;
  uint64_t seen = 0;
  for (int v = 0; v <= s; ++v) {
    seen += h[size_t(v)];
    if (seen * 10 >= darkCount) {
      ink = v;
      break;
    }
  }
  if (paper >= 240 && ink <= 48) {
    choice.bw = 196;
  } else {
    const double t = ink + (196.0 / 255.0) * double(paper - ink);
    choice.bw = std::clamp(int32_t(std::lround(t)), ink + 1, paper);
  }
  return choice;
}

InkPage MakeInkPage(const kyt::Bitmap& picture, const InkChoice& choice) {
  InkPage page;
  page.width = picture.Width();
  page.height = picture.Height();
  page.cells.assign(size_t(page.width) * size_t(page.height), 0);
  for (int32_t y = 0; y < page.height; ++y) {
    const kyt::Color* row = picture.Row(y);
    for (int32_t x = 0; x < page.width; ++x) {
      double v = kyt::TDCRFrame::Luminance(row[x]);
      if (choice.invert) v = 255.0 - v;
      page.At(x, y) = double(choice.bw) > v ? 1 : 0;
    }
  }
  return page;
}

double StrokeWidth(const InkPage& page) {
  std::vector<uint32_t> counts(size_t(std::max(page.width, 1)) + 1, 0);
  uint64_t runs = 0;
  for (int32_t y = 0; y < page.height; ++y) {
    int32_t run = 0;
    for (int32_t x = 0; x <= page.width; ++x) {
      if (x < page.width && page.At(x, y)) {
        ++run;
      } else if (run > 0) {
        ++counts[size_t(run)];
        ++runs;
        run = 0;
      }
    }
  }
  if (runs == 0) return 0.0;
  uint64_t seen = 0;
  for (size_t len = 1; len < counts.size(); ++len) {
    seen += counts[len];
    if (seen * 2 >= runs) return double(len);
  }
  return 1.0;
}

}  // namespace kytdcr::reader
