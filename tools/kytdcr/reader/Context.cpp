// What the line tells beyond the network: its baseline, x-height and capital
// height, and from them letter case, punctuation and the vertical strokes.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "Letters.h"
#include "core/Cp1251Text.h"
#include "Stages.h"

namespace kytdcr::reader {

using kyt::operator""_cp1251;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

// The network's answer says the size class only where the knowledge base
// tells both cases apart.
bool KnownCase(unsigned char c, const Classifier& classifier) {
  return IsLetter(c) && classifier.Has(std::string(1, char(OtherCase(c))));
}

// Whether the piece's ink encloses paper (o, 0, a ring).
bool HasHole(const Piece& p) {
  const int32_t w = p.box.Width() + 2, h = p.box.Height() + 2;
  std::vector<uint8_t> cell(size_t(w) * size_t(h), 0);  // 0 paper, 1 ink, 2 paper reached from outside
  for (const kyt::TPoint& q : p.pixels) cell[size_t(q.Y - p.box.Top + 1) * size_t(w) + size_t(q.X - p.box.Left + 1)] = 1;
  std::vector<size_t> stack = {0};
  cell[0] = 2;
  while (!stack.empty()) {
    const size_t i = stack.back();
    stack.pop_back();
    const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
    const int32_t dx[4] = {1, -1, 0, 0}, dy[4] = {0, 0, 1, -1};
    for (int k = 0; k < 4; ++k) {
      const int32_t nx = x + dx[k], ny = y + dy[k];
      if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
      const size_t n = size_t(ny) * size_t(w) + size_t(nx);
      if (cell[n] == 0) cell[n] = 2, stack.push_back(n);
    }
  }
  for (uint8_t c : cell)
    if (c == 0) return true;
  return false;
}

// The rows of a piece below its upper third.
Piece LowerPart(const Piece& p) {
  Piece lower;
  const int32_t middle = p.box.Top + p.box.Height() / 3;
  lower.box = {p.box.Left, middle, p.box.Right, p.box.Bottom};
  for (const kyt::TPoint& q : p.pixels)
    if (q.Y >= middle) lower.pixels.push_back(q);
  return lower;
}

// The 8-connected groups of a piece's ink: pixel count and box (picture
// coordinates, right and bottom exclusive), largest first.
struct Part {
  size_t count = 0;
  kyt::Rect box;
};
std::vector<Part> PartsOf(const Piece& p) {
  const int32_t w = p.box.Width(), h = p.box.Height();
  std::vector<uint8_t> cell(size_t(w) * size_t(h), 0);  // 0 paper, 1 ink, 2 ink seen
  for (const kyt::TPoint& q : p.pixels) cell[size_t(q.Y - p.box.Top) * size_t(w) + size_t(q.X - p.box.Left)] = 1;
  std::vector<Part> parts;
  std::vector<size_t> stack;
  for (size_t start = 0; start < cell.size(); ++start) {
    if (cell[start] != 1) continue;
    Part part;
    part.box = {w, h, -1, -1};
    stack.push_back(start);
    cell[start] = 2;
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
      ++part.count;
      part.box = {std::min(part.box.Left, x), std::min(part.box.Top, y), std::max(part.box.Right, x + 1),
                  std::max(part.box.Bottom, y + 1)};
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const size_t n = size_t(ny) * size_t(w) + size_t(nx);
          if (cell[n] == 1) cell[n] = 2, stack.push_back(n);
        }
    }
    part.box = {part.box.Left + p.box.Left, part.box.Top + p.box.Top, part.box.Right + p.box.Left,
                part.box.Bottom + p.box.Top};
    parts.push_back(part);
  }
  std::stable_sort(parts.begin(), parts.end(), [](const Part& a, const Part& b) { return a.count > b.count; });
  return parts;
}

// Where a bar across the middle third of a glyph's columns lies, as a share
// of its height from the top (0 at the top row, 1 at the bottom row); -1
// when no row above the feet is filled across those columns (the diagonal
// of и crosses them in a narrow stroke, row by row).
double BarPlace(const Piece& p) {
  const int32_t w = p.box.Width(), h = p.box.Height();
  const int32_t from = w / 3, to = w - w / 3;
  if (to - from < 1 || h < 3) return -1.0;
  std::vector<int32_t> rows(size_t(h), 0);
  for (const kyt::TPoint& q : p.pixels) {
    const int32_t x = q.X - p.box.Left;
    if (x >= from && x < to) ++rows[size_t(q.Y - p.box.Top)];
  }
  double sum = 0;
  int32_t count = 0;
  // The feet's serifs, which may nearly meet in the middle, are no bar.
  for (int32_t y = 0; y < h - std::max(1, h / 6); ++y)
    if (rows[size_t(y)] == to - from) sum += y, ++count;
  return count == 0 ? -1.0 : sum / count / double(h - 1);
}

