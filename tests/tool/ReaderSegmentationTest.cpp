// The page reader's segmentation by recognition and its use of the line's
// shape: cuts and joins chosen over the whole line, names judged against the
// line's x-height, capital height and baseline, letters preferred in words,
// marks stacked onto touching letters, serif letters told from frames.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "FontGlyphs.h"
#include "KnowledgeBase.h"
#include "Text.h"
#include "reader/Letters.h"
#include "reader/Reader.h"
#include "reader/Stages.h"

namespace kytdcr::reader {
namespace {

// A piece drawn from rows of text: '#' is ink; `left`, `top` place it.
Piece Drawn(const std::vector<std::string>& rows, int32_t left = 0, int32_t top = 0) {
  std::vector<kyt::TPoint> pixels;
  for (size_t y = 0; y < rows.size(); ++y)
    for (size_t x = 0; x < rows[y].size(); ++x)
      if (rows[y][x] == '#') pixels.push_back({left + int32_t(x), top + int32_t(y)});
  Piece p;
  p.box = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (const kyt::TPoint& q : pixels)
    p.box = {std::min(p.box.Left, q.X), std::min(p.box.Top, q.Y), std::max(p.box.Right, q.X + 1),
             std::max(p.box.Bottom, q.Y + 1)};
  p.pixels = pixels;
  return p;
}

InkPage PageOf(const std::vector<std::string>& rows) {
  InkPage page;
  page.height = int32_t(rows.size());
  page.width = int32_t(rows[0].size());
  page.cells.assign(size_t(page.width) * size_t(page.height), 0);
  for (int32_t y = 0; y < page.height; ++y)
    for (int32_t x = 0; x < page.width; ++x) page.At(x, y) = rows[size_t(y)][size_t(x)] == '#';
  return page;
}

kyt::TBackProp& Network(const std::string& name) {
  static std::map<std::string, std::unique_ptr<kyt::TBackProp>> loaded;
  auto& slot = loaded[name];
  if (!slot) slot = LoadKnowledgeBase(ResolveKnowledgeBase(name));
  return *slot;
}

kyt::Bitmap Render(const std::string& font, int32_t size, const std::vector<std::u32string>& lines) {
  Font f(FindFontFile(font));
  f.SetPixelSize(size);
  return f.RenderPage(lines, PageStyle{});
}

std::string NamesOf(const std::vector<Reading>& line) {
  std::string s;
  for (const Reading& r : line) s += r.answer.name + "|";
  return s;
}

// Two blocks of 6 columns, 12 rows, joined by a one-pixel bridge at the foot:
// letters touching at their serifs.
const std::vector<std::string> kTouching = {
    "######.######", "######.######", "######.######", "######.######", "######.######", "######.######",
    "######.######", "######.######", "######.######", "######.######", "######.######", "#############",
};

// A judge that knows blocks of 6 columns as "a" and anything else badly.
Judged BlockJudge(const Piece& p) {
  Judged j;
  const bool block = p.box.Width() == 6 || p.box.Width() == 7;  // with the bridge's column, or without
  j.answer.name = block ? "a" : p.box.Width() >= 12 ? "m" : "?";
  j.answer.score = block ? 0.9f : p.box.Width() >= 12 ? 0.5f : 0.1f;
  j.value = j.answer.score;
  j.ranked = {{j.answer, j.value}};
  return j;
}

TEST(ReaderSegmentation, TouchingPairCutWhereBothPartsReadBetterOverTheLine) {
  const std::vector<Piece> line = {Drawn(kTouching)};
  const std::vector<Reading> cut = SegmentLine(line, BlockJudge, 8.0);
  ASSERT_EQ(NamesOf(cut), "a|a|");
  EXPECT_EQ(cut[0].piece.box.Left, 0);
  EXPECT_EQ(cut[1].piece.box.Right, 13);
  EXPECT_LE(cut[0].piece.box.Right, cut[1].piece.box.Left);
  // All pixels go to one of the parts.
  EXPECT_EQ(cut[0].piece.pixels.size() + cut[1].piece.pixels.size(), line[0].pixels.size());

  // A whole that reads as well as its parts stays whole: cuts have a price.
  auto wholeIsGood = [](const Piece& p) {
    Judged j = BlockJudge(p);
    if (p.box.Width() >= 12) j.answer = {"m", 0.9f}, j.value = 0.9f;
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine(line, wholeIsGood, 8.0)), "m|");

