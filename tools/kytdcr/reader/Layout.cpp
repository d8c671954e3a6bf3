// Layout of a two-level page: connected pieces, ruled frames set aside, text
// lines (touching ones cut apart), and pieces stacked into glyphs.
#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "Stages.h"

namespace kytdcr::reader {

namespace {

int32_t Find(std::vector<int32_t>& parent, int32_t a) {
  while (parent[size_t(a)] != a) {
    parent[size_t(a)] = parent[size_t(parent[size_t(a)])];
    a = parent[size_t(a)];
  }
  return a;
}

void Unite(std::vector<int32_t>& parent, int32_t a, int32_t b) {
  a = Find(parent, a), b = Find(parent, b);
  if (a == b) return;
  if (a < b) std::swap(a, b);
  parent[size_t(a)] = b;
}

template <typename T>
T Median(std::vector<T> v) {
  if (v.empty()) return T{};
  std::nth_element(v.begin(), v.begin() + std::ptrdiff_t(v.size() / 2), v.end());
  return v[v.size() / 2];
}

Piece FromPixels(std::vector<kyt::TPoint> pixels) {
  Piece p;
  p.box = {pixels[0].X, pixels[0].Y, pixels[0].X + 1, pixels[0].Y + 1};
  for (const kyt::TPoint& q : pixels) {
    p.box.Left = std::min(p.box.Left, q.X);
    p.box.Top = std::min(p.box.Top, q.Y);
    p.box.Right = std::max(p.box.Right, q.X + 1);
    p.box.Bottom = std::max(p.box.Bottom, q.Y + 1);
  }
  p.pixels = std::move(pixels);
  return p;
}

bool Inside(const kyt::Rect& inner, const kyt::Rect& outer) {
  return inner.Left > outer.Left && inner.Right < outer.Right && inner.Top > outer.Top && inner.Bottom < outer.Bottom;
}

// A small mark (the dot of i, an accent) over a piece whose columns hold it,
// as when the i of a touching pair carries its dot: in the mark's columns
// the piece's ink all lies below the mark. The mark may stand higher than
// the piece's top, which a taller letter of the pair (d, f, t) sets.
bool MarkAbove(const Piece& mark, const Piece& piece) {
  const kyt::Rect& m = mark.box;
  const kyt::Rect& p = piece.box;
  if (m.Height() * 2 > p.Height() || m.Width() * 2 > p.Width()) return false;
  if (m.Left < p.Left || m.Right > p.Right) return false;
  bool below = false;
  for (const kyt::TPoint& q : piece.pixels) {
    if (q.X < m.Left || q.X >= m.Right) continue;
    if (q.Y < m.Bottom) return false;
    below = true;
  }
  return below;
}

int32_t InkMedianHeight(const std::vector<Piece>& pieces) {
  std::vector<std::pair<int32_t, size_t>> byHeight;
  size_t total = 0;
  for (const Piece& p : pieces) byHeight.push_back({p.box.Height(), p.pixels.size()}), total += p.pixels.size();
  std::sort(byHeight.begin(), byHeight.end());
  size_t seen = 0;
  for (const auto& [h, n] : byHeight) {
    seen += n;
    if (seen * 2 >= total) return h;
  }
  return 0;
}

// The cores of a band's text lines, top to bottom: runs of rows dense with
// ink (the zone of the small letters, between x-height and baseline), apart
// from one another by more than a letter's height. Rows [first, second).
std::vector<std::pair<int32_t, int32_t>> LineCores(const std::vector<Piece>& band, int32_t top, int32_t height,
                                                   int32_t typical) {
  std::vector<double> profile(size_t(height), 0.0), smooth(size_t(height), 0.0);
  for (const Piece& p : band)
    for (const kyt::TPoint& q : p.pixels) profile[size_t(q.Y - top)] += 1.0;
  double most = 0.0;
  for (int32_t r = 0; r < height; ++r) {
    double sum = 0;
    int n = 0;
    for (int32_t k = std::max(0, r - 1); k <= std::min(height - 1, r + 1); ++k) sum += profile[size_t(k)], ++n;
    smooth[size_t(r)] = sum / n;
    most = std::max(most, smooth[size_t(r)]);
  }
  // Runs of rows at least `share` of `level` dense, among the rows `allowed`.
  auto coresAt = [&](double level, double share, const std::vector<uint8_t>& allowed) {
    std::vector<std::pair<int32_t, int32_t>> runs, found;
    for (int32_t r = 0; r < height; ++r) {
      if (!allowed[size_t(r)] || smooth[size_t(r)] < share * level) continue;
      if (!runs.empty() && r - runs.back().second < std::max(2, typical / 4)) {
        runs.back().second = r + 1;
      } else {
        runs.push_back({r, r + 1});
      }
    }
    for (const auto& [a, b] : runs)
      if ((b - a) * 100 >= typical * 35) found.push_back({top + a, top + b});
    return found;
  };
  std::vector<uint8_t> allowed(size_t(height), 1);
  std::vector<std::pair<int32_t, int32_t>> cores = coresAt(most, 0.35, allowed);
  if (cores.empty()) return {};
  for (size_t k = 1; k < cores.size(); ++k)
    if ((cores[k].first + cores[k].second) - (cores[k - 1].first + cores[k - 1].second) < typical * 2) return {};
  // A short line (the last of a paragraph) is less dense than the long ones:
  // its core is looked for again among the rows away from the cores found.
  for (const auto& [a, b] : cores)
    for (int32_t r = std::max(top, a - typical / 2); r < std::min(top + height, b + typical / 2); ++r)
      allowed[size_t(r - top)] = 0;
  double rest = 0.0;
  for (int32_t r = 0; r < height; ++r)
    if (allowed[size_t(r)]) rest = std::max(rest, smooth[size_t(r)]);
  if (rest >= 0.1 * most) {
    for (const auto& core : coresAt(rest, 0.5, allowed)) {
      bool apart = true;
      for (const auto& c : cores)
        apart = apart && std::abs((core.first + core.second) - (c.first + c.second)) >= typical * 2;
      if (apart) cores.push_back(core);
    }
    std::sort(cores.begin(), cores.end());
  }
  return cores;
}

// Splits a band of several touching lines at once, one line per core: each
// piece goes to the line whose core it meets (or the nearest core, for dots
// and accents), and a piece meeting several cores (glyphs of two lines
// touching) is cut at the emptiest row between them.
bool SplitByCores(std::vector<Piece>& band, int32_t top, int32_t height, int32_t typical,
                  std::vector<std::vector<Piece>>& out) {
  const auto cores = LineCores(band, top, height, typical);
  if (cores.size() < 2) return false;
  std::vector<int32_t> profile(size_t(height), 0);
  for (const Piece& p : band)
    for (const kyt::TPoint& q : p.pixels) ++profile[size_t(q.Y - top)];
  // cuts[k]: the first row of line k + 1.
  std::vector<int32_t> cuts;
  for (size_t k = 0; k + 1 < cores.size(); ++k) {
    int32_t best = cores[k].second;
    for (int32_t r = cores[k].second; r <= cores[k + 1].first; ++r)
      if (profile[size_t(r - top)] < profile[size_t(best - top)]) best = r;
    cuts.push_back(best);
  }
  auto lineOfRow = [&](int32_t y) {
    size_t k = 0;
    while (k < cuts.size() && y >= cuts[k]) ++k;
    return k;
  };
  std::vector<std::vector<Piece>> lines(cores.size());
  for (Piece& p : band) {
    size_t first = cores.size(), last = 0;
    for (size_t k = 0; k < cores.size(); ++k)
      if (p.box.Top < cores[k].second && p.box.Bottom > cores[k].first) first = std::min(first, k), last = k;
    if (first == cores.size()) {
      // Meets no core: the nearest.
      size_t nearest = 0;
      int32_t distance = INT32_MAX;
      for (size_t k = 0; k < cores.size(); ++k) {
        const int32_t d = p.box.Bottom <= cores[k].first ? cores[k].first - p.box.Bottom : p.box.Top - cores[k].second;
        if (d < distance) distance = d, nearest = k;
      }
      lines[nearest].push_back(std::move(p));
    } else if (first == last) {
      lines[first].push_back(std::move(p));
    } else {
      std::vector<std::vector<kyt::TPoint>> parts(cores.size());
      for (const kyt::TPoint& q : p.pixels) parts[std::clamp(lineOfRow(q.Y), first, last)].push_back(q);
      for (size_t k = first; k <= last; ++k)
        if (!parts[k].empty()) lines[k].push_back(FromPixels(std::move(parts[k])));
    }
  }
  for (auto& l : lines)
    if (!l.empty()) out.push_back(std::move(l));
  return true;
}

// Cuts `band` (pieces of one run of ink rows, spanning rows top..bottom-1) into
// lines where the row profile shows two lines touching.
void CutTouchingLines(std::vector<Piece> band, int depth, std::vector<std::vector<Piece>>& out) {
  if (band.empty()) return;
  int32_t top = INT32_MAX, bottom = INT32_MIN;
  for (const Piece& p : band) top = std::min(top, p.box.Top), bottom = std::max(bottom, p.box.Bottom);
  const int32_t height = bottom - top;
  std::vector<int32_t> heights;
  for (const Piece& p : band)
    if (p.pixels.size() >= 3) heights.push_back(p.box.Height());
  // The height of the band's letters: the median over its ink, so that dots,
  // accents and specks do not pass for letters.
  const int32_t typical = InkMedianHeight(band);
  if (depth == 0 && band.size() >= 6 && typical > 0 && height >= 2 * typical &&
      SplitByCores(band, top, height, typical, out))
    return;
  if (depth < 8 && band.size() >= 6 && typical > 0 && height >= 2 * typical) {
    std::vector<int32_t> profile(size_t(height), 0);
    for (const Piece& p : band)
      for (const kyt::TPoint& q : p.pixels) ++profile[size_t(q.Y - top)];
    // The emptiest row of the middle, and how many glyphs lie wholly on each side.
    int32_t cut = -1;
    for (int32_t r = height * 3 / 10; r <= height * 7 / 10; ++r)
      if (cut < 0 || profile[size_t(r)] < profile[size_t(cut)]) cut = r;
    cut += top;
    size_t above = 0, below = 0;
    for (const Piece& p : band) {
      if (p.pixels.size() < 3) continue;
      above += p.box.Bottom <= cut;
      below += p.box.Top > cut;
    }
    if (above * 10 >= heights.size() * 3 && below * 10 >= heights.size() * 3 && above >= 2 && below >= 2) {
      std::vector<Piece> upper, lower;
      for (Piece& p : band) {
        if (p.box.Bottom <= cut + 1) {
          upper.push_back(std::move(p));
        } else if (p.box.Top > cut) {
          lower.push_back(std::move(p));
        } else if (p.box.Height() * 2 <= typical * 3) {
          // A letter reaching across (a descender, an ascender) stays whole.
          (p.box.Top + p.box.Bottom <= 2 * cut + 1 ? upper : lower).push_back(std::move(p));
        } else {
          // Glyphs of both lines touching: cut where the two meet, the row
          // near the lines' cut where this piece is thinnest.
          std::vector<int32_t> rows(size_t(p.box.Height()), 0);
          for (const kyt::TPoint& q : p.pixels) ++rows[size_t(q.Y - p.box.Top)];
          int32_t meet = cut;
          for (int32_t r = std::max(p.box.Top + 1, cut - typical / 2); r <= std::min(p.box.Bottom - 2, cut + typical / 2);
               ++r) {
            const int32_t here = rows[size_t(r - p.box.Top)], best = rows[size_t(meet - p.box.Top)];
            if (here < best || (here == best && std::abs(r - cut) < std::abs(meet - cut))) meet = r;
          }
          std::vector<kyt::TPoint> up, down;
          for (const kyt::TPoint& q : p.pixels) (q.Y <= meet ? up : down).push_back(q);
          if (!up.empty()) upper.push_back(FromPixels(std::move(up)));
          if (!down.empty()) lower.push_back(FromPixels(std::move(down)));
        }
      }
      CutTouchingLines(std::move(upper), depth + 1, out);
      CutTouchingLines(std::move(lower), depth + 1, out);
      return;
    }
  }
  out.push_back(std::move(band));
}

}  // namespace

void Piece::Add(const Piece& other) {
  pixels.insert(pixels.end(), other.pixels.begin(), other.pixels.end());
  box.Left = std::min(box.Left, other.box.Left);
  box.Top = std::min(box.Top, other.box.Top);
  box.Right = std::max(box.Right, other.box.Right);
  box.Bottom = std::max(box.Bottom, other.box.Bottom);
}

std::vector<Piece> FindPieces(const InkPage& page) {
  const int32_t w = page.width, h = page.height;
  std::vector<int32_t> label(size_t(w) * size_t(h), -1);
  std::vector<int32_t> parent;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      if (!page.At(x, y)) continue;
      int32_t mine = -1;
      auto link = [&](int32_t nx, int32_t ny) {
        if (nx < 0 || nx >= w || ny < 0) return;
        const int32_t other = label[size_t(ny) * size_t(w) + size_t(nx)];
        if (other < 0) return;
        if (mine < 0) {
          mine = other;
        } else {
          Unite(parent, mine, other);
        }
      };
      link(x - 1, y);
      link(x - 1, y - 1);
      link(x, y - 1);
      link(x + 1, y - 1);
      if (mine < 0) {
        mine = int32_t(parent.size());
        parent.push_back(mine);
      }
      label[size_t(y) * size_t(w) + size_t(x)] = mine;
    }
  }
  std::vector<int32_t> index(parent.size(), -1);
  std::vector<std::vector<kyt::TPoint>> groups;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const int32_t l = label[size_t(y) * size_t(w) + size_t(x)];
      if (l < 0) continue;
      const int32_t root = Find(parent, l);
      if (index[size_t(root)] < 0) {
        index[size_t(root)] = int32_t(groups.size());
        groups.emplace_back();
      }
      groups[size_t(index[size_t(root)])].push_back({x, y});
    }
  }
  std::vector<Piece> pieces;
  pieces.reserve(groups.size());
  for (auto& g : groups) pieces.push_back(FromPixels(std::move(g)));
  return pieces;
}

