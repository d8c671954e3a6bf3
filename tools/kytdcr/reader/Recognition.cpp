// Recognition of a line's glyphs: the network's answer for a piece, and the
// cutting of touching glyphs and joining of broken ones by those answers.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "Letters.h"
#include "core/Cp1251Text.h"
#include "Stages.h"
#include "recognition/GlobalMdl.h"
#include "recognition/GridMemory.h"

namespace kytdcr::reader {

using kyt::operator""_cp1251;

namespace {

// What a reading pays, in score × pixels of width, for each cut through a
// piece: a share of the x-height, and more for every ink pixel the cut crosses
// (touching letters meet in a thin bridge, a letter's own strokes are thick).
constexpr double kCutPrice = 0.2;
constexpr double kCutInkPrice = 0.04;
// And for a cut through two strokes rather than one.
constexpr double kCutRunPrice = 0.1;
// For each join of two pieces, a share of the x-height.
constexpr double kJoinPrice = 0.05;
// A glyph whose shape does not fit the line loses this much of its score.
constexpr float kMisfitPrice = 0.5f;
// Marks told by their size and place are worth this much.
constexpr float kMarkValue = 0.8f;
// At most this many cuts through one piece, and pieces joined into one glyph.
constexpr size_t kMaxCuts = 24;
constexpr size_t kMaxJoined = 4;
// With a language model: a glyph's candidates worth at most this much less
// than its best, at most this many of them, and the readings kept per position.
constexpr float kCandidateReach = 0.3f;
constexpr size_t kMaxCandidates = 5;
constexpr size_t kBeam = 12;
// Gaps that may be read the other way: from this share of the space width
// (a blank) to this share (none).
constexpr double kNarrowestBlank = 0.6;
constexpr double kWidestJoin = 1.5;

// Patterns scored together by Rank.
constexpr size_t kBlock = 16;

// sums[k] := the sum over o = 1..outputs of targets[(o - 1) * stride + k] *
// out[o], for every k < stride (a multiple of kBlock), in ascending o: a
// multiply, then an add, each rounded to double, as one pattern at a time.
// Sixteen patterns per pass with their sums in registers; x86-64 gets an
// AVX2 version chosen when the program starts (mulpd and addpd, no FMA).
#if defined(__x86_64__) && defined(__linux__) && defined(__GNUC__)
__attribute__((target_clones("avx2", "default")))
#endif
void ScoreBlocks(const double* targets, size_t stride, const float* out, int32_t outputs, double* sums) {
  typedef double Quad __attribute__((vector_size(32)));
  for (size_t k = 0; k < stride; k += kBlock) {
    Quad a = {0.0, 0.0, 0.0, 0.0}, b = a, c = a, d = a;
    const double* t = targets + k;
    for (int32_t o = 1; o <= outputs; ++o, t += stride) {
      const double v = out[o];
      const Quad value = {v, v, v, v};
      Quad t0, t1, t2, t3;
      std::memcpy(&t0, t, sizeof t0);
      std::memcpy(&t1, t + 4, sizeof t1);
      std::memcpy(&t2, t + 8, sizeof t2);
      std::memcpy(&t3, t + 12, sizeof t3);
      a += t0 * value;
      b += t1 * value;
      c += t2 * value;
      d += t3 * value;
    }
    std::memcpy(sums + k, &a, sizeof a);
    std::memcpy(sums + k + 4, &b, sizeof b);
    std::memcpy(sums + k + 8, &c, sizeof c);
    std::memcpy(sums + k + 12, &d, sizeof d);
  }
}

int32_t LetterHeight(const std::vector<Piece>& glyphs) {
  int32_t tallest = 0;
  for (const Piece& p : glyphs) tallest = std::max(tallest, p.box.Height());
  std::vector<int32_t> heights;
  for (const Piece& p : glyphs)
    if (p.box.Height() * 5 >= tallest * 2) heights.push_back(p.box.Height());
  if (heights.empty()) return tallest;
  std::nth_element(heights.begin(), heights.begin() + std::ptrdiff_t(heights.size() / 2), heights.end());
  return heights[heights.size() / 2];
}

Piece Crop(const std::vector<kyt::TPoint>& pixels) {
  Piece p;
  p.box = {pixels[0].X, pixels[0].Y, pixels[0].X + 1, pixels[0].Y + 1};
  for (const kyt::TPoint& q : pixels) {
    p.box.Left = std::min(p.box.Left, q.X);
    p.box.Top = std::min(p.box.Top, q.Y);
    p.box.Right = std::max(p.box.Right, q.X + 1);
    p.box.Bottom = std::max(p.box.Bottom, q.Y + 1);
  }
  p.pixels = pixels;
  return p;
}

// The share of a piece's pixels in its largest 8-connected group together
// with the marks stacked above or below that group (the dot of i, accents).
struct Group {
  size_t count;
  int32_t left, top, right, bottom;  // inclusive, relative to the piece's box
};

// The 8-connected groups of a piece's pixels.
std::vector<Group> GroupsOf(const Piece& p) {
  const int32_t w = p.box.Width(), h = p.box.Height();
  std::vector<int32_t> cell(size_t(w) * size_t(h), 0);  // 0 background, 1 ink, 2 visited
  for (const kyt::TPoint& q : p.pixels) cell[size_t(q.Y - p.box.Top) * size_t(w) + size_t(q.X - p.box.Left)] = 1;
  std::vector<Group> groups;
  std::vector<size_t> stack;
  for (size_t start = 0; start < cell.size(); ++start) {
    if (cell[start] != 1) continue;
    Group g{0, w, h, -1, -1};
    stack.push_back(start);
    cell[start] = 2;
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
      ++g.count;
      g.left = std::min(g.left, x), g.right = std::max(g.right, x);
      g.top = std::min(g.top, y), g.bottom = std::max(g.bottom, y);
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const size_t n = size_t(ny) * size_t(w) + size_t(nx);
          if (cell[n] == 1) cell[n] = 2, stack.push_back(n);
        }
    }
    groups.push_back(g);
  }
  return groups;
}