  // A column through three strokes (B, e) is never a cut between two letters.
  const std::vector<std::string> threeStrokes = {
      "######.######", "######.######", "#############", "######.######", "######.######", "######.######",
      "#############", "######.######", "######.######", "######.######", "######.######", "#############",
  };
  EXPECT_EQ(NamesOf(SegmentLine({Drawn(threeStrokes)}, BlockJudge, 8.0)), "m|");

  // Cuts that leave loose ends (a part of two strokes apart) take a letter apart.
  const std::vector<std::string> loose = {
      "######.######", "#############", "######.......", "######.......", "######.......", "######.......",
      "######.......", "######.......", "######.......", "######.......", "######.......", "#############",
  };
  EXPECT_EQ(NamesOf(SegmentLine({Drawn(loose)}, BlockJudge, 8.0)), "m|");
}

TEST(ReaderSegmentation, AFullStopBesideALetterIsAGlyphOfItsOwn) {
  // Liberation Serif's l and the full stop after it stand close enough to be
  // joined, and the pair reads well as L.
  for (int32_t size : {24, 32}) {
    const Page page = ReadPage(Render("LiberationSerif-Regular", size, {U"at 3.40 a bushel."}), Network("latin"), {});
    EXPECT_EQ(Cp1251ToUtf8(page.Text()), "at 3.40 a bushel.\n") << size;
  }
}

TEST(ReaderSegmentation, NoCutDownTheMiddleOfAStem) {
  // A serif r: a foot serif on the left, a stem 3 columns wide and an arm.
  // The profile is as flat along the stem as at the floor of a gap.
  const std::vector<std::string> serifR = {
      "..########", "..########", "..###.....", "..###.....", "..###.....", "..###.....",
      "..###.....", "..###.....", "..###.....", "..###.....", "..###.....", "#####.....",
  };
  // A judge that reads the serif with the stem's first column as "]" and
  // the rest as "r" better than the whole r, as a network may.
  auto judge = [](const Piece& p) {
    Judged j;
    const int32_t l = p.box.Left, r = p.box.Right;
    j.answer = l == 0 && r == 3 ? Answer{"]", 0.9f}
               : l == 3 && r == 10 ? Answer{"r", 0.9f}
               : l == 0 && r == 10 ? Answer{"r", 0.5f}
                                   : Answer{"?", 0.1f};
    j.value = j.answer.score;
    j.ranked = {{j.answer, j.value}};
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine({Drawn(serifR)}, judge, 8.0)), "r|");
  // Two such letters touching at the serif are still cut apart there.
  const std::vector<std::string> pair = {
      "..########..########", "..########..########", "..###.......###.....", "..###.......###.....",
      "..###.......###.....", "..###.......###.....", "..###.......###.....", "..###.......###.....",
      "..###.......###.....", "..###.......###.....", "..###.......###.....", "#####.....#####.....",
  };
  auto two = [&](const Piece& p) {
    Judged j = judge(p);
    if ((p.box.Left == 0 || p.box.Left == 10) && p.box.Width() == 10) j.answer = {"r", 0.9f}, j.value = 0.9f;
    j.ranked = {{j.answer, j.value}};
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine({Drawn(pair)}, two, 8.0)), "r|r|");
}

