// The page reader's character n-gram model: its probabilities on small texts,
// its file read back, bad files refused, and the segmentation that weighs
// readings with it (names, cuts, blanks; numbers and clear answers kept).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>

#include "core/Cp1251Text.h"
#include "core/Error.h"
#include "reader/LanguageModel.h"
#include "reader/Stages.h"

namespace kytdcr::reader {
namespace {

using kyt::operator""_cp1251;

std::string Repeat(const std::string& text, int times) {
  std::string s;
  for (int i = 0; i < times; ++i) s += text;
  return s;
}

LanguageModel Small(int order = 3) {
  return LanguageModel::Train(Repeat("the cat sat on the mat. in 1987 the hat ", 20),
                              LanguageModel::AlphabetFor("latin"), order, {1});
}

LanguageModel::State After(const LanguageModel& m, const std::string& text) {
  LanguageModel::State s = m.Start();
  for (unsigned char c : text) s = m.Advance(s, m.SymbolOf(c));
  return s;
}

double P(const LanguageModel& m, const std::string& before, char next) {
  return std::exp(double(m.LogProb(After(m, before), m.SymbolOf(static_cast<unsigned char>(next)))));
}

TEST(LanguageModel, ProbabilitiesOfASmallText) {
  const LanguageModel m = Small();
  // Every context's probabilities sum to one: seen, rarely seen and never seen.
  for (const char* context : {"", "th", "t", "zq", "19", " c", "e."}) {
    double sum = 0;
    for (int s = 0; s < m.Symbols(); ++s) sum += std::exp(double(m.LogProb(After(m, context), s)));
    EXPECT_NEAR(sum, 1.0, 0.01) << "after '" << context << "'";
  }
  EXPECT_GT(P(m, "th", 'e'), 0.9);
  EXPECT_LT(P(m, "th", 'x'), 0.01);
  EXPECT_GT(P(m, " c", 'a'), P(m, " c", 'o'));
  // Words begin after the blank: the start of a line is one.
  EXPECT_GT(P(m, "", 't'), P(m, "", 'e'));
  // Both cases are one symbol, all digits are one: the model knows a number,
  // not which.
  EXPECT_DOUBLE_EQ(m.LogProbOfText("The Cat"), m.LogProbOfText("the cat"));
  EXPECT_DOUBLE_EQ(P(m, " 19", '8'), P(m, " 19", '2'));
  EXPECT_GT(P(m, " 19", '8'), 0.5);
  EXPECT_GT(m.LogProbOfText("the cat"), m.LogProbOfText("tbe cnt"));
  // Typographic quotes and dashes read as the plain ones.
  EXPECT_DOUBLE_EQ(m.LogProbOfText("\x93" "a\x94"), m.LogProbOfText("\"a\""));
  // Everything outside the alphabet is one symbol, its probability shared
  // by all it stands for: a Russian text full of Latin words makes no Latin
  // brace likelier than a bracket.
  const LanguageModel ru = LanguageModel::Train(Repeat("кот (мышь) the cat sat on it "_cp1251, 20),
                                                LanguageModel::AlphabetFor("russian"), 3, {1});
  EXPECT_GT(ru.LogProbOfText(" (м"_cp1251), ru.LogProbOfText(" {м"_cp1251));
  EXPECT_GT(ru.LogProbOfText(" 19"), ru.LogProbOfText(" q9"));
  EXPECT_THROW(LanguageModel::Train("x", LanguageModel::AlphabetFor("latin"), 9, {}), kyt::Error);
  EXPECT_THROW(LanguageModel::AlphabetFor("greek"), kyt::Error);
}

TEST(LanguageModel, PruningKeepsTheModelWhole) {
  // With rare n-grams left out, every context still sums to one.
  const LanguageModel full = Small(4);
  const LanguageModel pruned = LanguageModel::Train(Repeat("the cat sat on the mat. ", 20) + "a rare zebra ",
                                                    LanguageModel::AlphabetFor("latin"), 4, {1, 2, 3});
  EXPECT_LT(pruned.Size(), LanguageModel::Train(Repeat("the cat sat on the mat. ", 20) + "a rare zebra ",
                                                LanguageModel::AlphabetFor("latin"), 4, {1})
                               .Size());
  for (const char* context : {"zeb", "the", " ra"}) {
    double sum = 0;
    for (int s = 0; s < pruned.Symbols(); ++s) sum += std::exp(double(pruned.LogProb(After(pruned, context), s)));
    EXPECT_NEAR(sum, 1.0, 0.01) << "after '" << context << "'";
  }
  EXPECT_GT(full.Size(), 0u);
}

TEST(LanguageModel, FileReadBackIsTheSameModel) {
  const LanguageModel m = Small(4);
  const std::string bytes = m.Serialize();
  const LanguageModel back = LanguageModel::Parse(bytes, "m.lm");
  EXPECT_EQ(back.Serialize(), bytes);
  EXPECT_EQ(back.Order(), 4);
  EXPECT_EQ(back.Size(), m.Size());
  for (const char* context : {"", "th", "zq", " 19", "mat"})
    for (int s = 0; s < m.Symbols(); ++s)
      EXPECT_FLOAT_EQ(back.LogProb(After(back, context), s), m.LogProb(After(m, context), s)) << context << " " << s;
}

// A model file's bytes: header, a map of every byte to symbol 0, the counts
// and the records as given.
std::string File(int order, int symbols, const std::vector<uint32_t>& counts, const std::string& records) {
  std::string f = "KYTLM 1\n";
  f += char(order);
  f += char(symbols);
  f += char(1);
  f += char(0);
  f += std::string(256, '\0');
  for (uint32_t c : counts)
    for (int b = 0; b < 4; ++b) f += char((c >> (8 * b)) & 0xFF);
  return f + records;
}

std::string Record(std::initializer_list<int> symbols, int16_t logProb, int16_t backoff = 0) {
  std::string r;
  for (int s : symbols) r += char(s);
  r += char(uint16_t(logProb) & 0xFF), r += char(uint16_t(logProb) >> 8);
  r += char(uint16_t(backoff) & 0xFF), r += char(uint16_t(backoff) >> 8);
  return r;
}

void ExpectRefused(const std::string& bytes, const std::string& why) {
  try {
    LanguageModel::Parse(bytes, "bad.lm");
    ADD_FAILURE() << "accepted; expected: " << why;
  } catch (const kyt::Error& e) {
    EXPECT_NE(std::string(e.what()).find(why), std::string::npos) << e.what();
    EXPECT_NE(std::string(e.what()).find("bad.lm"), std::string::npos) << e.what();
  }
}

TEST(LanguageModel, BadFilesRefused) {
  const std::string unigrams = Record({0}, -1000) + Record({1}, -500);
  // The hand-made file itself is good.
  EXPECT_EQ(LanguageModel::Parse(File(2, 2, {2, 1}, unigrams + Record({1, 0}, -100)), "good.lm").Size(), 3u);

  ExpectRefused("", "no kytdcr language model");
  ExpectRefused("KYTLM 2\n" + std::string(300, '\0'), "no kytdcr language model");
  ExpectRefused(File(2, 2, {}, "").substr(0, 100), "ends inside its header");
  ExpectRefused(File(0, 2, {}, ""), "order 0");
  ExpectRefused(File(9, 2, {}, ""), "order 9");
  ExpectRefused(File(2, 64, {}, ""), "64 symbols");
  ExpectRefused(File(2, 2, {2}, ""), "ends before its n-gram counts");
  std::string mapped = File(1, 2, {2}, unigrams);
  mapped[12 + 'a'] = 5;
  ExpectRefused(mapped, "byte 97 maps to no symbol");
  std::string reserved = File(1, 2, {2}, unigrams);
  reserved[11] = 1;
  ExpectRefused(reserved, "reserved byte");
  // Counts are weighed against the bytes before anything is taken for them.
  ExpectRefused(File(2, 2, {0xFFFFFFFFu, 0xFFFFFFFFu}, unigrams), "claims 4294967295 1-grams");
  ExpectRefused(File(2, 2, {2, 0x40000000u}, unigrams), "claims 1073741824 2-grams");
  ExpectRefused(File(1, 2, {2}, unigrams + "x"), "1 bytes follow its last n-gram");
  ExpectRefused(File(1, 2, {2}, Record({1}, -500) + Record({0}, -1000)), "not in ascending order");
  ExpectRefused(File(1, 2, {2}, Record({0}, -1000) + Record({0}, -500)), "not in ascending order");
  ExpectRefused(File(1, 2, {2}, Record({0}, -1000) + Record({2}, -500)), "holds symbol 2, beyond its alphabet");
  ExpectRefused(File(2, 3, {2, 1}, unigrams + Record({2, 0}, -100)), "context is not among its 1-grams");
  ExpectRefused(File(1, 2, {2}, Record({0}, 100) + Record({1}, -500)), "probability above one");

  EXPECT_THROW(LanguageModel::Load("/nonexistent/x.lm"), kyt::Error);
}

// ---- Segmentation with the model --------------------------------------------

// A block of `width` columns and 12 rows at `left`.
Piece Block(int32_t left, int32_t width) {
  Piece p;
  p.box = {left, 0, left + width, 12};
  for (int32_t y = 0; y < 12; ++y)
    for (int32_t x = left; x < left + width; ++x) p.pixels.push_back({x, y});
  return p;
}

// Two blocks of 6 columns bridged at the foot: a touching pair.
Piece Touching(int32_t left) {
  Piece p = Block(left, 6);
  Piece q = Block(left + 7, 6);
  p.Add(q);
  p.pixels.push_back({left + 6, 11});
  return p;
}

using Script = std::map<int32_t, std::vector<Valued>>;  // by the glyph's left edge and width

// A judge that reads each glyph as the script says, by its left edge and
// width (left * 100 + width); anything else badly.
GlyphJudge ScriptJudge(const Script& script) {
  return [script](const Piece& p) {
    Judged j;
    const auto found = script.find(p.box.Left * 100 + p.box.Width());
    if (found == script.end()) {
      j.answer = {"?", 0.0f};
      j.value = 0.0f;
      j.ranked = {{j.answer, j.value}};
      return j;
    }
    j.ranked = found->second;
    j.answer = j.ranked.front().answer;
    j.value = j.ranked.front().value;
    return j;
  };
}

Valued V(const std::string& name, float value) { return {{name, value}, value}; }

std::string NamesOf(const std::vector<Reading>& line) {
  std::string s;
  for (const Reading& r : line) s += r.answer.name + "|";
  return s;
}

const LanguageModel& English() {
  static const LanguageModel m = LanguageModel::Train(
      Repeat("the barn and the yarn, the corn was born in 1987 and 2024; of the hat and the cat. ", 30),
      LanguageModel::AlphabetFor("latin"), 4, {1});
  return m;
}

TEST(LanguageModelSegmentation, TheTextOverturnsANearTieNotAClearAnswer) {
  const std::vector<Piece> line = {Block(0, 6), Block(9, 6), Block(18, 6)};
  const LineLanguage language{&English(), 0.04, 100, 1.0};
  // The middle glyph's best name is wrong by a little.
  const Script nearTie = {{6, {V("t", 0.9f)}},
                          {906, {V("x", 0.80f), V("h", 0.72f), V("k", 0.6f)}},
                          {1806, {V("e", 0.9f)}}};
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(nearTie), 8.0)), "t|x|e|");
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(nearTie), 8.0, language)), "t|h|e|");
  // A name far ahead of the others stays, however unlikely the text.
  const Script clear = {{6, {V("t", 0.9f)}}, {906, {V("x", 0.95f), V("h", 0.5f)}}, {1806, {V("e", 0.9f)}}};
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(clear), 8.0, language)), "t|x|e|");
  // No weight: today's reading.
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(nearTie), 8.0, LineLanguage{&English(), 0.0, 100, 1.0})), "t|x|e|");
}