double LargestGroupShare(const Piece& p) {
  const std::vector<Group> groups = GroupsOf(p);
  if (groups.empty()) return 0.0;
  const Group& largest =
      *std::max_element(groups.begin(), groups.end(), [](const Group& a, const Group& b) { return a.count < b.count; });
  size_t counted = 0;
  for (const Group& g : groups) {
    const bool mark = g.count * 3 <= largest.count && (g.bottom - g.top) * 2 <= largest.bottom - largest.top;
    const bool apart = mark && (g.bottom < largest.top || g.top > largest.bottom);
    const int32_t overlap = std::min(g.right, largest.right) - std::max(g.left, largest.left) + 1;
    if (&g == &largest || (apart && overlap * 2 >= g.right - g.left + 1)) counted += g.count;
  }
  return double(counted) / double(p.pixels.size());
}

}  // namespace

// Only the engine's own network class is remembered: a derived one may answer
// the same input differently.
Classifier::Classifier(kyt::TBackProp& network, bool remember)
    : network_(network), fixed_(network), remember_(remember && typeid(network) == typeid(kyt::TBackProp)) {}

bool Classifier::Has(const std::string& name) const {
  for (const kyt::TTrainingPairs& p : network_.TrainingSet)
    if (p.Name == name) return true;
  return false;
}

void Classifier::PrepareTargets() {
  prepared_ = true;
  const int32_t outputs = network_.OutputCount;
  const size_t patterns = network_.TrainingSet.size();
  full_.assign(patterns, 0);
  size_t count = 0;
  for (size_t i = 0; i < patterns; ++i)
    if (outputs > 0 && network_.TrainingSet[i].Target.size() > size_t(outputs)) full_[i] = 1, ++count;
  // Padded to whole blocks with targets of 0, whose sums are never read.
  const size_t stride = (count + kBlock - 1) / kBlock * kBlock;
  targets_.assign(size_t(std::max(outputs, 0)) * stride, 0.0);
  size_t k = 0;
  for (size_t i = 0; i < patterns; ++i) {
    if (!full_[i]) continue;
    const kyt::TLayer& target = network_.TrainingSet[i].Target;
    for (int32_t o = 1; o <= outputs; ++o) targets_[size_t(o - 1) * stride + k] = target[size_t(o)];
    ++k;
  }
  sums_.assign(stride, 0.0);
}

Answer Classifier::Classify(const Piece& piece) {
  const std::vector<Answer> ranked = Rank(piece, 1);
  return ranked.empty() ? Answer{} : ranked.front();
}