size_t SetAsideRules(InkPage& page, const std::vector<Piece>& pieces) {
  std::vector<int32_t> heights;
  for (const Piece& p : pieces)
    if (p.pixels.size() >= 3) heights.push_back(p.box.Height());
  const int32_t typical = std::max<int32_t>(Median(heights), 1);
  size_t cleared = 0;
  for (const Piece& p : pieces) {
    const int32_t bw = p.box.Width(), bh = p.box.Height();
    const bool rule = bw >= 4 * typical && bh * 3 <= typical;
    bool frame = false;
    if (!rule && bw >= typical && bh >= typical) {
      for (const Piece& q : pieces) {
        if (&q != &p && Inside(q.box, p.box)) {
          frame = true;
          break;
        }
      }
    }
    if (!rule && !frame) continue;
    // The pixels in long straight runs: across at least 60 % of the box.
    const int32_t longH = std::max(8, bw * 6 / 10), longV = std::max(8, bh * 6 / 10);
    std::vector<kyt::TPoint> straight;
    // Which sides of the box hold a long stroke: top, bottom, left, right.
    bool sides[4] = {false, false, false, false};
    for (const kyt::TPoint& q : p.pixels) {
      int32_t run = 1;
      for (int32_t x = q.X - 1; x >= p.box.Left && page.At(x, q.Y); --x) ++run;
      for (int32_t x = q.X + 1; x < p.box.Right && page.At(x, q.Y); ++x) ++run;
      if (run >= longH) {
        straight.push_back(q);
        sides[0] = sides[0] || (q.Y - p.box.Top) * 4 < bh;
        sides[1] = sides[1] || (p.box.Bottom - 1 - q.Y) * 4 < bh;
        continue;
      }
      run = 1;
      for (int32_t y = q.Y - 1; y >= p.box.Top && page.At(q.X, y); --y) ++run;
      for (int32_t y = q.Y + 1; y < p.box.Bottom && page.At(q.X, y); ++y) ++run;
      if (run >= longV) {
        straight.push_back(q);
        sides[2] = sides[2] || (q.X - p.box.Left) * 4 < bw;
        sides[3] = sides[3] || (p.box.Right - 1 - q.X) * 4 < bw;
      }
    }
    // A frame is mostly its straight strokes, on all four sides; letters with
    // long bars and stems (serif "hi" touching at their feet) are not.
    if (straight.size() * 10 < p.pixels.size() * 8) continue;
    if (frame && !(sides[0] && sides[1] && sides[2] && sides[3])) continue;
    for (const kyt::TPoint& q : straight) page.At(q.X, q.Y) = 0;
    cleared += straight.size();
  }
  return cleared;
}

