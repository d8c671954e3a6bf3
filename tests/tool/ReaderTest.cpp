// The page reader of `kytdcr recognize`: parameters found from the picture,
// layout, segmentation by recognition and the line rules, on drawn and
// rendered pictures.
#include <gtest/gtest.h>

#include <memory>

#include "FontGlyphs.h"
#include "KnowledgeBase.h"
#include "Text.h"
#include "reader/Letters.h"
#include "reader/Reader.h"
#include "reader/Stages.h"

namespace kytdcr::reader {
namespace {

kyt::Bitmap Render(const std::string& font, int32_t size, const std::vector<std::u32string>& lines,
                   int32_t letterGap = 0, int32_t lineGap = 0) {
  Font f(FindFontFile(font));
  f.SetPixelSize(size);
  PageStyle style;
  style.letterGap = letterGap;
  style.lineGap = lineGap;
  return f.RenderPage(lines, style);
}

// Grey on white becomes `ink` on `paper`.
kyt::Bitmap Colour(kyt::Bitmap page, kyt::Color ink, kyt::Color paper) {
  auto mix = [](int a, int b, int g) { return uint8_t((a * (255 - g) + b * g + 127) / 255); };
  for (int32_t y = 0; y < page.Height(); ++y)
    for (int32_t x = 0; x < page.Width(); ++x) {
      const int g = kyt::RedOf(page.Pixel(x, y));
      page.SetPixel(x, y, kyt::MakeColor(mix(kyt::RedOf(ink), kyt::RedOf(paper), g),
                                         mix(kyt::GreenOf(ink), kyt::GreenOf(paper), g),
                                         mix(kyt::BlueOf(ink), kyt::BlueOf(paper), g)));
    }
  return page;
}

kyt::TBackProp& Network(const std::string& name) {
  static std::map<std::string, std::unique_ptr<kyt::TBackProp>> loaded;
  auto& slot = loaded[name];
  if (!slot) slot = LoadKnowledgeBase(ResolveKnowledgeBase(name));
  return *slot;
}

std::string Read(const kyt::Bitmap& picture, const std::string& kb = "latin", const Settings& s = {}) {
  return Cp1251ToUtf8(ReadPage(picture, Network(kb), s).Text());
}

Histogram Counts(std::initializer_list<std::pair<int, uint64_t>> values) {
  Histogram h{};
  for (auto [v, n] : values) h[size_t(v)] = n;
  return h;
}

// ---- Ink -------------------------------------------------------------------------------

TEST(ReaderInk, ThresholdFollowsThePagesInkAndPaper) {
  // Plain black on white, anti-aliased edges: the plug-in's 196.
  const InkChoice plain = ChooseInk(Counts({{0, 300}, {90, 40}, {180, 40}, {255, 5000}}), std::nullopt, std::nullopt);
  EXPECT_EQ(plain.bw, 196);
  EXPECT_FALSE(plain.invert);
  // Dark grey 80 on light grey 200: between the two, where 196 lies between 0 and 255.
  const InkChoice grey = ChooseInk(Counts({{80, 300}, {140, 50}, {200, 5000}}), std::nullopt, std::nullopt);
  EXPECT_FALSE(grey.invert);
  EXPECT_GT(grey.bw, 160);
  EXPECT_LT(grey.bw, 200);
  // Light text on a dark page: inverted, and the threshold is on the inverted scale.
  const InkChoice dark = ChooseInk(Counts({{30, 5000}, {120, 40}, {240, 300}}), std::nullopt, std::nullopt);
  EXPECT_TRUE(dark.invert);
  EXPECT_GT(dark.bw, 255 - 240);
  EXPECT_LE(dark.bw, 255 - 30);
  // Given values are kept; a page of one colour keeps the plug-in's values.
  const InkChoice given = ChooseInk(Counts({{30, 5000}, {240, 300}}), 100, false);
  EXPECT_EQ(given.bw, 100);
  EXPECT_FALSE(given.invert);
  const InkChoice blank = ChooseInk(Counts({{255, 100}}), std::nullopt, std::nullopt);
  EXPECT_EQ(blank.bw, 196);
  EXPECT_FALSE(blank.invert);
}

TEST(ReaderInk, StrokeWidthAndNoiseFollowTheType) {
  const kyt::Bitmap small = Render("DejaVuSans", 12, {U"a quiet morning."});
  const kyt::Bitmap large = Render("DejaVuSans", 40, {U"a quiet morning."});
  const InkPage s = MakeInkPage(small, {196, false}), l = MakeInkPage(large, {196, false});
  EXPECT_LT(StrokeWidth(s), StrokeWidth(l));
  EXPECT_LT(AutoNoise(s), AutoNoise(l));
  // The full stop, the rightmost piece, outweighs the noise size at every size.
  for (const kyt::Bitmap* page : {&small, &large}) {
    const InkPage ink = MakeInkPage(*page, {196, false});
    const auto pieces = FindPieces(ink);
    const Piece* stop = &pieces[0];
    for (const Piece& p : pieces)
      if (p.box.Left > stop->box.Left) stop = &p;
    EXPECT_GE(int64_t(stop->pixels.size()), AutoNoise(ink));
  }
  const std::string text = Read(small);
  EXPECT_EQ(text.substr(text.size() - 2), ".\n") << text;
}

TEST(ReaderInk, LightTextOnDarkAndColouredPagesReadLikeBlackOnWhite) {
  const kyt::Bitmap page = Render("DejaVuSans", 32, {U"sixty seven"});
  const std::string want = Read(page);
  ASSERT_EQ(want, "sixty seven\n");
  EXPECT_EQ(Read(Colour(page, kyt::MakeColor(240, 240, 240), kyt::MakeColor(30, 40, 60))), want);
  EXPECT_EQ(Read(Colour(page, kyt::MakeColor(26, 60, 140), kyt::MakeColor(255, 240, 180))), want);
  EXPECT_EQ(Read(Colour(page, kyt::MakeColor(80, 80, 80), kyt::MakeColor(200, 200, 200))), want);
  // Forced the other way, the dark page is all ink and says nothing.
  Settings notInverted;
  notInverted.invert = false;
  EXPECT_NE(Read(Colour(page, kyt::MakeColor(240, 240, 240), kyt::MakeColor(30, 40, 60)), "latin", notInverted), want);
}

// ---- Layout ----------------------------------------------------------------------------

TEST(ReaderLayout, OneLineOfTextPerLineWithSingleSpaces) {
  const kyt::Bitmap page = Render("DejaVuSans", 32, {U"one two", U"three", U"four five six"});
  const Page p = ReadPage(page, Network("latin"), {});
  ASSERT_EQ(p.lines.size(), 3u);
  EXPECT_EQ(p.lines[2].words.size(), 3u);
  EXPECT_EQ(Cp1251ToUtf8(p.Text()), "one two\nthree\nfour five six\n");
  // Boxes nest: glyphs within words within lines.
  for (const Line& l : p.lines)
    for (const Word& w : l.words) {
      EXPECT_GE(w.box.Left, l.box.Left);
      EXPECT_LE(w.box.Right, l.box.Right);
      for (const Glyph& g : w.glyphs) {
        EXPECT_GE(g.box.Left, w.box.Left);
        EXPECT_LE(g.box.Bottom, w.box.Bottom);
        EXPECT_GE(g.score, -1.0f);
        EXPECT_LE(g.score, 1.0f);
      }
    }
  EXPECT_EQ(ReadPage(kyt::Bitmap(40, 30), Network("latin"), {}).lines.size(), 0u);
}

TEST(ReaderLayout, TouchingLinesAreCutAlongTheRowProfile) {
  // Lines drawn 5 rows closer than their type's line height: descenders of the
  // first reach into the ascenders of the second, no empty row between them.
  const kyt::Bitmap page = Render("DejaVuSans", 24, {U"jumpy quail", U"black hounds"}, 0, -5);
  InkPage ink = MakeInkPage(page, {196, false});
  int emptyRows = 0;
  bool started = false, ended = false;
  for (int32_t y = 0; y < ink.height; ++y) {
    bool any = false;
    for (int32_t x = 0; x < ink.width; ++x) any = any || ink.At(x, y);
    if (any && ended) ++emptyRows;  // ink again after a gap
    if (any) started = true;
    if (!any && started) ended = true;
  }
  ASSERT_EQ(emptyRows, 0) << "the two lines should touch";
  EXPECT_EQ(FindLinePieces(ink, FindPieces(ink)).size(), 2u);
  const std::string text = Read(page);
  EXPECT_NE(text.find("quail\n"), std::string::npos) << text;
  EXPECT_NE(text.find("hounds\n"), std::string::npos) << text;
  // One line with tall and deep letters stays one line.
  const kyt::Bitmap one = Render("DejaVuSans", 24, {U"Quick jolly gyp"});
  InkPage oneInk = MakeInkPage(one, {196, false});
  EXPECT_EQ(FindLinePieces(oneInk, FindPieces(oneInk)).size(), 1u);
}

TEST(ReaderLayout, RuledFramesAroundLabelsAreSetAside) {
  kyt::Bitmap page = Render("DejaVuSans", 32, {U"save"});
  // A button frame two pixels thick around the label, 6 pixels from its ink.
  InkPage before = MakeInkPage(page, {196, false});
  const auto pieces = FindPieces(before);
  kyt::Rect ink = pieces[0].box;
  for (const Piece& p : pieces)
    ink = {std::min(ink.Left, p.box.Left), std::min(ink.Top, p.box.Top), std::max(ink.Right, p.box.Right),
           std::max(ink.Bottom, p.box.Bottom)};
  const kyt::Rect f{ink.Left - 8, ink.Top - 8, ink.Right + 8, ink.Bottom + 8};
  page.FillRect(f.Left, f.Top, f.Right, f.Top + 2, kyt::kBlack);
  page.FillRect(f.Left, f.Bottom - 2, f.Right, f.Bottom, kyt::kBlack);
  page.FillRect(f.Left, f.Top, f.Left + 2, f.Bottom, kyt::kBlack);
  page.FillRect(f.Right - 2, f.Top, f.Right, f.Bottom, kyt::kBlack);
  EXPECT_EQ(Read(page), "save\n");
  // Letters made of straight strokes are not frames.
  const kyt::Bitmap letters = Render("DejaVuSans", 40, {U"HELT"});
  InkPage l = MakeInkPage(letters, {196, false});
  EXPECT_EQ(SetAsideRules(l, FindPieces(l)), 0u);
}

TEST(ReaderLayout, DotsAndAccentsStackOntoTheirLetters) {
  const kyt::Bitmap page = Render("DejaVuSans", 32, {U"ij:"});
  InkPage ink = MakeInkPage(page, {196, false});
  const auto lines = FindLinePieces(ink, FindPieces(ink));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].size(), 6u);
  EXPECT_EQ(StackPieces(lines[0]).size(), 3u);
}