// Whether the ink at a piece's right (its last two fifths of columns) is
// broken by paper above row `xTop`: a mark over a stem, not a tall stem.
bool BrokenStemAtRight(const Piece& p, double xTop) {
  const int32_t from = p.box.Left + p.box.Width() * 3 / 5;
  std::vector<uint8_t> rows(size_t(p.box.Height()), 0);
  for (const kyt::TPoint& q : p.pixels)
    if (q.X >= from) rows[size_t(q.Y - p.box.Top)] = 1;
  bool ink = false, gap = false;
  for (int32_t y = p.box.Top; y < p.box.Bottom; ++y) {
    const bool here = rows[size_t(y - p.box.Top)] != 0;
    if (here && gap) return true;
    if (!here && ink && y < xTop) gap = true;
    ink = ink || here;
  }
  return false;
}

// The top row of a piece's largest group: the body of a letter whose mark
// stands apart above it.
int32_t BodyTop(const Piece& p) {
  const std::vector<Part> parts = PartsOf(p);
  return parts.empty() ? p.box.Top : parts.front().box.Top;
}

// Which way a piece of ink points as a chevron: -1 for <, 1 for >, 0 for
// neither. The ink of its top and bottom thirds lies well to one side of the
// ink of its middle third.
int ChevronOf(const std::vector<kyt::TPoint>& pixels) {
  if (pixels.size() < 3) return 0;
  int32_t top = INT32_MAX, bottom = INT32_MIN, left = INT32_MAX, right = INT32_MIN;
  for (const kyt::TPoint& q : pixels)
    top = std::min(top, q.Y), bottom = std::max(bottom, q.Y), left = std::min(left, q.X), right = std::max(right, q.X);
  const int32_t h = bottom - top + 1, w = right - left + 1;
  if (h < 3 || w < 2) return 0;
  double sum[3] = {0, 0, 0};
  int n[3] = {0, 0, 0};
  for (const kyt::TPoint& q : pixels) {
    const int third = std::min(2, (q.Y - top) * 3 / h);
    sum[third] += q.X, ++n[third];
  }
  if (!n[0] || !n[1] || !n[2]) return 0;
  const double upper = sum[0] / n[0], middle = sum[1] / n[1], lower = sum[2] / n[2];
  const double apart = 0.25 * w;
  const int way = upper > middle + apart && lower > middle + apart   ? -1
                  : upper < middle - apart && lower < middle - apart ? 1
                                                                     : 0;
  if (way == 0) return 0;
  // A chevron's arms leave the corners on the side it points to empty: its
  // top and bottom rows begin well away from the tip. The letter c, whose
  // ink also lies right of its middle, runs round that side in an arc.
  std::vector<int32_t> near(size_t(h), INT32_MAX);  // per row: the ink closest to the pointed side
  for (const kyt::TPoint& q : pixels) {
    const int32_t d = way < 0 ? q.X - left : right - q.X;
    int32_t& v = near[size_t(q.Y - top)];
    v = std::min(v, d);
  }
  const int32_t quarter = std::max(1, h / 4);
  double ends = 0;
  int rows = 0;
  for (int32_t y = 0; y < h; ++y) {
    if ((y >= quarter && y < h - quarter) || near[size_t(y)] == INT32_MAX) continue;
    ends += near[size_t(y)], ++rows;
  }
  return rows > 0 && ends * 10.0 >= 3.0 * double(w) * rows ? way : 0;  // 0.3 of the width on average
}

// The guillemet a glyph is: two chevrons side by side pointing the same way.
std::string GuillemetOf(const Piece& p) {
  // The two parts: its 8-connected groups.
  const int32_t w = p.box.Width(), h = p.box.Height();
  std::vector<int32_t> label(size_t(w) * size_t(h), -1);
  for (const kyt::TPoint& q : p.pixels) label[size_t(q.Y - p.box.Top) * size_t(w) + size_t(q.X - p.box.Left)] = 0;
  std::vector<std::vector<kyt::TPoint>> groups;
  for (size_t start = 0; start < label.size(); ++start) {
    if (label[start] != 0) continue;
    if (groups.size() == 2) return {};  // more than two parts
    groups.emplace_back();
    const int32_t id = int32_t(groups.size());
    std::vector<size_t> stack = {start};
    label[start] = id;
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
      groups.back().push_back({p.box.Left + x, p.box.Top + y});
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const size_t n = size_t(ny) * size_t(w) + size_t(nx);
          if (label[n] == 0) label[n] = id, stack.push_back(n);
        }
    }
  }
  if (groups.size() != 2) return {};
  const int ca = ChevronOf(groups[0]), cb = ChevronOf(groups[1]);
  if (ca != cb || ca == 0) return {};
  return ca < 0 ? "«"_cp1251 : "»"_cp1251;
}