std::vector<Answer> Classifier::Rank(const Piece& piece, size_t count) {
  std::vector<Answer> ranked;
  if (piece.pixels.empty() || count == 0) return ranked;
  const kyt::TPoint topLeft{piece.box.Left, piece.box.Top}, bottomRight{piece.box.Right - 1, piece.box.Bottom - 1};
  const kyt::Bitmap grid =
      kyt::NormalizeGlyphPixels(piece.pixels, topLeft, bottomRight, network_.InputCols, network_.InputRows);
  const std::vector<kyt::TTrainingPairs>& set = network_.TrainingSet;
  // Every pattern's score depends on the grid alone while the network is
  // held fixed: a grid met before (in another reading of the line, or as
  // another instance of the letter) takes its scores from then.
  std::string key;
  const std::vector<float>* known = nullptr;
  if (remember_) {
    key = kyt::GridKey(grid);
    known = scoresOf_.Find(key);
  }
  if (known) {
    scores_ = *known;
  } else {
    kyt::TBackProp::BitmapToInput(grid, network_.InputLayer);
    network_.Propagate();
    const int32_t outputs = network_.OutputCount;
    if (outputs <= 0) return ranked;
    if (!prepared_) PrepareTargets();
    const float* out = network_.OutputLayer.data();
    // Every pattern's sum over its outputs in ascending order, all patterns at
    // once: the same additions in the same order as one pattern at a time.
    ScoreBlocks(targets_.data(), sums_.size(), out, outputs, sums_.data());
    scores_.resize(set.size());
    size_t k = 0;
    for (size_t i = 0; i < set.size(); ++i) {
      double sum = 0;
      if (full_[i]) {
        sum = sums_[k++];
      } else {
        const kyt::TTrainingPairs& pattern = set[i];
        const int32_t n = std::min<int32_t>(outputs, int32_t(pattern.Target.size()) - 1);
        for (int32_t o = 1; o <= n; ++o) sum += double(pattern.Target[size_t(o)]) * double(out[o]);
      }
      scores_[i] = float(sum / outputs);
    }
    if (remember_) scoresOf_.Add(std::move(key), scores_);
  }
  // The `count` best by falling score, of equal scores the earlier pattern
  // first (the order a stable sort gives); names are copied for those only.
  order_.resize(set.size());
  for (size_t i = 0; i < order_.size(); ++i) order_[i] = i;
  const size_t kept = std::min(count, order_.size());
  std::partial_sort(order_.begin(), order_.begin() + std::ptrdiff_t(kept), order_.end(), [&](size_t a, size_t b) {
    return scores_[a] > scores_[b] || (!(scores_[b] > scores_[a]) && a < b);
  });
  for (size_t r = 0; r < kept; ++r) ranked.push_back({set[order_[r]].Name, scores_[order_[r]]});
  return ranked;
}