TEST(ReaderSegmentation, BrokenPiecesJoinedWhereTheWholeReadsBetter) {
  // Two halves of a ring with a gap of one column.
  const Piece left = Drawn({"###", "#..", "#..", "#..", "#..", "#..", "#..", "###"}, 0, 0);
  const Piece right = Drawn({"###", "..#", "..#", "..#", "..#", "..#", "..#", "###"}, 4, 0);
  auto ring = [](const Piece& p) {
    Judged j;
    const bool whole = p.box.Width() == 7;
    j.answer = whole ? Answer{"o", 0.9f} : Answer{"(", 0.4f};
    j.value = j.answer.score;
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine({left, right}, ring, 8.0)), "o|");
  // Pieces farther apart than a letter's gap stay apart whatever they read as together.
  const Piece far = Drawn({"###", "..#", "..#", "..#", "..#", "..#", "..#", "###"}, 9, 0);
  auto wide = [](const Piece& p) {
    Judged j;
    j.answer = p.box.Width() > 3 ? Answer{"o", 0.9f} : Answer{"(", 0.4f};
    j.value = j.answer.score;
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine({left, far}, wide, 8.0)), "(|(|");
  // A join pays its price: parts that read nearly as well stay apart.
  auto close = [](const Piece& p) {
    Judged j;
    j.answer = p.box.Width() == 7 ? Answer{"o", 0.52f} : Answer{"(", 0.5f};
    j.value = j.answer.score;
    return j;
  };
  EXPECT_EQ(NamesOf(SegmentLine({left, right}, close, 8.0)), "(|(|");
}

// Baseline at row 40, x-height 14, capitals 20 high.
const LineMetrics kLine{40.0, 14.0, 20.0, 0.0};