bool IsBar(unsigned char c) { return c == 'l' || c == 'I' || c == '1' || c == '|'; }

bool IsRound(unsigned char c) { return c == 'O' || c == 'o' || c == 0xCE || c == 0xEE; }  // О о

bool IsZe(unsigned char c) { return c == 0xE7 || c == 0xC7; }  // з З

// The digit 3 and the letters з and З are one shape at different heights,
// and a Russian knowledge base may name all three з. Within the word
// glyphs[start, end), a run of letters and digits whose only letters are з
// or З is a number when it holds a digit or only capitals (a word of its own
// that is one capital З is rarer than the number 3): there they are 3.
void ThreesInNumbers(std::vector<Reading>& glyphs, size_t start, size_t end) {
  auto alnum = [](const std::string& name) {
    for (unsigned char c : name)
      if (!IsLetter(c) && !IsDigit(c)) return false;
    return !name.empty();
  };
  for (size_t a = start; a < end;) {
    if (!alnum(glyphs[a].answer.name)) {
      ++a;
      continue;
    }
    size_t b = a;
    bool digit = false, ze = false, small = false, other = false;
    for (; b < end && alnum(glyphs[b].answer.name); ++b)
      for (unsigned char c : glyphs[b].answer.name) {
        digit = digit || IsDigit(c);
        ze = ze || IsZe(c);
        small = small || c == 0xE7;
        other = other || (IsLetter(c) && !IsZe(c));
      }
    if (ze && !other && (digit || !small))
      for (size_t k = a; k < b; ++k)
        for (char& c : glyphs[k].answer.name)
          if (IsZe(static_cast<unsigned char>(c))) c = '3';
    a = b;
  }
}

}  // namespace

bool PerCentParts(const Piece& first, const Piece& second, const Piece& third, double x) {
  const kyt::Rect& a = first.box;
  const kyt::Rect& b = second.box;
  const kyt::Rect& c = third.box;
  const bool close = b.Left - a.Right <= 0.3 * x && c.Left - b.Right <= 0.3 * x;
  const bool shape = a.Height() * 10 <= b.Height() * 7 && c.Height() * 10 <= b.Height() * 7 &&
                     (c.Top - a.Top) * 5 >= b.Height() && b.Height() >= 0.9 * x;
  return close && shape && HasHole(first) && HasHole(third);
}

LineMetrics MeasureLine(const std::vector<Reading>& glyphs, const Classifier& classifier,
                        const std::optional<LineMetrics>& page) {
  std::vector<double> bottoms, heights, caps, ascenders;
  for (const Reading& r : glyphs)
    if (SitsOnBaseline(Single(r.answer.name))) bottoms.push_back(r.piece.box.Bottom);
  LineMetrics m;
  if (bottoms.empty())
    for (const Reading& r : glyphs) bottoms.push_back(r.piece.box.Bottom);
  m.baseline = bottoms.empty() ? 0.0 : Median(bottoms);
  // Sizes from the glyphs that stand on the baseline: quotes named as
  // strokes (serif quotes are ticks of most of the x-height) stand high.
  std::vector<double> all;
  for (const Reading& r : glyphs) all.push_back(r.piece.box.Height());
  const double slack = all.empty() ? 0.0 : std::max(2.0, 0.25 * Median(all));
  for (const Reading& r : glyphs) {
    const unsigned char c = Single(r.answer.name);
    const kyt::Rect& b = r.piece.box;
    if (!SitsOnBaseline(c) || b.Bottom < m.baseline - slack) continue;
    if (IsLetter(c)) heights.push_back(b.Height());
    if (IsDigit(c) || (IsUpper(c) && KnownCase(c, classifier) && c != 0xC9 /* Й */)) caps.push_back(b.Height());
    if (c == 'b' || c == 'd' || c == 'h' || c == 'k' || c == 0xE1 /* б */) ascenders.push_back(b.Height());
  }
  // Most letters of a text are small: a quarter of them are no taller than x-height.
  double small = 0;
  if (!heights.empty()) {
    std::sort(heights.begin(), heights.end());
    small = heights[heights.size() / 4];
  }
  // Glyphs named as capitals but no taller than the small letters, beside
  // capitals that are taller, are small letters misread (o read as D).
  if (small > 0) {
    std::vector<double> taller;
    for (double h : caps)
      if (h >= 1.15 * small) taller.push_back(h);
    if (!taller.empty()) caps = std::move(taller);
  }
  if (page && page->xHeight > 0) {
    // A line of the page's type, in small letters or in capitals, takes the page's sizes.
    if (small == 0 || (small >= 0.85 * page->xHeight && small <= 1.15 * page->xHeight) ||
        (small >= 0.9 * page->capHeight && small <= 1.1 * page->capHeight)) {
      m.xHeight = page->xHeight;
      m.capHeight = page->capHeight;
      m.ascender = page->ascender;
      return m;
    }
  }
  if (!ascenders.empty()) m.ascender = Median(ascenders);
  constexpr double kRatio = 0.72;  // x-height over capital height of common types
  m.xHeight = small;
  if (caps.size() >= 2 || (caps.size() == 1 && heights.size() <= 3)) {
    m.capHeight = Median(caps);
  } else if (!ascenders.empty()) {
    m.capHeight = Median(ascenders) * 0.97;
  }
  if (m.capHeight > 0 && m.xHeight >= 0.9 * m.capHeight) {
    // All capitals, when known capitals say so often enough; else a few
    // misread glyphs claimed capital height.
    if (caps.size() * 3 >= heights.size()) {
      m.xHeight = m.capHeight * kRatio;
    } else {
      m.capHeight = 0;
    }
  }
  if (m.xHeight == 0) m.xHeight = m.capHeight * kRatio;
  if (m.capHeight == 0) m.capHeight = m.xHeight / kRatio;
  if (m.capHeight < m.xHeight * 1.1) m.capHeight = m.xHeight * 1.1;
  return m;
}