std::vector<std::vector<Piece>> FindLinePieces(const InkPage& page, std::vector<Piece> pieces) {
  // Runs of rows that hold ink.
  std::vector<uint8_t> rowInk(size_t(page.height), 0);
  for (const Piece& p : pieces)
    for (int32_t y = p.box.Top; y < p.box.Bottom; ++y) rowInk[size_t(y)] = 1;
  struct Band {
    int32_t top, bottom;
    std::vector<Piece> pieces;
  };
  std::vector<Band> bands;
  for (int32_t y = 0; y < page.height; ++y) {
    if (!rowInk[size_t(y)]) continue;
    if (bands.empty() || bands.back().bottom < y) bands.push_back({y, y + 1, {}});
    bands.back().bottom = y + 1;
  }
  // Pieces never span an empty row, so each lies in the band of its top row.
  for (Piece& p : pieces) {
    auto it = std::upper_bound(bands.begin(), bands.end(), p.box.Top,
                               [](int32_t top, const Band& b) { return top < b.top; });
    (it - 1)->pieces.push_back(std::move(p));
  }
  // Bands of only dots or accents join the nearer neighbour band.
  std::vector<int32_t> heights;
  for (const Band& b : bands) heights.push_back(b.bottom - b.top);
  const int32_t typical = Median(heights);
  for (size_t i = 0; i < bands.size() && bands.size() > 1;) {
    Band& b = bands[i];
    const int32_t h = b.bottom - b.top;
    if (h * 20 >= typical * 7) {
      ++i;
      continue;
    }
    const int32_t gapUp = i > 0 ? b.top - bands[i - 1].bottom : INT32_MAX;
    const int32_t gapDown = i + 1 < bands.size() ? bands[i + 1].top - b.bottom : INT32_MAX;
    const bool up = gapUp <= gapDown;
    if (std::min(gapUp, gapDown) * 5 > typical * 3) {
      ++i;
      continue;
    }
    Band& to = bands[up ? i - 1 : i + 1];
    for (Piece& p : b.pieces) to.pieces.push_back(std::move(p));
    to.top = std::min(to.top, b.top);
    to.bottom = std::max(to.bottom, b.bottom);
    bands.erase(bands.begin() + std::ptrdiff_t(i));
    if (up) --i;
  }
  std::vector<std::vector<Piece>> lines;
  for (Band& b : bands) CutTouchingLines(std::move(b.pieces), 0, lines);
  return lines;
}

std::vector<Piece> StackPieces(std::vector<Piece> pieces) {
  std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.box.Left < b.box.Left; });
  bool joined = true;
  while (joined) {
    joined = false;
    for (size_t i = 0; i < pieces.size() && !joined; ++i) {
      for (size_t j = i + 1; j < pieces.size() && pieces[j].box.Left < pieces[i].box.Right; ++j) {
        const kyt::Rect& a = pieces[i].box;
        const kyt::Rect& b = pieces[j].box;
        const int32_t overlap = std::min(a.Right, b.Right) - std::max(a.Left, b.Left);
        const int32_t narrower = std::min(a.Width(), b.Width());
        const bool apart = a.Bottom <= b.Top || b.Bottom <= a.Top;
        if ((apart && overlap * 2 >= narrower) || MarkAbove(pieces[i], pieces[j]) || MarkAbove(pieces[j], pieces[i])) {
          pieces[i].Add(pieces[j]);
          pieces.erase(pieces.begin() + std::ptrdiff_t(j));
          joined = true;
          break;
        }
      }
    }
  }
  std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.box.Left < b.box.Left; });
  return pieces;
}

}  // namespace kytdcr::reader