TEST(ReaderLayout, SpaceWidthLiesBetweenLetterAndWordGaps) {
  const std::vector<int32_t> letters = {1, 2, 2, 1, 3, 1, 2, 0, -1};
  std::vector<int32_t> gaps = letters;
  for (int32_t g : {8, 9, 11}) gaps.push_back(g);
  const int32_t space = SpaceFromGaps(gaps);
  EXPECT_GT(space, 3);
  EXPECT_LE(space, 8);
  EXPECT_EQ(SpaceFromGaps({2, 3, 2, 3}), 4);  // no word gaps: one word
  EXPECT_EQ(SpaceFromGaps({}), INT32_MAX);
}

// ---- Segmentation by recognition ----------------------------------------------------------

TEST(ReaderSegmentation, TouchingLettersAreCutWhereBothPartsReadBetter) {
  // Serif letters drawn 2 pixels closer than their advance touch at their serifs.
  const kyt::Bitmap page = Render("DejaVuSerif", 32, {U"dog cat"}, -2);
  InkPage ink = MakeInkPage(page, {196, false});
  const auto lines = FindLinePieces(ink, FindPieces(ink));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_LE(StackPieces(lines[0]).size(), 4u) << "letters should touch";
  std::string letters;
  for (char c : Read(page))
    if (c != ' ' && c != '\n') letters += c;
  EXPECT_EQ(letters, "dogcat");
  // A wide letter that reads well stays whole.
  EXPECT_EQ(Read(Render("DejaVuSans", 32, {U"mum"})), "mum\n");
}