std::string MarkByShape(const kyt::Rect& b, const LineMetrics& m) {
  const double x = std::max(m.xHeight, 1.0);
  const double base = m.baseline;
  const double h = b.Height(), w = b.Width();
  const double top = b.Top, bottom = b.Bottom, middle = (top + bottom) / 2.0;
  if (h <= 0.35 * x && w >= 1.5 * h && middle > base - 0.85 * x && middle < base - 0.15 * x)
    return w < 0.85 * x ? "-" : w < 1.45 * x ? "–"_cp1251 : "—"_cp1251;  // - – —
  // A narrow tick standing high, as tall as most of the x-height in a
  // serif type's quotes, is an apostrophe too.
  if (w <= 0.35 * x && h <= 0.8 * x && bottom <= base - 0.45 * x && top <= base - 0.9 * x) return "'";
  if (h <= 0.55 * x && w <= 0.7 * x) {
    if (bottom <= base - 0.35 * x && top <= base - 0.8 * x) return "'";
    if (bottom > base + 0.12 * x && top >= base - 0.5 * x) return ",";
    if (bottom >= base - 0.2 * x && bottom <= base + 0.12 * x && w <= 1.6 * h) return ".";
  }
  return {};
}

namespace {

// How far a sign departs from the line: brackets and parentheses reach above
// the small letters and below the baseline, dashes, the tilde and the like
// are flat marks; other signs vary too much by type to say.
double SignMisfit(unsigned char c, const kyt::Rect& box, const LineMetrics& m) {
  if (c == 0) return 0.0;
  auto ramp = [](double v) { return std::clamp(v, 0.0, 1.0); };
  const double x = m.xHeight;
  const double top = m.baseline - box.Top, below = box.Bottom - m.baseline;
  if (std::strchr("()[]{}", char(c))) {
    // A stroke standing on the baseline is a letter's stem (l, the stem of r).
    const double high = ramp((x * 1.2 - top) / (0.2 * x));
    const double deep = ramp((0.2 * x - below) / (0.15 * x));
    return std::max(high, deep);
  }
  if (std::strchr("~-_=–—"_cp1251, char(c))) return ramp((box.Height() - 0.6 * x) / (0.3 * x));
  return 0.0;
}

}  // namespace

