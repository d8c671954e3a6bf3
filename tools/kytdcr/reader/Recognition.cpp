// Recognition of a line's glyphs: the network's answer for a piece, and the
// cutting of touching glyphs and joining of broken ones by those answers.
#include <algorithm>

#include "Stages.h"
#include "recognition/GlobalMdl.h"

namespace kytdcr::reader {

namespace {

// A cut or a join must win by this much of the -1..1 score.
constexpr float kMargin = 0.05f;

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

// The share of a piece's pixels in its largest 8-connected group.
double LargestGroupShare(const Piece& p) {
  const int32_t w = p.box.Width(), h = p.box.Height();
  std::vector<int32_t> cell(size_t(w) * size_t(h), 0);  // 0 background, 1 ink, 2 visited
  for (const kyt::TPoint& q : p.pixels) cell[size_t(q.Y - p.box.Top) * size_t(w) + size_t(q.X - p.box.Left)] = 1;
  size_t largest = 0;
  std::vector<size_t> stack;
  for (size_t start = 0; start < cell.size(); ++start) {
    if (cell[start] != 1) continue;
    size_t count = 0;
    stack.push_back(start);
    cell[start] = 2;
    while (!stack.empty()) {
      const size_t i = stack.back();
      stack.pop_back();
      ++count;
      const int32_t x = int32_t(i % size_t(w)), y = int32_t(i / size_t(w));
      for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
          const int32_t nx = x + dx, ny = y + dy;
          if (nx < 0 || ny < 0 || nx >= w || ny >= h) continue;
          const size_t n = size_t(ny) * size_t(w) + size_t(nx);
          if (cell[n] == 1) cell[n] = 2, stack.push_back(n);
        }
    }
    largest = std::max(largest, count);
  }
  return p.pixels.empty() ? 0.0 : double(largest) / double(p.pixels.size());
}

void ReadCut(const Piece& piece, const Answer& whole, int32_t letterHeight, int depth, Classifier& classifier,
             std::vector<Reading>& out) {
  const int32_t width = piece.box.Width();
  const int32_t minPart = std::max(2, letterHeight / 5);
  // Flat marks (dashes) are never touching letters.
  if (depth < 4 && width >= 2 * minPart && width * 4 >= letterHeight * 3 && piece.box.Height() * 2 >= letterHeight) {
    std::vector<int32_t> profile(size_t(width), 0);
    for (const kyt::TPoint& q : piece.pixels) ++profile[size_t(q.X - piece.box.Left)];
    std::vector<int32_t> cuts;
    for (int32_t c = minPart; c <= width - minPart; ++c) {
      const int32_t before = profile[size_t(c - 1)], here = profile[size_t(c)];
      const int32_t after = c + 1 < width ? profile[size_t(c + 1)] : here;
      if (here <= before && here <= after) cuts.push_back(c);
    }
    std::sort(cuts.begin(), cuts.end(), [&](int32_t a, int32_t b) { return profile[size_t(a)] < profile[size_t(b)]; });
    if (cuts.size() > 4) cuts.resize(4);
    float best = whole.score + kMargin;
    Piece bestLeft, bestRight;
    Answer left, right;
    for (int32_t c : cuts) {
      std::vector<kyt::TPoint> a, b;
      for (const kyt::TPoint& q : piece.pixels) (q.X < piece.box.Left + c ? a : b).push_back(q);
      if (a.empty() || b.empty()) continue;
      Piece pa = Crop(a), pb = Crop(b);
      // Touching letters are both of letter size; a cut that leaves a dot or
      // a tick is a letter taken apart.
      if (pa.box.Height() * 2 < letterHeight || pb.box.Height() * 2 < letterHeight) continue;
      // Each of two touching letters is one stroke; the cut ends of one letter are not.
      if (LargestGroupShare(pa) < 0.9 || LargestGroupShare(pb) < 0.9) continue;
      const Answer ra = classifier.Classify(pa), rb = classifier.Classify(pb);
      const float worse = std::min(ra.score, rb.score);
      if (worse > best) {
        best = worse;
        bestLeft = std::move(pa), bestRight = std::move(pb);
        left = ra, right = rb;
      }
    }
    if (!bestLeft.pixels.empty()) {
      ReadCut(bestLeft, left, letterHeight, depth + 1, classifier, out);
      ReadCut(bestRight, right, letterHeight, depth + 1, classifier, out);
      return;
    }
  }
  out.push_back({piece, whole});
}

}  // namespace

Classifier::Classifier(kyt::TBackProp& network) : network_(network) {}

bool Classifier::Has(const std::string& name) const {
  for (const kyt::TTrainingPairs& p : network_.TrainingSet)
    if (p.Name == name) return true;
  return false;
}

Answer Classifier::Classify(const Piece& piece) {
  Answer answer;
  if (piece.pixels.empty()) return answer;
  const kyt::TPoint topLeft{piece.box.Left, piece.box.Top}, bottomRight{piece.box.Right - 1, piece.box.Bottom - 1};
  const kyt::Bitmap grid =
      kyt::NormalizeGlyphPixels(piece.pixels, topLeft, bottomRight, network_.InputCols, network_.InputRows);
  kyt::TBackProp::BitmapToInput(grid, network_.InputLayer);
  network_.Propagate();
  const int32_t outputs = network_.OutputCount;
  if (outputs <= 0) return answer;
  const float* out = network_.OutputLayer.data();
  bool first = true;
  for (const kyt::TTrainingPairs& pattern : network_.TrainingSet) {
    const int32_t n = std::min<int32_t>(outputs, int32_t(pattern.Target.size()) - 1);
    double sum = 0;
    for (int32_t o = 1; o <= n; ++o) sum += double(pattern.Target[size_t(o)]) * double(out[o]);
    const float score = float(sum / outputs);
    if (first || score > answer.score) {
      first = false;
      answer.name = pattern.Name;
      answer.score = score;
    }
  }
  return answer;
}

std::vector<Reading> ReadLine(const std::vector<Piece>& glyphs, Classifier& classifier) {
  const int32_t letterHeight = LetterHeight(glyphs);
  std::vector<Reading> readings;
  for (const Piece& g : glyphs) ReadCut(g, classifier.Classify(g), letterHeight, 0, classifier, readings);

  // Neighbours that belong together: close, and no wider than a wide letter.
  const int32_t closeGap = std::max(1, letterHeight / 5);
  for (size_t i = 0; i + 1 < readings.size();) {
    const Piece& a = readings[i].piece;
    const Piece& b = readings[i + 1].piece;
    const int32_t gap = b.box.Left - a.box.Right;
    const int32_t width = std::max(a.box.Right, b.box.Right) - std::min(a.box.Left, b.box.Left);
    if (gap <= closeGap && width * 4 <= letterHeight * 5) {
      Piece joined = a;
      joined.Add(b);
      const Answer answer = classifier.Classify(joined);
      const float parts = (readings[i].answer.score + readings[i + 1].answer.score) / 2.0f;
      if (answer.score > parts + kMargin && answer.score > 0.0f) {
        readings[i] = {std::move(joined), answer};
        readings.erase(readings.begin() + std::ptrdiff_t(i + 1));
        continue;  // the joined glyph may take its next neighbour too ('%')
      }
    }
    ++i;
  }
  return readings;
}

}  // namespace kytdcr::reader