TEST(ReaderSegmentation, PiecesOfOneLetterAreJoined) {
  // ы comes apart into a soft sign and a stroke.
  const kyt::Bitmap page = Render("DejaVuSans", 32, {U"мы вы сыр"});
  EXPECT_EQ(Read(page, "russian"), "мы вы сыр\n");
  // Liberation Serif's stroke carries serifs, half as wide as the sign is high.
  const std::string serif = Read(Render("LiberationSerif-Regular", 24, {U"цветы были чудесные"}), "russian");
  EXPECT_EQ(serif.substr(0, serif.find(' ')), "цветы") << serif;
  // The plug-in reads the two pieces as two glyphs.
  std::string text;
  ReadPageAsPlugin(page, Network("russian"), 196, 10, 8, text);
  EXPECT_EQ(Cp1251ToUtf8(text).find("ы"), std::string::npos);
}

// ---- Line rules on hand-made lines ---------------------------------------------------------

// A classifier whose knowledge base knows these names and nothing else.
struct Names {
  kyt::TBackProp network{4, 2, 4};
  explicit Names(const std::vector<std::string>& names) {
    for (const auto& n : names) {
      kyt::TTrainingPairs p;
      p.Name = n;
      p.Target.assign(5, 1.0f);
      network.TrainingSet.push_back(p);
    }
  }
};

