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

// f(colour) remembered for the last colour seen: pages are mostly runs of
// one colour, and the luminance is computed in extended precision.
template <typename T, T (*F)(kyt::Color)>
class LastColour {
 public:
  T operator()(kyt::Color c) {
    if (!have_ || c != colour_) colour_ = c, value_ = F(c), have_ = true;
    return value_;
  }

 private:
  bool have_ = false;
  kyt::Color colour_ = 0;
  T value_{};
};

double Luminance(kyt::Color c) { return kyt::TDCRFrame::Luminance(c); }

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
  LastColour<uint8_t, LuminanceByte> level;
  for (int32_t y = 0; y < picture.Height(); ++y) {
    const kyt::Color* row = picture.Row(y);
    for (int32_t x = 0; x < picture.Width(); ++x) ++h[level(row[x])];
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
  LastColour<double, Luminance> luminance;
  for (int32_t y = 0; y < page.height; ++y) {
    const kyt::Color* row = picture.Row(y);
    for (int32_t x = 0; x < page.width; ++x) {
      double v = luminance(row[x]);
      if (choice.invert) v = 255.0 - v;
      page.At(x, y) = double(choice.bw) > v ? 1 : 0;
    }
  }
  return page;
}

double PaperMap::At(double x, double y) const {
  if (level.empty()) return 255.0;
  // Tile centres lie at (c + 0.5) * tile.
  const double fx = std::clamp(x / tile - 0.5, 0.0, double(cols - 1));
  const double fy = std::clamp(y / tile - 0.5, 0.0, double(rows - 1));
  const int32_t c0 = int32_t(fx), r0 = int32_t(fy);
  const int32_t c1 = std::min(c0 + 1, cols - 1), r1 = std::min(r0 + 1, rows - 1);
  const double ax = fx - c0, ay = fy - r0;
  auto at = [&](int32_t c, int32_t r) { return level[size_t(r) * size_t(cols) + size_t(c)]; };
  return (at(c0, r0) * (1 - ax) + at(c1, r0) * ax) * (1 - ay) + (at(c0, r1) * (1 - ax) + at(c1, r1) * ax) * ay;
}

std::optional<bool> InvertedByTiles(const kyt::Bitmap& picture) {
  const int32_t w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return std::nullopt;
  const int32_t tile = std::clamp(std::min(w, h) / 8, 16, 64);
  uint64_t darker = 0, lighter = 0;
  for (int32_t top = 0; top < h; top += tile)
    for (int32_t left = 0; left < w; left += tile) {
      Histogram hist{};
      uint64_t n = 0;
      for (int32_t y = top; y < std::min(h, top + tile); ++y)
        for (int32_t x = left; x < std::min(w, left + tile); ++x) ++hist[LuminanceByte(picture.Pixel(x, y))], ++n;
      uint64_t seen = 0;
      int32_t median = 0;
      for (; median < 255; ++median) {
        seen += hist[size_t(median)];
        if (seen * 2 >= n) break;
      }
      constexpr int32_t kApart = 48;
      for (int v = 0; v < 256; ++v) {
        if (v < median - kApart) darker += hist[size_t(v)];
        if (v > median + kApart) lighter += hist[size_t(v)];
      }
    }
  if (darker > 2 * lighter) return false;
  if (lighter > 2 * darker) return true;
  return std::nullopt;
}

PaperMap MeasurePaper(const kyt::Bitmap& picture, bool invert) {
  PaperMap map;
  const int32_t w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return map;
  map.tile = std::clamp(std::min(w, h) / 8, 16, 64);
  map.cols = (w + map.tile - 1) / map.tile;
  map.rows = (h + map.tile - 1) / map.tile;
  // The light level of each tile: the value above which two fifths of it lie
  // (text covers less than the rest of a tile of text).
  std::vector<double> light(size_t(map.cols) * size_t(map.rows), 0.0);
  for (int32_t r = 0; r < map.rows; ++r)
    for (int32_t c = 0; c < map.cols; ++c) {
      Histogram hist{};
      uint64_t n = 0;
      for (int32_t y = r * map.tile; y < std::min(h, (r + 1) * map.tile); ++y)
        for (int32_t x = c * map.tile; x < std::min(w, (c + 1) * map.tile); ++x) {
          uint8_t v = LuminanceByte(picture.Pixel(x, y));
          ++hist[invert ? 255 - v : v];
          ++n;
        }
      uint64_t seen = 0;
      int32_t v = 255;
      for (; v > 0; --v) {
        seen += hist[size_t(v)];
        if (seen * 5 >= n * 2) break;
      }
      light[size_t(r) * size_t(map.cols) + size_t(c)] = v;
    }
  // A tile wholly covered by a large glyph or a dark picture shows no paper:
  // a tile much darker than the median of its neighbourhood takes that median.
  map.level.assign(light.size(), 0.0);
  std::vector<double> near;
  for (int32_t r = 0; r < map.rows; ++r)
    for (int32_t c = 0; c < map.cols; ++c) {
      near.clear();
      for (int32_t dr = -1; dr <= 1; ++dr)
        for (int32_t dc = -1; dc <= 1; ++dc) {
          const int32_t rr = r + dr, cc = c + dc;
          if (rr < 0 || cc < 0 || rr >= map.rows || cc >= map.cols) continue;
          near.push_back(light[size_t(rr) * size_t(map.cols) + size_t(cc)]);
        }
      std::nth_element(near.begin(), near.begin() + std::ptrdiff_t(near.size() / 2), near.end());
      const double own = light[size_t(r) * size_t(map.cols) + size_t(c)], median = near[near.size() / 2];
      map.level[size_t(r) * size_t(map.cols) + size_t(c)] = own < median - 24.0 ? median : own;
    }
  return map;
}

InkPage MakeAdaptiveInkPage(const kyt::Bitmap& picture, const InkChoice& choice, const Histogram& histogram) {
  const PaperMap paper = MeasurePaper(picture, choice.invert);
  if (paper.level.empty()) return MakeInkPage(picture, choice);
  // Even paper, within a few levels everywhere: the global threshold.
  const auto [low, high] = std::minmax_element(paper.level.begin(), paper.level.end());
  if (*high - *low <= 24.0) return MakeInkPage(picture, choice);
  // The ink: the darkest levels of the page (ink keeps its colour where the
  // paper changes); the threshold lies where 196 lies between black and white.
  Histogram h{};
  uint64_t total = 0;
  for (int v = 0; v < 256; ++v) h[size_t(choice.invert ? 255 - v : v)] = histogram[size_t(v)], total += histogram[size_t(v)];
  int32_t ink = 0;
  for (uint64_t seen = 0; ink < 255; ++ink) {
    seen += h[size_t(ink)];
    if (seen * 500 >= total) break;
  }
  const double share = 196.0 / 255.0;
  InkPage page;
  page.width = picture.Width();
  page.height = picture.Height();
  page.cells.assign(size_t(page.width) * size_t(page.height), 0);
  for (int32_t y = 0; y < page.height; ++y) {
    const kyt::Color* row = picture.Row(y);
    for (int32_t x = 0; x < page.width; ++x) {
      double v = kyt::TDCRFrame::Luminance(row[x]);
      if (choice.invert) v = 255.0 - v;
      const double local = paper.At(x + 0.5, y + 0.5);
      const double threshold = std::max(double(ink) + 1.0, ink + share * (local - ink));
      page.At(x, y) = threshold > v ? 1 : 0;
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
