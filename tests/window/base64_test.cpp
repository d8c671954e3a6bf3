// Base64 decoding: the block decoder with its carried state, the end of a
// text, skipped characters, and the stream decoder over block boundaries.
#include <gtest/gtest.h>

#include <cctype>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "picture_support.h"
#include "window/DIMime.h"
#include "window/DIMimeStreams.h"

namespace kyt {
namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// Block decoder over the text split at the given positions, then Finish.
std::vector<uint8_t> DecodeInPieces(const std::string& text, const std::vector<size_t>& cuts) {
  std::vector<uint8_t> out;
  Base64DecodeState state;
  size_t from = 0;
  std::vector<size_t> ends = cuts;
  ends.push_back(text.size());
  for (size_t end : ends) {
    std::vector<uint8_t> buffer(Base64MaxDecodedSize(end - from));
    const size_t n = Base64DecodeChunk(text.data() + from, end - from, buffer.data(), state);
    EXPECT_LE(n, buffer.size());
    out.insert(out.end(), buffer.begin(), buffer.begin() + std::ptrdiff_t(n));
    from = end;
  }
  uint8_t tail[2];
  const size_t n = Base64DecodeFinish(tail, state);
  out.insert(out.end(), tail, tail + n);
  return out;
}

std::vector<uint8_t> Decode(const std::string& text) { return DecodeInPieces(text, {}); }

std::vector<uint8_t> DecodeStream(const std::string& text) {
  std::istringstream in(text);
  std::vector<uint8_t> out;
  Base64DecodeStream(in, out);
  return out;
}

TEST(Base64Decode, AbcWithLineBreaksAnywhere) {
  EXPECT_EQ(Decode("YWJj"), Bytes("abc"));
  for (size_t at = 0; at <= 4; ++at) {
    for (const char* gap : {"\r\n", "\n", "\r"}) {
      std::string text = "YWJj";
      text.insert(at, gap);
      EXPECT_EQ(Decode(text), Bytes("abc")) << "break at " << at;
      EXPECT_EQ(DecodeStream(text), Bytes("abc")) << "break at " << at;
    }
  }
  EXPECT_EQ(Decode("Y\r\nW\r\nJ\r\nj\r\n"), Bytes("abc"));
}

TEST(Base64Decode, PaddingIsOptionalAndShortGroupsGiveWholeBytes) {
  EXPECT_EQ(Decode("YWI="), Bytes("ab"));
  EXPECT_EQ(Decode("YWI"), Bytes("ab"));  // three characters: two bytes
  EXPECT_EQ(Decode("YQ=="), Bytes("a"));
  EXPECT_EQ(Decode("YQ"), Bytes("a"));  // two characters: one byte
  EXPECT_EQ(Decode("YWJjZA"), Bytes("abcd"));
  EXPECT_EQ(Decode("YWJjZGU"), Bytes("abcde"));
  // A single dangling character carries no whole byte and is dropped.
  EXPECT_EQ(Decode("YWJjZ"), Bytes("abc"));
  EXPECT_EQ(Decode("Y"), Bytes(""));
  EXPECT_EQ(Decode(""), Bytes(""));
}

TEST(Base64Decode, CharactersOutsideTheAlphabetAreSkipped) {
  EXPECT_EQ(Decode(" Y*W\tJ-j!"), Bytes("abc"));
  // '=' is skipped wherever it stands, also in the middle.
  EXPECT_EQ(Decode("YW==Jj"), Bytes("abc"));
  EXPECT_EQ(Decode("=Y=W=J=j="), Bytes("abc"));
  // Bytes above 127 must not be taken for alphabet characters.
  std::string high = "Y\xC0W\xFFJ\x80j\xE9";
  EXPECT_EQ(Decode(high), Bytes("abc"));
  std::string allOthers;
  for (int c = 0; c < 256; ++c)
    if (!std::isalnum(c) && c != '+' && c != '/') allOthers += char(c);
  EXPECT_EQ(Decode(allOthers), Bytes(""));
  EXPECT_EQ(Decode(allOthers + "YWJj" + allOthers), Bytes("abc"));
}

TEST(Base64Decode, EveryByteValueAndBothSpecialCharacters) {
  std::vector<uint8_t> all;
  for (int i = 0; i < 256; ++i) all.push_back(uint8_t(i));
  for (int i = 255; i >= 0; --i) all.push_back(uint8_t(i));
  const std::string text = pictest::Base64Encode(all);
  ASSERT_NE(text.find('+'), std::string::npos);
  ASSERT_NE(text.find('/'), std::string::npos);
  EXPECT_EQ(Decode(text), all);
  EXPECT_EQ(Decode("+/+/"), (std::vector<uint8_t>{0xFB, 0xFF, 0xBF}));
}

TEST(Base64Decode, StateCarriesAcrossEveryBlockSplit) {
  const std::string text = "SGVsbG8sIHdvcmxkIQ";  // "Hello, world!" without padding
  const std::vector<uint8_t> expected = Bytes("Hello, world!");
  for (size_t a = 0; a <= text.size(); ++a) {
    for (size_t b = a; b <= text.size(); ++b) EXPECT_EQ(DecodeInPieces(text, {a, b}), expected) << a << ", " << b;
  }
  // A chunk reports only the bytes of the groups it completed.
  Base64DecodeState state;
  uint8_t out[8];
  EXPECT_EQ(Base64DecodeChunk("YW", 2, out, state), 0u);
  EXPECT_EQ(state.Remaining, 2);
  EXPECT_EQ(Base64DecodeChunk("JjYW", 4, out, state), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 3), "abc");
  EXPECT_EQ(state.Remaining, 2);
}