Reading At(const std::string& name, int32_t left, int32_t top, int32_t width, int32_t height) {
  Reading r;
  r.answer.name = name;
  r.piece.box = {left, top, left + width, top + height};
  r.piece.pixels = {{left, top}, {left + width - 1, top + height - 1}};
  return r;
}

std::string NamesOf(const std::vector<Reading>& line) {
  std::string s;
  for (const Reading& r : line) s += r.answer.name + "|";
  return s;
}

// Baseline at row 40, x-height 14, capitals 20 high.
const LineMetrics kLine{40.0, 14.0, 20.0, 0.0};

TEST(ReaderLineRules, CaseOfLookAlikesFromTheirHeight) {
  // The knowledge base folds c, o, s onto one pattern each; a and A are apart.
  Names kb({"c", "o", "s", "a", "A", "x", "n"});
  Classifier classifier(kb.network);
  std::vector<Reading> line = {At("c", 0, 20, 12, 20), At("o", 14, 26, 12, 14), At("s", 28, 20, 10, 20),
                               At("o", 40, 26, 12, 14), At("a", 54, 26, 11, 14)};
  ApplyLineContext(line, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(line), "C|o|S|o|a|");
  // Measured from the line: small letters the knowledge base tells apart set the x-height.
  std::vector<Reading> measured = {At("a", 0, 26, 11, 14), At("n", 14, 26, 11, 14), At("x", 28, 26, 11, 14),
                                   At("o", 42, 20, 12, 20), At("a", 56, 26, 11, 14)};
  const LineMetrics m = MeasureLine(measured, classifier, std::nullopt);
  EXPECT_NEAR(m.baseline, 40.0, 0.01);
  EXPECT_NEAR(m.xHeight, 14.0, 0.01);
  ApplyLineContext(measured, 1000, m, classifier);
  EXPECT_EQ(measured[3].answer.name, "O");
}