float ShapeMisfit(const std::string& name, const kyt::Rect& box, const LineMetrics& m) {
  if (name.empty() || m.xHeight <= 0) return 0.0f;
  // A name of several letters (a pattern of a touching pair) reaches as high
  // and as deep as its letters do together, and is as wide as they are; the
  // narrowest letters are a fraction of the x-height wide.
  Reach reach = Reach::Small;
  Depth depth = Depth::None;
  double narrowest = 0.0;  // in x-heights
  bool letters = true;
  for (unsigned char c : name) {
    letters = letters && (IsLetter(c) || IsDigit(c));
    const Reach r = ReachOf(c);
    if (r == Reach::Tall) reach = Reach::Tall;
    if (r == Reach::Either && reach == Reach::Small) reach = Reach::Either;
    const Depth d = DepthOf(c);
    if (d == Depth::Below) depth = Depth::Below;
    if (d == Depth::Either && depth == Depth::None) depth = Depth::Either;
    narrowest += std::strchr("ijlI1!.,':;|іІїЇ"_cp1251, char(c)) ? 0.15
                 : std::strchr("frtJг"_cp1251, char(c))                   ? 0.3  // г
                                                                         : 0.45;
  }
  const double x = m.xHeight, cap = m.capHeight;
  const double top = m.baseline - box.Top, below = box.Bottom - m.baseline;
  auto ramp = [](double v) { return std::clamp(v, 0.0, 1.0); };
  if (!letters) return float(SignMisfit(Single(name), box, m));
  double misfit = 0.0;
  // Reach: 0 at x-height, 1 at capital height; told apart only where the two
  // differ by a few pixels.
  if (cap - x >= std::max(2.0, 0.15 * x)) {
    const double t = (top - x) / (cap - x);
    if (reach == Reach::Small) misfit = std::max(misfit, ramp((t - 0.5) / 0.35));
    if (reach == Reach::Tall) misfit = std::max(misfit, ramp((0.5 - t) / 0.35));
  }
  // Depth below the baseline, with a pixel's slack for anti-aliased feet.
  const double slack = 1.0 + 0.1 * x, span = 1.0 + 0.15 * x;
  if (depth == Depth::None) misfit = std::max(misfit, ramp((below - slack) / span));
  if (depth == Depth::Below) misfit = std::max(misfit, ramp((0.25 * x - below) / span));
  // As wide as its letters: a stroke is no л, a pair pattern no single letter.
  misfit = std::max(misfit, ramp((narrowest * x - box.Width()) / (0.25 * x)));
  // Letters of neither alphabet a page of English or Russian is written in.
  if (name.size() == 1 && IsRareLetter(static_cast<unsigned char>(name[0]))) misfit = std::max(misfit, 0.5);
  return float(misfit);
}

void PreferWordsOwnKind(std::vector<Reading>& glyphs, int32_t space) {
  constexpr float kReach = 0.2f;  // how much worse the glyph of the word's kind may be
  auto isLetter = [](const std::string& name) {
    for (unsigned char c : name)
      if (!IsLetter(c)) return false;
    return !name.empty();
  };
  auto isDigit = [](const std::string& name) { return name.size() == 1 && IsDigit(Single(name)); };
  size_t start = 0;
  for (size_t i = 1; i <= glyphs.size(); ++i) {
    if (i < glyphs.size() && (glyphs[i].wordStart >= 0 ? glyphs[i].wordStart == 0
                                                      : glyphs[i].piece.box.Left - glyphs[i - 1].piece.box.Right < space))
      continue;
    // The word is glyphs[start, i): of letters, of digits, or neither.
    size_t letters = 0, digits = 0;
    for (size_t k = start; k < i; ++k) letters += isLetter(glyphs[k].answer.name), digits += isDigit(glyphs[k].answer.name);
    const bool ofDigits = digits >= 2 && digits > letters;
    if (ofDigits || letters >= 2) {
      auto ofKind = [&](const std::string& name) { return ofDigits ? isDigit(name) : isLetter(name); };
      for (size_t k = start; k < i; ++k) {
        Reading& r = glyphs[k];
        const unsigned char c = Single(r.answer.name);
        // Signs that belong in words and numbers or at their ends, and the
        // strokes l I 1 | that the neighbour rule decides, stay; so does з in
        // a number, which the line context makes a 3 (a knowledge base may
        // fold the digit into the letter).
        if (ofKind(r.answer.name) || r.ranked.empty()) continue;
        if (ofDigits && (c == 0xE7 || c == 0xC7)) continue;
        // Signs that never begin a word are no such sign at a word's start.
        const bool closing = k == start && k + 1 < i && c != 0 && std::strchr(".,;:!?)]}", char(c));
        if (!closing && c != 0 && std::strchr(".,;:!?'\"-()%/|1lIOo–—«»„“”"_cp1251, char(c)))
          continue;
        const bool beside = (k > start && ofKind(glyphs[k - 1].answer.name)) ||
                            (k + 1 < i && ofKind(glyphs[k + 1].answer.name));
        if (!beside) continue;
        const float value = r.ranked.front().value;
        for (const Valued& v : r.ranked) {
          if (v.value < value - kReach) break;
          if (v.answer.name.size() == 1 && ofKind(v.answer.name)) {
            r.answer = v.answer;
            break;
          }
        }
      }
    }
    start = i;
  }
}