TEST(Base64Decode, FinishWritesWhatThePendingGroupHolds) {
  uint8_t out[2] = {0x55, 0x55};
  Base64DecodeState state;
  EXPECT_EQ(Base64DecodeFinish(out, state), 0u);  // nothing pending
  state.Accumulator = 0x3FFFF;                   // three characters "///": 18 bits
  state.Remaining = 1;
  EXPECT_EQ(Base64DecodeFinish(out, state), 2u);
  EXPECT_EQ(out[0], 0xFF);
  EXPECT_EQ(out[1], 0xFF);
  // The state starts over, so a second finish writes nothing.
  EXPECT_EQ(state.Remaining, 4);
  EXPECT_EQ(Base64DecodeFinish(out, state), 0u);
  state.Accumulator = 0x3F;  // one character: nothing
  state.Remaining = 3;
  EXPECT_EQ(Base64DecodeFinish(out, state), 0u);
}

TEST(Base64DecodeStreamTest, LongTextWithGroupsAcrossBlockBoundaries) {
  std::mt19937 random(7);
  std::vector<uint8_t> data(20000);
  for (auto& b : data) b = uint8_t(random());
  const std::string plain = pictest::Base64Encode(data);
  // Irregular line breaks and stray characters move the groups off the
  // 2736-character blocks, so that groups straddle every kind of boundary.
  std::string text;
  for (size_t i = 0; i < plain.size(); ++i) {
    text += plain[i];
    if (i % 61 == 60) text += "\r\n";
    if (i % 97 == 13) text += ' ';
  }
  ASSERT_GT(text.size(), 5 * kBase64StreamBlock);
  EXPECT_EQ(DecodeStream(text), data);
  EXPECT_EQ(Decode(text), data);

  // Every offset of the first group relative to the block size.
  for (size_t shift = 0; shift < 8; ++shift) {
    const std::string shifted = std::string(shift, '\n') + plain.substr(0, 4 * 1500) + "YWI";
    std::vector<uint8_t> expected(data.begin(), data.begin() + 4500);
    expected.push_back('a');
    expected.push_back('b');
    EXPECT_EQ(DecodeStream(shifted), expected) << "shift " << shift;
  }
}

TEST(Base64DecodeStreamTest, AppendsToTheBytesAlreadyThere) {
  std::istringstream in("Y\nWJj\nZA");
  std::vector<uint8_t> out = {1, 2};
  Base64DecodeStream(in, out);
  EXPECT_EQ(out, (std::vector<uint8_t>{1, 2, 'a', 'b', 'c', 'd'}));
  std::istringstream empty("");
  Base64DecodeStream(empty, out);
  EXPECT_EQ(out.size(), 6u);
}

TEST(Base64DecodeStreamTest, ReadsOnlyWhatIsLeftOfTheStream) {
  std::istringstream in("skipYWJj");
  in.seekg(4);
  std::vector<uint8_t> out;
  Base64DecodeStream(in, out);
  EXPECT_EQ(out, Bytes("abc"));
}

}  // namespace
}  // namespace kyt