TEST(ReaderLineRules, PunctuationBySizeAndPlace) {
  Names kb({"a", ".", ",", "'", "-"});
  Classifier classifier(kb.network);
  std::vector<Reading> line = {
      At("a", 0, 26, 11, 14),  At(",", 14, 37, 3, 3),  // a dot on the baseline, named , by the network
      At("a", 20, 26, 11, 14), At(".", 34, 36, 3, 7),  // a tail below the baseline
      At("a", 40, 26, 11, 14), At(".", 54, 20, 3, 5),  // a tick at capital height
      At("a", 60, 26, 11, 14), At("a", 74, 31, 8, 2),  // a short bar at mid x-height
      At("a", 86, 26, 11, 14), At("a", 100, 31, 28, 2),  // a bar two x-heights long
      At("'", 130, 20, 3, 5),  At("'", 135, 20, 3, 5),   // two ticks side by side
  };
  ApplyLineContext(line, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(line), "a|.|a|,|a|'|a|-|a|\x97|\"|");
}

TEST(ReaderLineRules, TallNarrowTicksStandingHighAreApostrophes) {
  // Serif quotes are ticks taller than half the x-height: named as strokes
  // by the network, they are apostrophes by their place, two a double quote.
  Names kb({"a", "l", "'", "\""});
  Classifier classifier(kb.network);
  std::vector<Reading> line = {At("l", 0, 20, 3, 10), At("l", 5, 20, 3, 10), At("a", 10, 26, 11, 14),
                               At("l", 24, 20, 3, 20), At("l", 29, 20, 3, 10)};
  ApplyLineContext(line, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(line), "\"|a|l|'|");
  // A tick reaching down into the small letters is no apostrophe.
  std::vector<Reading> low = {At("a", 0, 26, 11, 14), At("l", 14, 24, 3, 10)};
  ApplyLineContext(low, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(low), "a|l|");
  EXPECT_EQ(Read(Render("DejaVuSerif", 24, {U"\"Quick,\" cried Amy, \"the barn.\""})),
            "\"Quick,\" cried Amy, \"the barn.\"\n");
}

TEST(ReaderLineRules, VerticalStrokesByTheirNeighbours) {
  Names kb({"l", "I", "1", "a", "n", "2", "A", "N"});
  Classifier classifier(kb.network);
  auto run = [&](std::vector<Reading> line) {
    ApplyLineContext(line, 6, kLine, classifier);
    return NamesOf(line);
  };
  // Between digits: 1.
  EXPECT_EQ(run({At("2", 0, 20, 10, 20), At("l", 12, 20, 3, 20), At("2", 17, 20, 10, 20)}), "2|1|2|");
  // After a small letter: l.
  EXPECT_EQ(run({At("a", 0, 26, 11, 14), At("1", 13, 20, 3, 20), At("n", 18, 26, 11, 14)}), "a|l|n|");
  // Among capitals, and alone: I.
  EXPECT_EQ(run({At("A", 0, 20, 12, 20), At("l", 14, 20, 3, 20), At("N", 19, 20, 12, 20)}), "A|I|N|");
  EXPECT_EQ(run({At("l", 0, 20, 3, 20), At("a", 20, 26, 11, 14)}), "I|a|");
  // A stroke from above the capitals to below the baseline: |.
  EXPECT_EQ(run({At("a", 0, 26, 11, 14), At("l", 20, 16, 3, 30), At("a", 30, 26, 11, 14)}), "a|\x7C|a|");
  // Two strokes side by side after a small letter are no number: ll.
  EXPECT_EQ(run({At("a", 0, 26, 11, 14), At("1", 13, 20, 3, 20), At("1", 18, 20, 3, 20), At("n", 23, 26, 11, 14)}),
            "a|l|l|n|");
  // Beside a digit they stay a number.
  EXPECT_EQ(run({At("2", 0, 20, 10, 20), At("1", 12, 20, 3, 20), At("1", 17, 20, 3, 20)}), "2|1|1|");
}

