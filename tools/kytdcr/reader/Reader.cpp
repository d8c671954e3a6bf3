// The page reader: ink, layout, recognition and line context, in that order.
#include "Reader.h"

#include <algorithm>
#include <cmath>

#include "Stages.h"

namespace kytdcr::reader {

namespace {

double MedianOf(std::vector<double> v) {
  if (v.empty()) return 0.0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

kyt::Rect Union(const kyt::Rect& a, const kyt::Rect& b) {
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right), std::max(a.Bottom, b.Bottom)};
}

// Empty columns between each glyph and the glyphs left of it.
std::vector<int32_t> GapsOf(const std::vector<Piece>& sorted) {
  std::vector<int32_t> gaps;
  int32_t right = INT32_MIN;
  for (const Piece& p : sorted) {
    if (right != INT32_MIN) gaps.push_back(p.box.Left - right);
    right = std::max(right, p.box.Right);
  }
  return gaps;
}

}  // namespace

int32_t AutoNoise(const InkPage& cells) {
  std::vector<double> heights;
  int32_t run = 0;
  for (int32_t y = 0; y <= cells.height; ++y) {
    bool ink = false;
    for (int32_t x = 0; y < cells.height && x < cells.width && !ink; ++x) ink = cells.At(x, y) != 0;
    if (ink) {
      ++run;
    } else if (run > 0) {
      heights.push_back(run);
      run = 0;
    }
  }
  const double stroke = StrokeWidth(cells);
  const double lineHeight = MedianOf(heights);
  const double fromStroke = 0.4 * stroke * stroke;
  const double fromHeight = (lineHeight / 8.0) * (lineHeight / 8.0);
  return std::max<int32_t>(2, int32_t(std::lround(std::min(fromStroke, fromHeight))));
}

int32_t SpaceFromGaps(const std::vector<int32_t>& all) {
  std::vector<int32_t> gaps;
  for (int32_t g : all)
    if (g > 0) gaps.push_back(g);
  if (gaps.empty()) return INT32_MAX;
  std::sort(gaps.begin(), gaps.end());
  const size_t n = gaps.size();
  std::vector<double> prefix(n + 1, 0.0);
  for (size_t i = 0; i < n; ++i) prefix[i + 1] = prefix[i] + gaps[i];
  // Otsu's split of the gaps into letter gaps and word gaps.
  double best = -1.0;
  size_t split = 0;
  for (size_t i = 1; i < n; ++i) {
    if (gaps[i] == gaps[i - 1]) continue;
    const double w0 = double(i), w1 = double(n - i);
    const double m0 = prefix[i] / w0, m1 = (prefix[n] - prefix[i]) / w1;
    const double score = w0 * w1 * (m1 - m0) * (m1 - m0);
    if (score > best) best = score, split = i;
  }
  if (split == 0) return gaps.back() + 1;
  const double m0 = prefix[split] / double(split), m1 = (prefix[n] - prefix[split]) / double(n - split);
  if (m1 < 2.0 * m0 + 1.0) return gaps.back() + 1;  // no clear word gaps: one word per line
  return (gaps[split - 1] + gaps[split]) / 2 + 1;
}

std::string Word::Text() const {
  std::string s;
  for (const Glyph& g : glyphs) s += g.name;
  return s;
}

std::string Line::Text() const {
  std::string s;
  for (const Word& w : words) {
    if (!s.empty()) s += ' ';
    s += w.Text();
  }
  return s;
}

std::string Page::Text() const {
  std::string s;
  for (const Line& l : lines) s += l.Text() + "\n";
  return s;
}

Page ReadPage(const kyt::Bitmap& picture, kyt::TBackProp& network, const Settings& settings) {
  Page page;
  page.width = picture.Width();
  page.height = picture.Height();
  const Histogram histogram = LuminanceHistogram(picture);
  // Light text on dark is told by what stands out in each neighbourhood, so
  // that paper shaded dark over much of the page is still paper.
  std::optional<bool> invert = settings.invert;
  if (!invert) invert = InvertedByTiles(picture);
  const InkChoice ink = ChooseInk(histogram, settings.bw, invert);
  page.bw = ink.bw;
  page.invert = ink.invert;
  // A threshold given is used as given; the automatic one follows uneven paper.
  InkPage cells = settings.bw ? MakeInkPage(picture, ink) : MakeAdaptiveInkPage(picture, ink, histogram);

  std::vector<Piece> pieces = FindPieces(cells);
  if (SetAsideRules(cells, pieces) > 0) pieces = FindPieces(cells);
  std::vector<std::vector<Piece>> linePieces = FindLinePieces(cells, std::move(pieces));

  page.noise = settings.noise.value_or(AutoNoise(cells));

  std::vector<std::vector<Piece>> lineGlyphs;
  std::vector<int32_t> gaps;
  for (auto& line : linePieces) {
    std::vector<Piece> glyphs;
    for (Piece& g : StackPieces(std::move(line)))
      if (int64_t(g.pixels.size()) >= page.noise) glyphs.push_back(std::move(g));
    if (glyphs.empty()) continue;
    const auto g = GapsOf(glyphs);
    gaps.insert(gaps.end(), g.begin(), g.end());
    lineGlyphs.push_back(std::move(glyphs));
  }
  page.space = settings.space.value_or(0);
  if (!settings.space) {
    const int32_t s = SpaceFromGaps(gaps);
    page.space = s == INT32_MAX ? 22 : s;
  }

  Classifier classifier(network);
  // The page's sizes, measured over all its lines as over one, stand in where
  // a line shows too little: first on the glyphs as they come, then on the
  // glyphs as segmented.
  std::optional<LineMetrics> typical;
  {
    std::vector<Reading> all;
    for (const auto& glyphs : lineGlyphs)
      for (const Piece& g : glyphs) all.push_back({g, classifier.Classify(g), {}});
    if (!all.empty()) typical = MeasureLine(all, classifier, std::nullopt);
  }
  LineLanguage language;
  if (settings.language) language = {settings.language, settings.languageWeight, page.space, settings.gapPrice};
  std::vector<std::vector<Reading>> readings;
  for (const auto& glyphs : lineGlyphs) readings.push_back(ReadLine(glyphs, classifier, typical, language));
  std::vector<Reading> all;
  for (const auto& r : readings) all.insert(all.end(), r.begin(), r.end());
  if (!all.empty()) typical = MeasureLine(all, classifier, std::nullopt);

  for (size_t l = 0; l < readings.size(); ++l) {
    std::vector<Reading>& line = readings[l];
    const LineMetrics m = MeasureLine(line, classifier, typical);
    // The context rules may join glyphs; words are found again after them.
    PreferWordsOwnKind(line, page.space);
    ApplyLineContext(line, page.space, m, classifier);
    Line out;
    int32_t right = INT32_MIN;
    for (const Reading& r : line) {
      const bool start =
          right == INT32_MIN || (r.wordStart >= 0 ? r.wordStart == 1 : r.piece.box.Left - right >= page.space);
      right = std::max(right, r.piece.box.Right);
      if (start) out.words.push_back(Word{r.piece.box, {}});
      Word& w = out.words.back();
      w.box = Union(w.box, r.piece.box);
      w.glyphs.push_back(Glyph{r.piece.box, r.answer.name, r.answer.score});
    }
    out.box = out.words.front().box;
    for (const Word& w : out.words) out.box = Union(out.box, w.box);
    page.lines.push_back(std::move(out));
  }
  return page;
}

