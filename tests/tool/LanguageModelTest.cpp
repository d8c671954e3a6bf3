// The page reader's character n-gram model: its probabilities on small texts,
// its file read back, bad files refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "core/Error.h"
#include "reader/LanguageModel.h"

namespace kytdcr::reader {
namespace {

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

}  // namespace
}  // namespace kytdcr::reader