TEST(ReaderLineRules, FoldedThreeAndCapitalsOfRussian) {
  // The knowledge base names д and Д д, and з, З and the digit 3 з.
  Names kb({"\xE7", "\xE4", "\xE0", "2", "5", "6", "-", "\xF5"});  // з д а 2 5 6 - х
  Classifier classifier(kb.network);
  auto run = [&](std::vector<Reading> line) {
    ApplyLineContext(line, 6, kLine, classifier);
    return NamesOf(line);
  };
  // Д by its height, д at x-height.
  EXPECT_EQ(run({At("\xE4", 0, 20, 12, 22), At("\xE0", 14, 26, 11, 14), At("\xE4", 27, 26, 12, 16)}),
            "\xC4|\xE0|\xE4|");
  // In a number a capital-high з and an x-high one are 3; in a word з and З stay.
  EXPECT_EQ(run({At("\xE7", 0, 20, 10, 20), At("6", 12, 20, 10, 20), At("5", 24, 20, 10, 20)}), "3|6|5|");
  EXPECT_EQ(run({At("2", 0, 20, 10, 20), At("\xE7", 12, 26, 10, 14)}), "2|3|");
  EXPECT_EQ(run({At("\xE7", 0, 26, 10, 14), At("\xE0", 12, 26, 11, 14)}), "\xE7|\xE0|");
  EXPECT_EQ(run({At("\xE7", 0, 20, 10, 20), At("\xE0", 12, 26, 11, 14)}), "\xC7|\xE0|");
  // A capital З standing alone is the number 3, a small one stays a letter;
  // a hyphen parts the number from its ending.
  EXPECT_EQ(run({At("\xE7", 0, 20, 10, 20)}), "3|");
  EXPECT_EQ(run({At("\xE7", 0, 26, 10, 14)}), "\xE7|");
  EXPECT_EQ(run({At("\xE7", 0, 20, 10, 20), At("-", 12, 31, 5, 2), At("\xF5", 19, 26, 11, 14)}), "3|-|\xF5|");
}

TEST(ReaderLineRules, RoundLettersOfEitherAlphabetWithinNumbersAreNoughts) {
  // The Russian base reads 0 as О or о: beside digits and no other letter
  // it is 0, before з within the number is read as 3.
  Names kb({"\xE7", "\xEE", "\xCE", "\xE0", "2", "5", "8", "0"});  // з о О а
  Classifier classifier(kb.network);
  auto run = [&](std::vector<Reading> line) {
    ApplyLineContext(line, 6, kLine, classifier);
    return NamesOf(line);
  };
  EXPECT_EQ(run({At("2", 0, 20, 10, 20), At("\xCE", 12, 20, 10, 20), At("\xEE", 24, 20, 10, 20), At("8", 36, 20, 10, 20)}),
            "2|0|0|8|");
  EXPECT_EQ(run({At("\xE7", 0, 20, 10, 20), At("5", 12, 20, 10, 20), At("\xCE", 24, 20, 10, 20)}), "3|5|0|");
  // Beside a letter it stays a letter.
  EXPECT_EQ(run({At("5", 0, 20, 10, 20), At("\xEE", 12, 26, 10, 14), At("\xE0", 24, 26, 11, 14)}), "5|\xEE|\xE0|");
}

// A reading of a drawn glyph: '#' is ink; `left`, `top` place it.
Reading DrawnAs(const std::string& name, const std::vector<std::string>& rows, int32_t left, int32_t top) {
  Reading r;
  r.answer.name = name;
  r.piece.box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x) {
      if (rows[y][x] != '#') continue;
      const kyt::TPoint q{left + int32_t(x), top + int32_t(y)};
      r.piece.pixels.push_back(q);
      r.piece.box = {std::min(r.piece.box.Left, q.X), std::min(r.piece.box.Top, q.Y),
                     std::max(r.piece.box.Right, q.X + 1), std::max(r.piece.box.Bottom, q.Y + 1)};
    }
  return r;
}