TEST(LanguageModelSegmentation, TheTextChoosesTheCutOfATouchingPair) {
  // "ba" and a touching pair that reads a little better whole, as m, than
  // cut, as r and n.
  const std::vector<Piece> line = {Block(0, 6), Block(9, 6), Touching(18)};
  Script script = {{6, {V("b", 0.9f)}}, {906, {V("a", 0.9f)}}, {1813, {V("m", 0.8f), V("n", 0.5f)}}};
  for (int32_t width : {6, 7}) {
    script[1800 + width] = {V("r", 0.75f), V("c", 0.5f)};
    script[(18 + 13 - width) * 100 + width] = {V("n", 0.75f), V("u", 0.6f)};
  }
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(script), 8.0)), "b|a|m|");
  const std::vector<Reading> read = SegmentLine(line, ScriptJudge(script), 8.0, LineLanguage{&English(), 0.04, 100, 1.0});
  ASSERT_EQ(NamesOf(read), "b|a|r|n|");
  EXPECT_EQ(read[2].piece.pixels.size() + read[3].piece.pixels.size(), line[2].pixels.size());
}

TEST(LanguageModelSegmentation, NumbersStayNumbers) {
  // Digits with letters close behind them: the text keeps the number.
  const std::vector<Piece> line = {Block(0, 6), Block(9, 6), Block(18, 6), Block(27, 6)};
  const Script digits = {{6, {V("1", 0.85f), V("l", 0.84f)}},
                         {906, {V("9", 0.85f), V("g", 0.83f)}},
                         {1806, {V("8", 0.85f), V("B", 0.83f)}},
                         {2706, {V("7", 0.85f), V("T", 0.83f)}}};
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(digits), 8.0, LineLanguage{&English(), 0.04, 100, 1.0})),
            "1|9|8|7|");
  // And an o among digits may be the zero the line context would make it.
  const Script zero = {{6, {V("2", 0.9f)}}, {906, {V("o", 0.9f)}}, {1806, {V("2", 0.9f)}}, {2706, {V("4", 0.9f)}}};
  EXPECT_EQ(NamesOf(SegmentLine(line, ScriptJudge(zero), 8.0, LineLanguage{&English(), 0.04, 100, 1.0})),
            "2|0|2|4|");
}