namespace {

// The page of a frame the plug-in's recognition has just run in.
Page PluginPage(const kyt::TDCRFrame& frame, int32_t width, int32_t height, kyt::TBackProp& network, int32_t bw,
                int32_t noise, int32_t space, std::string& pluginText, bool glyphs) {
  pluginText = frame.ResultText;
  Page page;
  page.width = width;
  page.height = height;
  page.bw = bw, page.noise = noise, page.space = space;
  if (!glyphs) return page;
  // Not remembering: the plug-in's name below is read from the outputs that
  // each Classify leaves in the network.
  Classifier classifier(network, false);
  for (const kyt::TLine& line : frame.Lines) {
    Line out;
    for (const kyt::TWord& word : line.Words) {
      Word w;
      w.box = {word.Left, line.Top, word.Right + 1, line.Bottom + 1};
      for (const kyt::TChar& c : word.Chars) {
        if (c.Skipped) continue;
        Piece p;
        for (const kyt::TPoint& q : c.Pixels) p.pixels.push_back({word.Left + q.X - 1, line.Top + q.Y - 1});
        p.box = {word.Left + c.TopLeft.X - 1, line.Top + c.TopLeft.Y - 1, word.Left + c.BottomRight.X,
                 line.Top + c.BottomRight.Y};
        // The plug-in's name for the glyph; the score is the reader's measure of it.
        const Answer mine = classifier.Classify(p);
        std::string name;
        network.Recognize(name);
        float score = mine.score;
        if (name != mine.name) {
          score = -1.0f;
          for (size_t i = 0; i < network.TrainingSet.size(); ++i) {
            if (network.TrainingSet[i].Name != name) continue;
            double sum = 0;
            for (int32_t o = 1; o <= network.OutputCount && size_t(o) < network.TrainingSet[i].Target.size(); ++o)
              sum += double(network.TrainingSet[i].Target[size_t(o)]) * double(network.OutputLayer[size_t(o)]);
            score = float(sum / std::max(1, network.OutputCount));
            break;
          }
        }
        w.glyphs.push_back(Glyph{p.box, name, score});
      }
      out.words.push_back(std::move(w));
    }
    out.box = {0, line.Top, 0, line.Bottom + 1};
    if (!out.words.empty()) out.box.Left = out.words.front().box.Left, out.box.Right = out.words.back().box.Right;
    page.lines.push_back(std::move(out));
  }
  return page;
}

}  // namespace

Page ReadPageAsPlugin(const kyt::Bitmap& picture, kyt::TBackProp& network, int32_t bw, int32_t noise, int32_t space,
                      std::string& pluginText, bool glyphs) {
  kyt::TDCRFrame frame;
  frame.AssignPicture(picture);
  frame.BWThreshold = bw;
  frame.NoiseThreshold = noise;
  frame.SpaceWidth = space;
  frame.RecognizeText(network);
  return PluginPage(frame, picture.Width(), picture.Height(), network, bw, noise, space, pluginText, glyphs);
}

Page ReadInkAsPlugin(kyt::TImageArray ink, kyt::TBackProp& network, int32_t bw, int32_t noise, int32_t space,
                     std::string& pluginText, bool glyphs) {
  kyt::TDCRFrame frame;
  const int32_t width = ink.Width(), height = ink.Height();
  frame.ImageArray = std::move(ink);
  frame.BWThreshold = bw;
  frame.NoiseThreshold = noise;
  frame.SpaceWidth = space;
  frame.RecognizeImageArray(network);
  return PluginPage(frame, width, height, network, bw, noise, space, pluginText, glyphs);
}

}  // namespace kytdcr::reader