TEST(ReaderLineRules, CaseOfShortIFromItsBody) {
  // Small type: baseline 31, x-height 9, capitals 11. The breve of a small
  // й reaches above the capitals; its body is of x-height.
  const LineMetrics line{31.0, 9.0, 11.0, 0.0};
  Names kb({"\xE9", "\xC9", "\xE0"});  // й Й а
  Classifier classifier(kb.network);
  const std::vector<std::string> small = {
      ".#...#.", "..###..", ".......", ".......", "#....##", "#...#.#", "#...#.#", "#..#..#",
      "#..#..#", "#.#...#", "#.#...#", "##....#", "#.....#",
  };
  const std::vector<std::string> capital = {
      ".#...#.", "..###..", ".......", ".......", "#.....#", "#....##", "#...#.#", "#...#.#", "#..#..#",
      "#..#..#", "#.#...#", "#.#...#", "##....#", "#.....#", "#.....#",
  };
  std::vector<Reading> glyphs = {DrawnAs("\xC9", small, 0, 18), DrawnAs("\xE9", capital, 10, 16)};
  ApplyLineContext(glyphs, 1000, line, classifier);
  EXPECT_EQ(NamesOf(glyphs), "\xE9|\xC9|");
}

TEST(ReaderLineRules, CapitalsKnownOnlyAsTheirSmallLetter) {
  // The Russian base knows У and Р only as у and р: at capital height on
  // the baseline they are capitals, below it small letters.
  Names kb({"\xF3", "\xF0", "\xE0", "y", "Y"});  // у р а y Y
  Classifier classifier(kb.network);
  std::vector<Reading> line = {At("\xF3", 0, 20, 12, 20), At("\xF0", 14, 26, 11, 19), At("\xF0", 28, 20, 11, 20),
                               At("\xF3", 42, 26, 12, 19), At("y", 56, 20, 12, 20), At("\xE0", 70, 26, 11, 14)};
  ApplyLineContext(line, 1000, kLine, classifier);
  // (y has a capital of its own in this base: the network's name stands.)
  EXPECT_EQ(NamesOf(line), "\xD3|\xF0|\xD0|\xF3|y|\xE0|");
  EXPECT_EQ(Read(Render("DejaVuSans", 24, {U"\u0423\u0440\u043E\u0436\u0430\u0439 \u0443 \u0423\u0444\u044B"}), "russian"),
            "\u0423\u0440\u043E\u0436\u0430\u0439 \u0443 \u0423\u0444\u044B\n");  // Урожай у Уфы
}

TEST(ReaderLineRules, NumeroSignFromItsLetterAndRing) {
  // № comes apart into an N and a ring with a bar below it (or raised); an
  // N followed by a small o stays two letters.
  for (const char* font : {"DejaVuSans", "LiberationSerif-Regular"}) {
    for (int32_t size : {20, 32}) {
      const std::string text = Read(Render(font, size, {U"\u043A\u043E\u043C\u043D\u0430\u0442\u0430 \u2116 6 No 5"}), "russian");
      EXPECT_NE(text.find("\u2116 6"), std::string::npos) << font << " " << size << ": " << text;
      EXPECT_EQ(text.find("\u2116 5"), std::string::npos) << font << " " << size << ": " << text;
      EXPECT_NE(text.find("\u043E 5"), std::string::npos) << font << " " << size << ": " << text;  // о
    }
  }
}

TEST(ReaderLineRules, FiWhoseDotTouchesTheHookOfF) {
  // DejaVu Serif at 24 pixels: the hook of f touches the dot of i, and the
  // pair may be named fl; the stem of l would run up unbroken.
  Names kb({"fl", "fi", "f", "l"});
  Classifier classifier(kb.network);
  std::vector<std::string> fi = {
      "...######.###..", "..###..######..", "..###...#####..", "..##...........", "..##...........",
      "..##...........", "########.####..", "..##.......##..", "..##.......##..", "..##.......##..",
      "..##.......##..", "..##.......##..", "..##.......##..", "..##.......##..", "..##.......##..",
      "..##.......##..", "..##.......##..", "#######..######"};
  std::vector<std::string> fl = fi;
  for (size_t row = 3; row < 6; ++row) fl[row] = "..##......##...";
  std::vector<Reading> line = {DrawnAs("fl", fi, 0, 21), DrawnAs("fl", fl, 30, 21)};
  ApplyLineContext(line, 1000, LineMetrics{39.0, 12.0, 18.0, 0.0}, classifier);
  EXPECT_EQ(NamesOf(line), "fi|fl|");
  EXPECT_EQ(Read(Render("DejaVuSerif", 24, {U"fifty fire fish"})), "fifty fire fish\n");
}