Judged JudgeGlyph(const Piece& piece, Classifier& classifier, const LineMetrics& metrics) {
  Judged best;
  const std::vector<Answer> ranked = classifier.Rank(piece, 8);
  if (ranked.empty()) return best;
  std::string mark = MarkByShape(piece.box, metrics);
  if (!mark.empty()) {
    best.answer = ranked.front();
    for (const Answer& a : ranked)
      if (a.name == mark) best.answer = a;
    best.answer.name = std::move(mark);
    best.value = kMarkValue;
    return best;
  }
  // i and j have their dot apart; a glyph of one stroke is neither. A glyph
  // with a small mark over its body is no letter without one (i read as l or f).
  const std::vector<Group> groups = GroupsOf(piece);
  const bool dotted = groups.size() > 1;
  // A full stop beside the rest of the glyph, in columns of its own, is a
  // glyph of its own: l and the stop after it are no L.
  bool marked = false, stopBeside = false;
  if (dotted) {
    const Group& body = *std::max_element(groups.begin(), groups.end(),
                                          [](const Group& a, const Group& b) { return a.count < b.count; });
    for (const Group& g : groups) {
      const int32_t overlap = std::min(g.right, body.right) - std::max(g.left, body.left) + 1;
      marked = marked || (&g != &body && g.count * 3 <= body.count && g.bottom < body.top && overlap * 2 >= g.right - g.left + 1);
      if (&g == &body || (g.left <= body.right && g.right >= body.left)) continue;
      const kyt::Rect box{piece.box.Left + g.left, piece.box.Top + g.top, piece.box.Left + g.right + 1,
                          piece.box.Top + g.bottom + 1};
      stopBeside = stopBeside || MarkByShape(box, metrics) == ".";
    }
  }
  const bool stem = metrics.capHeight - metrics.xHeight >= 2.0 &&
                    metrics.baseline - piece.box.Top < (metrics.xHeight + metrics.capHeight) / 2.0;
  bool first = true;
  for (const Answer& a : ranked) {
    float misfit = ShapeMisfit(a.name, piece.box, metrics);
    // (A stem of only x-height may have lost its dot to a touching f.)
    if (!dotted && !stem && (a.name == "i" || a.name == "j")) misfit = std::max(misfit, 0.5f);
    if (marked && a.name.size() == 1 && !HasMark(Single(a.name)) && !std::strchr(":;!?=%\"„“”"_cp1251, a.name[0]))
      misfit = std::max(misfit, 0.5f);
    if (stopBeside) misfit = 1.0f;
    const float value = a.score - kMisfitPrice * misfit;
    if (first || value > best.value) best.answer = a, best.value = value, first = false;
    best.ranked.push_back({a, value});
  }
  std::stable_sort(best.ranked.begin(), best.ranked.end(),
                   [](const Valued& a, const Valued& b) { return a.value > b.value; });
  return best;
}

namespace {

// Columns where a piece may be cut, left to right, relative to its left edge.
std::vector<int32_t> CutColumns(const Piece& piece, int32_t letterHeight, std::vector<int32_t>& profile,
                                std::vector<int32_t>& runs) {
  const int32_t width = piece.box.Width();
  const int32_t minPart = std::max(2, letterHeight / 5);
  profile.assign(size_t(width), 0);
  for (const kyt::TPoint& q : piece.pixels) ++profile[size_t(q.X - piece.box.Left)];
  // Flat marks (dashes) and narrow letters are never touching letters.
  if (width < 2 * minPart || width * 4 < letterHeight * 3 || piece.box.Height() * 2 < letterHeight) return {};
  // Strokes crossed by each column: touching letters meet in one or two
  // places, a column through three strokes runs through a letter (B, a, e).
  const int32_t height = piece.box.Height();
  std::vector<uint8_t> cell(size_t(width) * size_t(height), 0);
  for (const kyt::TPoint& q : piece.pixels)
    cell[size_t(q.Y - piece.box.Top) * size_t(width) + size_t(q.X - piece.box.Left)] = 1;
  runs.assign(size_t(width), 0);
  for (int32_t c = 0; c < width; ++c)
    for (int32_t r = 0; r < height; ++r)
      if (cell[size_t(r) * size_t(width) + size_t(c)] && (r == 0 || !cell[size_t(r - 1) * size_t(width) + size_t(c)]))
        ++runs[size_t(c)];
  // A column more than half filled with ink, no less than its neighbours,
  // runs down the middle of a stem: letters touch in thin bridges and
  // serifs, and the flat top of a stem's profile is no gap between two.
  auto stem = [&](int32_t c) { return profile[size_t(c)] * 2 > height; };
  std::vector<int32_t> cuts;
  for (int32_t c = minPart; c <= width - minPart; ++c) {
    const int32_t before = profile[size_t(c - 1)], here = profile[size_t(c)];
    const int32_t after = c + 1 < width ? profile[size_t(c + 1)] : here;
    if (here <= before && here <= after && runs[size_t(c)] <= 2 && !stem(c)) cuts.push_back(c);
  }
  // Every column of a flat valley is offered, not one of them: where two
  // serifs touch, the column just beside the thinnest one may be the one
  // that leaves both letters whole (r and i in a serif "ri"). The reading
  // decides between them; the thinnest are kept where there are too many.
  std::stable_sort(cuts.begin(), cuts.end(),
                   [&](int32_t a, int32_t b) { return profile[size_t(a)] < profile[size_t(b)]; });
  if (cuts.size() > kMaxCuts) cuts.resize(kMaxCuts);
  std::sort(cuts.begin(), cuts.end());
  return cuts;
}

// The readings that the line context may still give a glyph of this name.
std::vector<const char*> AlikeOf(unsigned char c) {
  static const char* const kBars[] = {"l", "1"};
  static const char* const kRounds[] = {"o", "о"_cp1251, "0"};  // Latin o, Cyrillic о, zero
  static const char* const kZe[] = {"з"_cp1251, "3"};
  std::vector<const char*> alike;
  auto others = [&](const auto& group, bool member) {
    if (!member) return;
    for (const char* o : group)
      if (static_cast<unsigned char>(o[0]) != c) alike.push_back(o);
  };
  others(kBars, c == 'l' || c == 'I' || c == '1' || c == '|');
  others(kRounds, c == 'o' || c == 'O' || c == 0xEE || c == 0xCE || c == '0');
  others(kZe, c == 0xE7 || c == 0xC7 || c == '3');
  return alike;
}

}  // namespace