TEST(ReaderShape, NamesJudgedAgainstTheLinesHeights) {
  const kyt::Rect small{0, 26, 11, 40}, tall{0, 20, 11, 40}, deep{0, 26, 11, 47};
  // A small letter fits x-height, a capital or ascender letter capital height.
  EXPECT_EQ(ShapeMisfit("a", small, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("D", tall, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("d", tall, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("D", small, kLine), 1.0f);  // an o of x-height read as D
  EXPECT_EQ(ShapeMisfit("a", tall, kLine), 1.0f);
  // Look-alikes fit both heights; their case is decided later.
  EXPECT_EQ(ShapeMisfit("o", tall, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("O", small, kLine), 0.0f);
  // Descenders go below the baseline, other letters do not.
  EXPECT_EQ(ShapeMisfit("p", deep, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("p", small, kLine), 1.0f);
  EXPECT_EQ(ShapeMisfit("n", deep, kLine), 1.0f);
  EXPECT_EQ(ShapeMisfit("\xF0", deep, kLine), 0.0f);  // р
  // A pair pattern is as wide as its two letters.
  EXPECT_EQ(ShapeMisfit("rn", {0, 26, 22, 40}, kLine), 0.0f);
  EXPECT_GT(ShapeMisfit("rn", {0, 26, 6, 40}, kLine), 0.5f);
  // Letters of neither alphabet, signs: rare letters pay, signs are judged elsewhere.
  EXPECT_GT(ShapeMisfit("\xBC", small, kLine), 0.0f);  // ј
  EXPECT_EQ(ShapeMisfit("\xE0", small, kLine), 0.0f);  // а
  EXPECT_EQ(ShapeMisfit("%", small, kLine), 0.0f);
  // A line whose capitals are hardly taller than its small letters tells no reach.
  EXPECT_EQ(ShapeMisfit("D", small, LineMetrics{40.0, 14.0, 15.0, 0.0}), 0.0f);
}

TEST(ReaderShape, SignsJudgedAgainstTheLinesHeights) {
  // Brackets reach above the small letters and below the baseline; a stroke
  // of x-height on the baseline (the stem of r) or a tall one standing on it
  // (an l) is none.
  EXPECT_EQ(ShapeMisfit("]", {0, 20, 4, 43}, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("(", {0, 18, 5, 44}, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("]", {0, 26, 4, 40}, kLine), 1.0f);
  EXPECT_EQ(ShapeMisfit(")", {0, 20, 4, 40}, kLine), 1.0f);
  // The tilde and the dashes are flat; a blob of letters is neither.
  EXPECT_EQ(ShapeMisfit("~", {0, 30, 10, 34}, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("\x97", {0, 31, 28, 33}, kLine), 0.0f);
  EXPECT_EQ(ShapeMisfit("~", {0, 26, 40, 40}, kLine), 1.0f);
  EXPECT_EQ(ShapeMisfit("\x97", {0, 20, 60, 40}, kLine), 1.0f);
}

TEST(ReaderShape, MarksBySizeAndPlace) {
  EXPECT_EQ(MarkByShape({0, 37, 3, 40}, kLine), ".");
  EXPECT_EQ(MarkByShape({0, 36, 3, 43}, kLine), ",");
  EXPECT_EQ(MarkByShape({0, 20, 3, 25}, kLine), "'");
  EXPECT_EQ(MarkByShape({0, 31, 8, 33}, kLine), "-");
  EXPECT_EQ(MarkByShape({0, 31, 28, 33}, kLine), "\x97");
  EXPECT_EQ(MarkByShape({0, 26, 11, 40}, kLine), "");
}

TEST(ReaderShape, ShapeChoosesAmongTheNetworksCandidates) {
  // DejaVu Sans at 16 pixels: a knowledge base may rank D over o for the
  // small o; the line's x-height says o. Capitals stay capitals.
  const kyt::Bitmap page = Render("DejaVuSans", 16, {U"Do not go down"});
  EXPECT_EQ(Cp1251ToUtf8(ReadPage(page, Network("latin"), {}).Text()), "Do not go down\n");
  // DejaVu Serif at 16 pixels: the r of "Bring" may rank T first by far (a
  // capital of x-height pays enough to lose to the r), and its serifs touch
  // the i's: only the cut just beside the r's arm leaves both letters whole.
  EXPECT_EQ(Cp1251ToUtf8(ReadPage(Render("DejaVuSerif", 16, {U"Bring it to a friend"}), Network("latin"), {}).Text()),
            "Bring it to a friend\n");
}

Reading Ranked(int32_t left, std::vector<Valued> ranked) {
  Reading r;
  r.answer = ranked.front().answer;
  r.ranked = std::move(ranked);
  r.piece.box = {left, 20, left + 10, 40};
  return r;
}

TEST(ReaderShape, LettersPreferredInWords) {
  std::vector<Reading> line = {Ranked(0, {{{"]", 0.20f}, 0.20f}, {{"J", 0.10f}, 0.10f}, {{"l", 0.17f}, 0.03f}}),
                               Ranked(12, {{{"u", 0.9f}, 0.9f}}), Ranked(24, {{{"n", 0.9f}, 0.9f}}),
                               Ranked(36, {{{"e", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(line, 8);
  EXPECT_EQ(NamesOf(line), "J|u|n|e|");
  // A letter far behind stays behind; digits among digits and words of signs stay.
  std::vector<Reading> far = {Ranked(0, {{{"3", 0.6f}, 0.6f}, {{"J", 0.2f}, 0.2f}}), Ranked(12, {{{"u", 0.9f}, 0.9f}}),
                              Ranked(24, {{{"n", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(far, 8);
  EXPECT_EQ(NamesOf(far), "3|u|n|");
  std::vector<Reading> digits = {Ranked(0, {{{"3", 0.3f}, 0.3f}, {{"B", 0.25f}, 0.25f}}),
                                 Ranked(12, {{{"4", 0.9f}, 0.9f}}), Ranked(30, {{{"a", 0.9f}, 0.9f}}),
                                 Ranked(42, {{{"t", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(digits, 8);
  EXPECT_EQ(NamesOf(digits), "3|4|a|t|");
  // A sign that never begins a word is a letter at a word's start; within the word it stays.
  std::vector<Reading> start = {Ranked(0, {{{"?", 0.3f}, 0.3f}, {{"J", 0.2f}, 0.2f}}), Ranked(12, {{{"u", 0.9f}, 0.9f}}),
                                Ranked(24, {{{"n", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(start, 8);
  EXPECT_EQ(NamesOf(start), "J|u|n|");
  std::vector<Reading> end = {Ranked(0, {{{"u", 0.9f}, 0.9f}}), Ranked(12, {{{"n", 0.9f}, 0.9f}}),
                              Ranked(24, {{{"?", 0.3f}, 0.3f}, {{"J", 0.2f}, 0.2f}})};
  PreferWordsOwnKind(end, 8);
  EXPECT_EQ(NamesOf(end), "u|n|?|");
  // In a number, letters that a digit could nearly be become that digit.
  std::vector<Reading> number = {Ranked(0, {{{"2", 0.9f}, 0.9f}}), Ranked(12, {{{"st", 0.5f}, 0.5f}, {{"0", 0.4f}, 0.4f}}),
                                 Ranked(24, {{{"0", 0.9f}, 0.9f}}), Ranked(36, {{{"8", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(number, 8);
  EXPECT_EQ(NamesOf(number), "2|0|0|8|");
  // з in a number is left to the line context, which makes it 3, not 5.
  std::vector<Reading> three = {Ranked(0, {{{"\xE7", 0.5f}, 0.5f}, {{"5", 0.4f}, 0.4f}}),
                                Ranked(12, {{{"6", 0.9f}, 0.9f}}), Ranked(24, {{{"5", 0.9f}, 0.9f}})};
  PreferWordsOwnKind(three, 8);
  EXPECT_EQ(NamesOf(three), "\xE7|6|5|");
}

TEST(ReaderShape, ReachAndDepthOfLetters) {
  EXPECT_EQ(ReachOf('a'), Reach::Small);
  EXPECT_EQ(ReachOf('h'), Reach::Tall);
  EXPECT_EQ(ReachOf('D'), Reach::Tall);
  EXPECT_EQ(ReachOf('7'), Reach::Tall);
  EXPECT_EQ(ReachOf('o'), Reach::Either);  // look-alike
  EXPECT_EQ(ReachOf('t'), Reach::Either);
  EXPECT_EQ(ReachOf(0xE1), Reach::Tall);    // б
  EXPECT_EQ(ReachOf(0xE0), Reach::Small);   // а
  EXPECT_EQ(DepthOf('g'), Depth::Below);
  EXPECT_EQ(DepthOf('Q'), Depth::Either);
  EXPECT_EQ(DepthOf('x'), Depth::None);
  EXPECT_EQ(DepthOf(0xF3), Depth::Below);   // у
  EXPECT_EQ(DepthOf(0xF6), Depth::Either);  // ц
  EXPECT_TRUE(IsRareLetter(0xBA));          // є
  EXPECT_FALSE(IsRareLetter(0xB8));         // ё
  EXPECT_FALSE(IsRareLetter('e'));
}

// A classifier whose knowledge base knows these names and nothing else.
struct KnownNames {
  kyt::TBackProp network{4, 2, 4};
  explicit KnownNames(const std::vector<std::string>& names) {
    for (const auto& n : names) {
      kyt::TTrainingPairs p;
      p.Name = n;
      p.Target.assign(5, 1.0f);
      network.TrainingSet.push_back(p);
    }
  }
};

Reading Read(const std::string& name, const Piece& piece) {
  Reading r;
  r.answer.name = name;
  r.piece = piece;
  return r;
}

TEST(ReaderShape, PerCentFromItsRingsAndStroke) {
  KnownNames kb({"%", "o", "/", "5", "8", "Z"});
  Classifier classifier(kb.network);
  const std::vector<std::string> ring = {"#####", "#...#", "#...#", "#...#", "#####"};
  const std::vector<std::string> slash = {"...#", "...#", "..#.", "..#.", "..#.", ".#..", ".#..", ".#..",
                                          ".#..", "#...", "#...", "#...", "#...", "#..."};
  // Baseline at row 40, x-height 14, capitals 20 high: the sign stands 14 rows high.
  std::vector<Reading> line = {Read("5", Drawn(std::vector<std::string>(14, "########"), 0, 26)),
                               Read("o", Drawn(ring, 12, 26)), Read("Z", Drawn(slash, 17, 26)),
                               Read("o", Drawn(ring, 21, 35))};
  ApplyLineContext(line, 1000, kLine, classifier);
  ASSERT_EQ(NamesOf(line), "5|%|");
  EXPECT_EQ(line[1].piece.box.Left, 12);
  EXPECT_EQ(line[1].piece.box.Right, 26);
  // Two rings side by side at one height are two letters, and solid dots no rings.
  std::vector<Reading> oo = {Read("o", Drawn(ring, 0, 35)), Read("Z", Drawn(slash, 5, 26)),
                             Read("o", Drawn(ring, 9, 35))};
  ApplyLineContext(oo, 1000, kLine, classifier);
  EXPECT_EQ(oo.size(), 3u);
  EXPECT_EQ(NamesOf(oo).find('%'), std::string::npos);
  const std::vector<std::string> dot = {"#####", "#####", "#####", "#####", "#####"};
  std::vector<Reading> dots = {Read("o", Drawn(dot, 12, 26)), Read("Z", Drawn(slash, 17, 26)),
                               Read("o", Drawn(dot, 21, 35))};
  ApplyLineContext(dots, 1000, kLine, classifier);
  EXPECT_EQ(dots.size(), 3u);
  EXPECT_EQ(NamesOf(dots).find('%'), std::string::npos);
}

TEST(ReaderShape, PerCentFromARingAndATouchingStrokeAndRing) {
  // The stroke touches the lower ring: the sign comes apart into two pieces,
  // and the digit before it with the first ring is no numero sign.
  KnownNames kb({"%", "o", "/", "5", "N", "\xB9"});  // № as the last
  Classifier classifier(kb.network);
  const std::vector<std::string> ring = {"#######", "#.....#", "#.....#", "#.....#", "#.....#", "#.....#", "#######"};
  const std::vector<std::string> strokeAndRing = {
      ".......#", ".......#", "......#.", "......#.", ".....#..", ".....#..", "....#...",
      "....#...", "...#....", "...#....", "..#.....", "..#.....", "..#.....", "########",
      "##.....#", "#......#", "#......#", "#......#", "#......#", "########"};
  // Baseline at row 40, x-height 14, capitals 20 high.
  std::vector<Reading> line = {Read("5", Drawn(std::vector<std::string>(20, "##########"), 0, 20)),
                               Read("o", Drawn(ring, 12, 20)), Read("N", Drawn(strokeAndRing, 20, 20))};
  ApplyLineContext(line, 1000, kLine, classifier);
  ASSERT_EQ(NamesOf(line), "5|%|");
  EXPECT_EQ(line[1].piece.box.Left, 12);
  EXPECT_EQ(line[1].piece.box.Right, 28);
  // A ring on the baseline before a tall letter is a letter o.
  std::vector<std::string> o(14, "#........#");
  o.front() = o.back() = "##########";
  std::vector<Reading> low = {Read("o", Drawn(o, 0, 26)), Read("N", Drawn(strokeAndRing, 11, 20))};
  ApplyLineContext(low, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(low), "o|N|");
  // Rendered: Liberation Sans at 20 pixels draws the sign so.
  const Page page = ReadPage(Render("LiberationSans-Regular", 20, {U"About 85% of wheat, 12% and 1%."}), Network("latin"), {});
  EXPECT_EQ(Cp1251ToUtf8(page.Text()), "About 85% of wheat, 12% and 1%.\n");
}

TEST(ReaderSegmentation, PartsOfAPerCentSignAreOneGlyphBeforeSegmentation) {
  // Liberation Sans at 24 pixels draws the sign in three pieces; the digit
  // before it and its first ring read well together as a numero sign.
  const Page page = ReadPage(Render("LiberationSans-Regular", 24, {U"About 85% of wheat"}), Network("latin"), {});
  EXPECT_EQ(Cp1251ToUtf8(page.Text()), "About 85% of wheat\n");
  const Page serif = ReadPage(Render("LiberationSerif-Regular", 32, {U"\u043D\u0430 12%, \u0441\u044B\u0440"}), Network("russian"), {});
  EXPECT_EQ(Cp1251ToUtf8(serif.Text()), "\u043D\u0430 12%, \u0441\u044B\u0440\n");  // на 12%, сыр
}

TEST(ReaderShape, GuillemetsFromTwoChevrons) {
  KnownNames kb({"\xAB", "\xBB", "\xFF", "\xEC"});  // « » я м
  Classifier classifier(kb.network);
  const std::vector<std::string> left = {"...##", "..##.", ".##..", "##...", ".##..", "..##.", "...##"};
  const std::vector<std::string> right = {"##...", ".##..", "..##.", "...##", "..##.", ".##..", "##..."};
  // Between x-height and baseline (row 40, x-height 14): read as one glyph, or as two.
  Piece both = Drawn(left, 0, 30);
  both.Add(Drawn(left, 6, 30));
  std::vector<Reading> one = {Read("\xFF", both)};
  ApplyLineContext(one, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(one), "\xAB|");
  std::vector<Reading> two = {Read("\xEC", Drawn(right, 0, 30)), Read("\xEC", Drawn(right, 6, 30))};
  ApplyLineContext(two, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(two), "\xBB|");
  // Chevrons pointing apart are no guillemet.
  Piece apart = Drawn(right, 0, 30);
  apart.Add(Drawn(left, 6, 30));
  std::vector<Reading> x = {Read("\xFF", apart)};
  ApplyLineContext(x, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(x), "\xFF|");
  // Steep chevrons, as small type draws them, are one too.
  const std::vector<std::string> steep = {"..###", ".###.", ".##..", "##...", "##...", ".##..", ".###.", "..###"};
  Piece pair = Drawn(steep, 0, 30);
  pair.Add(Drawn(steep, 6, 30));
  std::vector<Reading> blunt = {Read("\xFF", pair)};
  ApplyLineContext(blunt, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(blunt), "\xAB|");
  // Two letters c lean the same way too, but their arcs run round the side
  // a chevron would point to: сс is no guillemet.
  const std::vector<std::string> c = {".####", "##..#", "#....", "#....", "#....", "##..#", ".####"};
  std::vector<Reading> cc = {Read("\xF1", Drawn(c, 0, 30)), Read("\xF1", Drawn(c, 6, 30))};
  ApplyLineContext(cc, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(cc), "\xF1|\xF1|");
}

TEST(ReaderShape, YeryFromASoftSignAndANarrowStroke) {
  KnownNames kb({"\xFC", "\xFB", "(", "\xEB"});  // ь ы ( л
  Classifier classifier(kb.network);
  // The stroke read as "(" or as л: narrow and as tall as the sign, it is ы's.
  for (const char* stroke : {"(", "\xEB"}) {
    std::vector<Reading> line = {Read("\xFC", Drawn(std::vector<std::string>(14, "#########"), 0, 26)),
                                 Read(stroke, Drawn(std::vector<std::string>(14, "###"), 11, 26))};
    ApplyLineContext(line, 1000, kLine, classifier);
    EXPECT_EQ(NamesOf(line), "\xFB|") << stroke;
  }
  // A letter of its own width beside the sign stays a letter.
  std::vector<Reading> wide = {Read("\xFC", Drawn(std::vector<std::string>(14, "#########"), 0, 26)),
                               Read("\xEB", Drawn(std::vector<std::string>(14, "########"), 11, 26))};
  ApplyLineContext(wide, 1000, kLine, classifier);
  EXPECT_EQ(NamesOf(wide), "\xFC|\xEB|");
}

// ---- Layout next to segmentation ------------------------------------------------------------

TEST(ReaderLayout, DotOfATouchingLetterStacksOntoIt) {
  // h and i touching at their feet; the i's dot lies within the pair's box.
  const std::vector<std::string> hi = {
      "##........", "##.....##.", "##.....##.", "##........", "##.....##.", "######.##.",
      "##..##.##.", "##..##.##.", "##..##.##.", "#########.",
  };
  InkPage page = PageOf(hi);
  const std::vector<Piece> pieces = FindPieces(page);
  ASSERT_EQ(pieces.size(), 2u);
  EXPECT_EQ(StackPieces(pieces).size(), 1u);
  // Beside a letter, not above its ink, a mark stays apart.
  const std::vector<std::string> beside = {
      "##.......", "##.......", "##.......", "##.......", "######...", "##..##...", "##..##...", "##..##.##",
      "##..##.##",
  };
  InkPage page2 = PageOf(beside);
  EXPECT_EQ(StackPieces(FindPieces(page2)).size(), 2u);
  // d and i touching at their feet: the dot stands higher than the d's top,
  // over the i's stem, and belongs to the pair.
  const std::vector<std::string> di = {
      ".......##.", "...##..##.", "...##.....", "######.##.", "##.###.##.", "##..##.##.",
      "##..##.##.", "##..##.##.", "#########.",
  };
  InkPage page3 = PageOf(di);
  ASSERT_EQ(FindPieces(page3).size(), 2u);
  EXPECT_EQ(StackPieces(FindPieces(page3)).size(), 1u);
}

TEST(ReaderLayout, SerifLettersTouchingAtTheirFeetAreNoFrame) {
  // Liberation Serif: h and i touch at their serifs at 20 pixels, with the
  // i's dot inside the pair's box; straight stems and a long foot are no frame.
  const kyt::Bitmap page = Render("LiberationSerif-Regular", 20, {U"Part Two", U"him his kim"});
  InkPage ink = MakeInkPage(page, {196, false});
  const std::vector<Piece> pieces = FindPieces(ink);
  EXPECT_EQ(SetAsideRules(ink, pieces), 0u);
  // Its dots do not make the line's letters small enough to pass for two lines.
  EXPECT_EQ(FindLinePieces(ink, FindPieces(ink)).size(), 2u);
}

TEST(ReaderLayout, SeveralTouchingLinesSplitByTheirCores) {
  // Five lines drawn 6 rows closer than their line height: every line's
  // descenders touch the next line's ascenders, one run of ink rows in all.
  Font f(FindFontFile("DejaVuSans"));
  f.SetPixelSize(20);
  PageStyle style;
  style.lineGap = -6;
  const std::vector<std::u32string> lines = {U"Bright days in July", U"quickly pass by, gone",
                                             U"play hockey, fly kites", U"jump high, dig deep", U"the end."};
  const kyt::Bitmap page = f.RenderPage(lines, style);
  InkPage ink = MakeInkPage(page, {196, false});
  int32_t runs = 0;
  for (int32_t y = 0, was = 0; y < ink.height; ++y) {
    int32_t any = 0;
    for (int32_t x = 0; x < ink.width; ++x) any = any || ink.At(x, y);
    runs += any && !was;
    was = any;
  }
  ASSERT_EQ(runs, 1) << "the lines should touch";
  const auto found = FindLinePieces(ink, FindPieces(ink));
  ASSERT_EQ(found.size(), 5u);
  // Each line's pieces lie in its own rows: no glyph of one line in another.
  for (size_t k = 1; k < found.size(); ++k) {
    int32_t bottomAbove = INT32_MIN, topBelow = INT32_MAX;
    std::vector<int32_t> above, below;
    for (const Piece& p : found[k - 1]) above.push_back(p.box.Bottom);
    for (const Piece& p : found[k]) below.push_back(p.box.Top);
    std::sort(above.begin(), above.end());
    std::sort(below.begin(), below.end());
    bottomAbove = above[above.size() / 2];
    topBelow = below[below.size() / 2];
    EXPECT_LT(bottomAbove, topBelow + 4) << "line " << k;
  }
  const std::string text = Cp1251ToUtf8(ReadPage(page, Network("latin"), {}).Text());
  size_t breaks = 0;
  for (char c : text) breaks += c == '\n';
  EXPECT_EQ(breaks, 5u) << text;
  EXPECT_NE(text.find("end."), std::string::npos) << text;
}

}  // namespace
}  // namespace kytdcr::reader