TEST(ReaderLineRules, EnAndPeByWhereTheirBarLies) {
  // DejaVu Serif at 24 pixels: a knowledge base may read н as п; the bar in
  // the middle says н, the bar on top п.
  EXPECT_EQ(Read(Render("DejaVuSerif", 24, {U"\u043E\u043D\u0430 \u043D\u0435\u0441\u043B\u0430 \u043F\u0435\u043D\u044C"}), "russian"),
            "\u043E\u043D\u0430 \u043D\u0435\u0441\u043B\u0430 \u043F\u0435\u043D\u044C\n");  // она несла пень
  // Drawn: two stems with a bar in the middle, on top, or none.
  Names kb({"\xED", "\xEF", "\xE8"});  // н п и
  Classifier classifier(kb.network);
  const std::vector<std::string> en = {"##...##", "##...##", "##...##", "#######", "##...##", "##...##", "##...##"};
  const std::vector<std::string> pe = {"#######", "##...##", "##...##", "##...##", "##...##", "##...##", "##...##"};
  const std::vector<std::string> ee = {"##..###", "##..###", "##.#.##", "##.#.##", "###..##", "###..##", "##...##"};
  std::vector<Reading> glyphs = {DrawnAs("\xEF", en, 0, 33), DrawnAs("\xED", pe, 10, 33), DrawnAs("\xEF", ee, 20, 33)};
  ApplyLineContext(glyphs, 1000, LineMetrics{40.0, 7.0, 10.0, 0.0}, classifier);
  EXPECT_EQ(NamesOf(glyphs), "\xED|\xEF|\xEF|");
}

TEST(ReaderLineRules, LettersOfTheCodePage) {
  EXPECT_EQ(OtherCase('a'), 'A');
  EXPECT_EQ(OtherCase(0xFB), 0xDB);  // ы Ы
  EXPECT_EQ(OtherCase(0xB8), 0xA8);  // ё Ё
  EXPECT_EQ(OtherCase('.'), '.');
  EXPECT_TRUE(IsUpper(0xC9));
  EXPECT_FALSE(IsUpper(0xE9));
  EXPECT_TRUE(SitsOnBaseline('x'));
  EXPECT_FALSE(SitsOnBaseline('g'));
  EXPECT_FALSE(SitsOnBaseline(0xF0));  // р
  EXPECT_TRUE(IsLookAlike('S'));
  EXPECT_FALSE(IsLookAlike('a'));
  EXPECT_TRUE(IsLookAlike(0xC4));  // Д
  EXPECT_FALSE(IsLookAlike(0xE0));  // а
}

// ---- The plug-in's reading -----------------------------------------------------------------

TEST(ReaderPlugin, GivesTheFramesTextAndItsGlyphs) {
  const kyt::Bitmap page = Render("DejaVuSans", 32, {U"odd end."});
  std::string text;
  const Page p = ReadPageAsPlugin(page, Network("latin"), 196, 10, 22, text);
  kyt::TDCRFrame frame;
  frame.AssignPicture(page);
  frame.RecognizeText(Network("latin"));
  EXPECT_EQ(text, frame.ResultText);
  std::string joined;
  for (const Line& l : p.lines)
    for (const Word& w : l.words) joined += w.Text() + " ";
  // The glyph names are the text without its line breaks.
  std::string plain;
  for (char c : text)
    if (c != '\r' && c != '\n') plain += c;
  EXPECT_EQ(joined, plain);
}

}  // namespace
}  // namespace kytdcr::reader