std::vector<Reading> SegmentLine(const std::vector<Piece>& glyphs, const GlyphJudge& judge, double xHeight,
                                 const LineLanguage& language) {
  std::vector<Reading> out;
  if (glyphs.empty()) return out;
  const int32_t letterHeight = LetterHeight(glyphs);
  const double x = xHeight > 0 ? xHeight : 0.7 * letterHeight;
  const int32_t closeGap = std::max(1, letterHeight / 5);
  const int32_t widest = letterHeight * 3 / 2;

  // The atoms of the line: whole pieces, or the slices between a piece's cuts.
  struct Atom {
    size_t piece;
    int32_t left, right;  // columns of the picture, right exclusive
    double cutPrice;      // to cut the piece at this atom's left edge
    bool starts;          // the piece's first atom
  };
  std::vector<Atom> atoms;
  std::vector<int32_t> profile, runs;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    const Piece& p = glyphs[i];
    int32_t left = p.box.Left;
    double price = 0.0;
    for (int32_t c : CutColumns(p, letterHeight, profile, runs)) {
      atoms.push_back({i, left, p.box.Left + c, price, left == p.box.Left});
      left = p.box.Left + c;
      price = kCutPrice * x + kCutInkPrice * profile[size_t(c)] + kCutRunPrice * x * (runs[size_t(c)] - 1);
    }
    atoms.push_back({i, left, p.box.Right, price, left == p.box.Left});
  }
  const size_t n = atoms.size();
  // Weight of an atom in the reading's worth: its width, and for an uncut
  // piece at least a third of the x-height so that marks count; a piece's
  // slices weigh what the whole piece weighs.
  std::vector<double> weight(n);
  for (size_t a = 0; a < n; ++a) {
    weight[a] = atoms[a].right - atoms[a].left;
    const bool alone = atoms[a].starts && (a + 1 == n || atoms[a + 1].piece != atoms[a].piece);
    if (alone) weight[a] = std::max(weight[a], x / 3.0);
  }

  // The glyph made of atoms [from, to), or nothing where no glyph can be.
  auto glyphOf = [&](size_t from, size_t to, Piece& glyph) -> bool {
    const size_t first = atoms[from].piece, last = atoms[to - 1].piece;
    if (first != last) {
      // Whole pieces only, close together, no wider than a wide letter.
      if (!atoms[from].starts || (to < n && atoms[to].piece == last)) return false;
      if (last - first + 1 > kMaxJoined) return false;
      glyph = glyphs[first];
      for (size_t k = first + 1; k <= last; ++k) {
        if (glyphs[k].box.Left - glyph.box.Right > closeGap) return false;
        glyph.Add(glyphs[k]);
      }
      return glyph.box.Width() <= widest;
    }
    const Piece& p = glyphs[first];
    const bool whole = atoms[from].starts && (to == n || atoms[to].piece != first);
    if (whole) {
      glyph = p;
      return true;
    }
    std::vector<kyt::TPoint> part;
    for (const kyt::TPoint& q : p.pixels)
      if (q.X >= atoms[from].left && q.X < atoms[to - 1].right) part.push_back(q);
    if (part.empty()) return false;
    glyph = Crop(part);
    // Touching letters are both of letter size and each one stroke (with
    // its dot or accent); a cut that leaves a dot or a tick, or loose ends,
    // takes a letter apart.
    return glyph.box.Height() * 2 >= letterHeight && LargestGroupShare(glyph) >= 0.9;
  };

  // The empty columns before each piece, counted from the rightmost edge
  // of the pieces left of it, as words are found after segmentation.
  std::vector<int32_t> gapBefore(glyphs.size(), INT32_MIN);
  {
    int32_t right = INT32_MIN;
    for (size_t i = 0; i < glyphs.size(); ++i) {
      if (right != INT32_MIN) gapBefore[i] = glyphs[i].box.Left - right;
      right = std::max(right, glyphs[i].box.Right);
    }
  }
  const LanguageModel* model = language.model;
  const double perNat = language.weight * x;

  // The best readings of atoms [0, j), one per state of the language model
  // (one in all without a model), at most kBeam, best first.
  struct Hypothesis {
    double value;
    LanguageModel::State state;
    size_t from, previous;  // the position before and the hypothesis there
    size_t span, candidate;
    bool blank;  // a word begins with this glyph
  };
  struct Span {
    Piece glyph;
    Judged judged;
    std::vector<Answer> choices;  // the candidates that hypotheses name by index
  };
  std::vector<Span> spans;
  std::vector<std::vector<Hypothesis>> hyps(n + 1);
  hyps[0].push_back({0.0, model ? model->Start() : 0, 0, 0, 0, 0, false});
  std::vector<Valued> candidates;
  // Readings of atoms [i, j) as one glyph, by their end j.
  for (size_t j = 1; j <= n; ++j) {
    std::vector<Hypothesis>& here = hyps[j];
    for (size_t i = j; i-- > 0;) {
      if (hyps[i].empty()) continue;
      if (atoms[j - 1].piece - atoms[i].piece + 1 > kMaxJoined) break;
      if (atoms[j - 1].right - atoms[i].left > widest && atoms[i].piece != atoms[j - 1].piece) break;
      Piece glyph;
      if (!glyphOf(i, j, glyph)) continue;
      Judged judged = judge(glyph);
      double w = 0;
      for (size_t a = i; a < j; ++a) w += weight[a];
      const double price = (atoms[i].starts ? 0.0 : atoms[i].cutPrice) + kJoinPrice * x * double(atoms[j - 1].piece - atoms[i].piece);
      candidates.clear();
      if (!model || judged.ranked.empty()) {
        candidates.push_back({judged.answer, judged.value});
      } else {
        size_t taken = 0;
        for (const Valued& v : judged.ranked) {
          if (taken++ >= kMaxCandidates || v.value < judged.value - kCandidateReach) break;
          candidates.push_back(v);
          // The line context decides later between the strokes l I 1 |,
          // between o and 0 and between з and 3 by their neighbours: the
          // text may read such a glyph as any of them.
          for (const char* other : AlikeOf(Single(v.answer.name))) {
            if (model->SymbolOf(static_cast<unsigned char>(*other)) == 0) continue;  // not of this language
            candidates.push_back(v);
            candidates.back().answer.name = other;
          }
        }
      }
      // Whether a word begins with the glyph: by the gap, and with a model
      // either way where the gap is near the space width, at a price.
      struct Gap {
        bool blank;
        double price;
      };
      Gap gaps[2] = {{false, 0.0}, {false, 0.0}};
      size_t ways = 1;
      if (atoms[i].starts && gapBefore[atoms[i].piece] != INT32_MIN) {
        const double gap = gapBefore[atoms[i].piece], space = language.space;
        const bool wide = gap >= space;
        gaps[0].blank = wide;
        if (model && language.gapPrice > 0 && space < 1e6 && gap >= kNarrowestBlank * space &&
            gap < kWidestJoin * space) {
          gaps[1] = {!wide, language.gapPrice * x * std::abs(gap - space + (wide ? 1.0 : 0.0)) / space};
          ways = 2;
        }
      }
      bool used = false;
      for (size_t h = 0; h < hyps[i].size(); ++h) {
        const Hypothesis& before = hyps[i][h];
        // Only a gap between letters is read the other way: a full stop and
        // the letter after it stand apart within an address or a number too.
        const std::string* last = i > 0 ? &spans[before.span].choices[before.candidate].name : nullptr;
        const bool afterLetter = last && !last->empty() && IsLetter(static_cast<unsigned char>(last->back()));
        for (size_t g = 0; g < ways; ++g) {
          LanguageModel::State start = before.state;
          double text = 0.0;
          if (model && gaps[g].blank) text += model->LogProb(start, model->Space()), start = model->Advance(start, model->Space());
          for (size_t c = 0; c < candidates.size(); ++c) {
            const std::string& name = candidates[c].answer.name;
            if (g == 1 && (!afterLetter || name.empty() || !IsLetter(static_cast<unsigned char>(name[0])))) continue;
            LanguageModel::State state = start;
            double t = text;
            if (model) {
              for (unsigned char ch : candidates[c].answer.name) {
                t += model->LogProbOfByte(state, ch);
                state = model->Advance(state, model->SymbolOf(ch));
              }
            }
            const double value = before.value + w * candidates[c].value - price - gaps[g].price + perNat * t;
            here.push_back({value, state, i, h, spans.size(), c, gaps[g].blank});
            used = true;
          }
        }
      }
      if (used) {
        std::vector<Answer> choices;  // (as named by the candidates' index)
        for (const Valued& v : candidates) choices.push_back(v.answer);
        spans.push_back({std::move(glyph), std::move(judged), std::move(choices)});
      }
    }
    // Of the readings that leave the model in one state the best goes on (the
    // first of equals): then the best kBeam of those.
    std::stable_sort(here.begin(), here.end(), [](const Hypothesis& a, const Hypothesis& b) {
      return a.state < b.state || (a.state == b.state && a.value > b.value);
    });
    here.erase(std::unique(here.begin(), here.end(),
                           [](const Hypothesis& a, const Hypothesis& b) { return a.state == b.state; }),
               here.end());
    std::stable_sort(here.begin(), here.end(), [](const Hypothesis& a, const Hypothesis& b) { return a.value > b.value; });
    if (here.size() > kBeam) here.resize(kBeam);
  }
  if (hyps[n].empty()) return out;
  // The line ends a word.
  size_t best = 0;
  if (model) {
    double top = -1e300;
    for (size_t h = 0; h < hyps[n].size(); ++h) {
      const double v = hyps[n][h].value + perNat * model->LogProb(hyps[n][h].state, model->Space());
      if (v > top) top = v, best = h;
    }
  }
  for (size_t j = n, h = best; j > 0;) {
    const Hypothesis& at = hyps[j][h];
    Span& span = spans[at.span];
    out.push_back({std::move(span.glyph), span.choices[at.candidate], std::move(span.judged.ranked),
                   int8_t(model ? (at.blank ? 1 : 0) : -1)});
    j = at.from, h = at.previous;
  }
  std::reverse(out.begin(), out.end());
  return out;
}

