// Dr. Halo CUT decoding: RLE lines led by their byte counts, grey levels for
// the indices, and refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

Color Grey(uint8_t v) { return MakeColor(v, v, v); }

// One line: runs of two and more as (0x80 | n, byte), other stretches as (n, bytes), then 0.
std::vector<uint8_t> EncodeLine(const std::vector<uint8_t>& line) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < line.size()) {
    size_t run = 1;
    while (i + run < line.size() && run < 127 && line[i + run] == line[i]) ++run;
    if (run > 1) {
      out.push_back(uint8_t(0x80 | run));
      out.push_back(line[i]);
    } else {
      size_t lit = 1;
      while (i + lit < line.size() && lit < 127 && !(i + lit + 1 < line.size() && line[i + lit] == line[i + lit + 1]))
        ++lit;
      out.push_back(uint8_t(lit));
      out.insert(out.end(), line.begin() + std::ptrdiff_t(i), line.begin() + std::ptrdiff_t(i + lit));
      run = lit;
    }
    i += run;
  }
  out.push_back(0);
  return out;
}

std::vector<uint8_t> Build(unsigned width, const std::vector<std::vector<uint8_t>>& lines) {
  Bytes b;
  b.U16LE(width).U16LE(unsigned(lines.size())).U16LE(0);
  for (const auto& line : lines) {
    const std::vector<uint8_t> e = EncodeLine(line);
    b.U16LE(unsigned(e.size())).Append(e);
  }
  return b.data;
}

const std::vector<std::vector<uint8_t>> kLines = {{1, 1, 1, 200, 7}, {0, 255, 255, 255, 255}};

TEST(RareHaloCut, RunsAndLiteralsAsGreyLevels) {
  EXPECT_TRUE(PictureIs(DecodeHaloCut(Build(5, kLines)), 5, 2,
                        {Grey(1), Grey(1), Grey(1), Grey(200), Grey(7), Grey(0), Grey(255), Grey(255), Grey(255),
                         Grey(255)}));
}

TEST(RareHaloCut, TheCountFindsTheNextLine) {
  // The first line carries two bytes of padding after its end mark; the
  // second has no end mark, its count alone ends it.
  Bytes b;
  b.U16LE(2).U16LE(2).U16LE(0);
  b.U16LE(6).Append({0x82, 9, 0, 0xAA, 0xBB, 0xCC});
  b.U16LE(3).Append({0x02, 4, 5});
  EXPECT_TRUE(PictureIs(DecodeHaloCut(b.data), 2, 2, {Grey(9), Grey(9), Grey(4), Grey(5)}));
}

TEST(RareHaloCut, LinesMustBeFilledExactly) {
  std::vector<uint8_t> file = Build(4, {{3, 3, 3, 3}});
  ASSERT_EQ(file.size(), 6u + 2u + 3u);
  file[8] = 0x85;  // five for four
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeHaloCut, file, &message));
  EXPECT_NE(message.find("Dr. Halo"), std::string::npos);
  file[8] = 0x83;  // three for four
  EXPECT_TRUE(RaisesError(DecodeHaloCut, file));
  file[8] = 0x05;  // a literal of five, reading past the line's count
  EXPECT_TRUE(RaisesError(DecodeHaloCut, file));
}

TEST(RareHaloCut, TruncatedAndCorruptFilesAreRefused) {
  const std::vector<uint8_t> good = Build(5, kLines);
  ExpectEveryTruncationRefused(DecodeHaloCut, good);
  auto with = [&](auto change) {
    Bytes b{good};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodeHaloCut, with([](Bytes& b) { b.PutU16LE(0, 0); })));
  EXPECT_TRUE(RaisesError(DecodeHaloCut, with([](Bytes& b) { b.PutU16LE(2, 0); })));
  EXPECT_TRUE(RaisesError(DecodeHaloCut, with([](Bytes& b) { b.PutU16LE(0, 65535); b.PutU16LE(2, 65535); })));
  EXPECT_TRUE(RaisesError(DecodeHaloCut, with([](Bytes& b) { b.PutU16LE(0, 9000); b.PutU16LE(2, 9000); })));
  EXPECT_TRUE(RaisesError(DecodeHaloCut, with([](Bytes& b) { b.PutU16LE(6, 60000); })));  // count past the end
  SurviveMutations(DecodeHaloCut, good);
}

}  // namespace
}  // namespace kyt::test