void ApplyLineContext(std::vector<Reading>& glyphs, int32_t space, const LineMetrics& m,
                      const Classifier& classifier) {
  const double x = std::max(m.xHeight, 1.0);
  const double base = m.baseline;
  // Punctuation by size and place.
  for (Reading& r : glyphs) {
    std::string mark = MarkByShape(r.piece.box, m);
    if (!mark.empty()) r.answer.name = std::move(mark);
  }
  // Two apostrophes side by side are a double quote.
  for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
    if (glyphs[i].answer.name != "'" || glyphs[i + 1].answer.name != "'") continue;
    if (glyphs[i + 1].piece.box.Left - glyphs[i].piece.box.Right > 0.4 * x) continue;
    glyphs[i].piece.Add(glyphs[i + 1].piece);
    glyphs[i].answer.name = "\"";
    glyphs.erase(glyphs.begin() + std::ptrdiff_t(i + 1));
  }

  // A soft sign with a stroke close beside it is the letter ы, which comes
  // apart into those two pieces; its case follows below.
  if (classifier.Has("ы"_cp1251)) {
    for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
      const unsigned char c = Single(glyphs[i].answer.name), n = Single(glyphs[i + 1].answer.name);
      const bool softSign = c == 0xFC || c == 0xDC;
      const kyt::Rect& a = glyphs[i].piece.box;
      const kyt::Rect& b = glyphs[i + 1].piece.box;
      // The stroke as the network names it, or by its shape: narrow, and as tall as the sign.
      const bool stroke = IsBar(n) || n == 0xB3 || n == 0xB2 || n == 0xBF || n == 0xAF ||  // і І ї Ї
                          (b.Width() * 2 <= a.Height() && b.Height() * 5 >= a.Height() * 4);
      if (!softSign || !stroke || b.Left - a.Right > 0.4 * x || b.Height() > 1.25 * a.Height()) continue;
      glyphs[i].piece.Add(glyphs[i + 1].piece);
      glyphs[i].answer.name = c == 0xFC ? "ы"_cp1251 : "Ы"_cp1251;
      glyphs.erase(glyphs.begin() + std::ptrdiff_t(i + 1));
    }
  }

  // A per cent sign comes apart into its two rings and the stroke between:
  // a ring high on the left, a taller stroke, a ring low on the right.
  if (classifier.Has("%")) {
    for (size_t i = 0; i + 2 < glyphs.size(); ++i) {
      if (!PerCentParts(glyphs[i].piece, glyphs[i + 1].piece, glyphs[i + 2].piece, x)) continue;
      glyphs[i].piece.Add(glyphs[i + 1].piece);
      glyphs[i].piece.Add(glyphs[i + 2].piece);
      glyphs[i].answer.name = "%";
      glyphs[i].ranked.clear();
      glyphs.erase(glyphs.begin() + std::ptrdiff_t(i + 1), glyphs.begin() + std::ptrdiff_t(i + 3));
    }
    // Or into a ring high on the left and the stroke with the other ring
    // touching it: a raised ring close before a taller piece that stands on
    // the baseline and encloses paper below its upper third (without this, a
    // digit before the sign and its first ring passed for a numero sign).
    for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
      const kyt::Rect& a = glyphs[i].piece.box;
      const kyt::Rect& b = glyphs[i + 1].piece.box;
      const bool close = b.Left - a.Right <= 0.3 * x && b.Left >= a.Left + a.Width() / 2;
      const bool shape = a.Height() * 10 <= b.Height() * 7 && b.Height() >= 0.9 * x && a.Top - b.Top <= 0.15 * x + 1.0 &&
                         a.Bottom <= base - 0.25 * x && std::abs(b.Bottom - base) <= 0.15 * x + 1.0;
      if (!close || !shape || !HasHole(glyphs[i].piece) || !HasHole(LowerPart(glyphs[i + 1].piece))) continue;
      glyphs[i].piece.Add(glyphs[i + 1].piece);
      glyphs[i].answer.name = "%";
      glyphs[i].ranked.clear();
      glyphs.erase(glyphs.begin() + std::ptrdiff_t(i + 1));
    }
  }

  // A numero sign comes apart into its letter N (in two pieces where the thin
  // diagonal fades) and the small ring beside it, raised or with a bar below:
  // the letter stands on the baseline at capital height, the ring encloses
  // paper and begins in the letter's upper half. An o after an N is as high
  // as the small letters and has no bar.
  if (classifier.Has("№"_cp1251)) {
    const double cap = std::max(m.capHeight, x);
    auto tall = [&](const kyt::Rect& b) {
      return base - b.Top >= 0.9 * cap && std::abs(b.Bottom - base) <= 0.15 * x + 1.0;
    };
    for (size_t i = 0; i + 1 < glyphs.size(); ++i) {
      size_t first = i;
      Piece letter = glyphs[i].piece;
      if (i > 0 && tall(glyphs[i - 1].piece.box) && tall(letter.box) &&
          letter.box.Left - glyphs[i - 1].piece.box.Right <= std::max(1.0, 0.1 * x)) {
        Piece both = glyphs[i - 1].piece;
        both.Add(letter);
        if (both.box.Width() <= 1.1 * cap) first = i - 1, letter = std::move(both);
      }
      const Piece& ring = glyphs[i + 1].piece;
      const kyt::Rect& l = letter.box;
      const kyt::Rect& r = ring.box;
      if (!tall(l) || r.Left - l.Right > 0.4 * x || r.Height() > 0.8 * l.Height() || r.Width() > 0.8 * l.Width() ||
          (r.Top - l.Top) * 2 > l.Height() || r.Bottom > base + 0.15 * x + 1.0 || !HasHole(ring))
        continue;
      const std::vector<Part> parts = PartsOf(ring);
      bool bar = false;
      for (size_t k = 1; k < parts.size(); ++k) {
        const kyt::Rect& b = parts[k].box;
        const kyt::Rect& o = parts[0].box;
        bar = bar || (b.Top >= o.Bottom && b.Width() * 10 >= o.Width() * 6 && b.Height() * 2 <= o.Height());
      }
      if (!bar && r.Bottom > base - 0.25 * x) continue;
      letter.Add(ring);
      glyphs[first].piece = std::move(letter);
      glyphs[first].answer.name = "№"_cp1251;
      glyphs[first].ranked.clear();
      glyphs.erase(glyphs.begin() + std::ptrdiff_t(first + 1), glyphs.begin() + std::ptrdiff_t(i + 2));
      i = first;
    }
  }

  // Guillemets: two chevrons pointing one way, between x-height and baseline,
  // read as one glyph or as two.
  if (classifier.Has("«"_cp1251) || classifier.Has("»"_cp1251)) {
    for (size_t i = 0; i < glyphs.size(); ++i) {
      const kyt::Rect& b = glyphs[i].piece.box;
      if (b.Height() > 1.1 * x || b.Height() < 0.3 * x || b.Bottom > base + 0.15 * x) continue;
      Piece both = glyphs[i].piece;
      bool pair = false;
      if (i + 1 < glyphs.size() && glyphs[i + 1].piece.box.Left - b.Right <= 0.3 * x &&
          glyphs[i + 1].piece.box.Height() <= 1.1 * x) {
        both.Add(glyphs[i + 1].piece);
        pair = true;
      }
      std::string name = GuillemetOf(both);
      if (name.empty() && pair) {
        both = glyphs[i].piece, pair = false;
        name = GuillemetOf(both);
      }
      if (name.empty() || !classifier.Has(name)) continue;
      glyphs[i].piece = std::move(both);
      glyphs[i].answer.name = name;
      if (pair) glyphs.erase(glyphs.begin() + std::ptrdiff_t(i + 1));
    }
  }

  // н and п are two stems and a bar, in the middle or on top: where the bar
  // lies tells them apart better than the network does in some types.
  if (classifier.Has("н"_cp1251) && classifier.Has("п"_cp1251)) {
    for (Reading& r : glyphs) {
      const unsigned char c = Single(r.answer.name);
      const bool en = c == 0xED || c == 0xCD, pe = c == 0xEF || c == 0xCF;  // н Н п П
      if (!en && !pe) continue;
      const double bar = BarPlace(r.piece);
      if (bar < 0) continue;
      if (pe && bar >= 0.3 && bar <= 0.7) r.answer.name = c == 0xEF ? "н"_cp1251 : "Н"_cp1251;
      if (en && bar < 0.2) r.answer.name = c == 0xED ? "п"_cp1251 : "П"_cp1251;
    }
  }

  // Where f's hook touches the dot of the i beside it, the pair is one piece
  // that the network may name fl: but the stem of l runs up unbroken, the
  // i's dot stands above paper.
  for (Reading& r : glyphs) {
    std::string& name = r.answer.name;
    if (name.size() < 2 || name.back() != 'l' || !IsLetter(static_cast<unsigned char>(name[0]))) continue;
    if (BrokenStemAtRight(r.piece, base - x)) name.back() = 'i';
  }

  // Letter case of look-alikes from how high the glyph reaches above the baseline.
  const double capLine = (x + std::max(m.capHeight, x)) / 2.0;
  for (Reading& r : glyphs) {
    const unsigned char c = Single(r.answer.name);
    if (!IsLookAlike(c)) continue;
    double reach = base - r.piece.box.Top;
    const unsigned char small = IsUpper(c) ? OtherCase(c) : c;
    // The breve of й reaches about as high as a capital; Й's lies above that.
    // Where the breve stands apart, the letter's body tells the case.
    double limit = small == 0xE9 ? m.capHeight + 0.6 * (m.capHeight - x) : capLine;
    if (small == 0xE9) {
      const int32_t body = BodyTop(r.piece);
      if (body > r.piece.box.Top) reach = base - body, limit = capLine;
    }
    const unsigned char want = reach > limit ? OtherCase(small) : small;
    r.answer.name = std::string(1, char(want));
  }

  // A knowledge base may know a capital only as its small letter (У as у,
  // Р as р): a letter whose small form goes below the baseline, standing on
  // the baseline at capital height, is the capital.
  for (Reading& r : glyphs) {
    const unsigned char c = Single(r.answer.name);
    if (!IsLetter(c) || IsUpper(c) || DepthOf(c) != Depth::Below) continue;
    const unsigned char capital = OtherCase(c);
    if (capital == c || classifier.Has(std::string(1, char(capital)))) continue;
    const kyt::Rect& b = r.piece.box;
    if (b.Bottom - base <= 1.0 + 0.1 * x && base - b.Top > capLine) r.answer.name = std::string(1, char(capital));
  }

  // l, I, 1 and | by their neighbours within the word.
  std::vector<bool> wordStarts;
  int32_t right = INT32_MIN;
  for (const Reading& r : glyphs) {
    wordStarts.push_back(right == INT32_MIN ||
                         (r.wordStart >= 0 ? r.wordStart == 1 : r.piece.box.Left - right >= space));
    right = std::max(right, r.piece.box.Right);
  }
  size_t start = 0;
  for (size_t i = 0; i <= glyphs.size(); ++i) {
    if (i < glyphs.size() && (i == 0 || !wordStarts[i])) continue;
    // The word is glyphs[start, i).
    // O and o, Latin or Cyrillic, beside digits and no letter are 0 (before
    // з and З are read within numbers, which a letter О would end).
    for (size_t k = start; k < i; ++k) {
      const unsigned char c = Single(glyphs[k].answer.name);
      if (!IsRound(c)) continue;
      const unsigned char prev = k > start ? Single(glyphs[k - 1].answer.name) : 0;
      const unsigned char next = k + 1 < i ? Single(glyphs[k + 1].answer.name) : 0;
      const bool digits = (IsDigit(prev) && !IsBar(prev)) || (IsDigit(next) && !IsBar(next));
      if (digits && (!IsLetter(prev) || IsRound(prev)) && (!IsLetter(next) || IsRound(next))) glyphs[k].answer.name = "0";
    }
    ThreesInNumbers(glyphs, start, i);
    for (size_t k = start; k < i; ++k) {
      Reading& r = glyphs[k];
      const unsigned char c = Single(r.answer.name);
      if (!IsBar(c)) continue;
      const unsigned char prev = k > start ? Single(glyphs[k - 1].answer.name) : 0;
      const unsigned char next = k + 1 < i ? Single(glyphs[k + 1].answer.name) : 0;
      // A stroke beside another stroke says nothing of its kind (the ll of
      // "hollis" read as 11 are no number).
      const bool digits = (IsDigit(prev) && !IsBar(prev)) || (IsDigit(next) && !IsBar(next));
      const kyt::Rect& b = r.piece.box;
      std::string want = r.answer.name;
      if (b.Bottom > base + 0.2 * x && base - b.Top > m.capHeight) {
        want = "|";
      } else if (digits) {
        want = "1";
      } else if (IsLetter(prev) && !IsUpper(prev)) {
        want = "l";
      } else if (prev == 0 && IsLetter(next) && !IsUpper(next)) {
        // A capital I or a small l begins the word: l reaches ascender height,
        // where the type's ascenders stand clearly above its capitals.
        if (m.ascender > 0 && m.ascender - m.capHeight >= 1.0) {
          want = b.Height() * 2.0 < m.capHeight + m.ascender ? "I" : "l";
        } else if (c == '1') {
          want = "l";
        }
      } else if (IsUpper(prev) || IsUpper(next) || (prev == 0 && next == 0 && c != '1')) {
        want = "I";
      }
      if (want == "|" || classifier.Has(want)) r.answer.name = want;
    }
    start = i;
  }
}

}  // namespace kytdcr::reader