std::vector<Reading> ReadLine(const std::vector<Piece>& glyphs, Classifier& classifier,
                              const std::optional<LineMetrics>& page, const LineLanguage& language) {
  std::vector<Reading> first;
  for (const Piece& g : glyphs) first.push_back({g, classifier.Classify(g), {}});
  const LineMetrics m = MeasureLine(first, classifier, page);
  // The parts of a per cent sign are one glyph before segmentation, which
  // would join its first ring to the digit before it (5 and a ring read
  // well as a numero sign).
  std::vector<Piece> pieces;
  std::vector<kyt::Rect> signs;
  for (size_t i = 0; i < glyphs.size(); ++i) {
    pieces.push_back(glyphs[i]);
    if (!classifier.Has("%") || i + 2 >= glyphs.size() ||
        !PerCentParts(glyphs[i], glyphs[i + 1], glyphs[i + 2], std::max(m.xHeight, 1.0)))
      continue;
    pieces.back().Add(glyphs[i + 1]);
    pieces.back().Add(glyphs[i + 2]);
    signs.push_back(pieces.back().box);
    i += 2;
  }
  std::vector<Reading> line =
      SegmentLine(pieces, [&](const Piece& p) { return JudgeGlyph(p, classifier, m); }, m.xHeight, language);
  for (Reading& r : line)
    for (const kyt::Rect& b : signs)
      if (r.piece.box.Left == b.Left && r.piece.box.Right == b.Right && r.piece.box.Top == b.Top &&
          r.piece.box.Bottom == b.Bottom)
        r.answer.name = std::string(1, '%'), r.ranked.clear();
  return line;
}

}  // namespace kytdcr::reader