TEST(LanguageModelSegmentation, AGapNearTheSpaceWidthReadAsTheTextWants) {
  // "of" and "the" 4 columns apart where the space width is 5; the letters
  // 2 apart.
  const std::vector<Piece> line = {Block(0, 6), Block(8, 6), Block(18, 6), Block(26, 6), Block(34, 6)};
  const Script script = {{6, {V("o", 0.9f)}},
                         {806, {V("f", 0.9f)}},
                         {1806, {V("t", 0.9f)}},
                         {2606, {V("h", 0.9f)}},
                         {3406, {V("e", 0.9f)}}};
  const std::vector<Reading> read = SegmentLine(line, ScriptJudge(script), 8.0, LineLanguage{&English(), 0.04, 5, 1.0});
  ASSERT_EQ(read.size(), 5u);
  std::string starts;
  for (const Reading& r : read) starts += char('0' + r.wordStart);
  EXPECT_EQ(starts, "00100");
  // Without a model the gap alone decides, after segmentation.
  for (const Reading& r : SegmentLine(line, ScriptJudge(script), 8.0)) EXPECT_EQ(r.wordStart, -1);
  // A gap far below the space width stays within the word.
  const std::vector<Reading> tight =
      SegmentLine(line, ScriptJudge(script), 8.0, LineLanguage{&English(), 0.04, 12, 1.0});
  for (const Reading& r : tight) EXPECT_EQ(r.wordStart, 0);
}

}  // namespace
}  // namespace kytdcr::reader
