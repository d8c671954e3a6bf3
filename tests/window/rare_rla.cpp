// Alias/Wavefront RLA decoding: the offset table, per-channel RLE records,
// bottom-up lines, channel counts and depths; refusal of damaged files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

struct RlaFile {
  int left = 0, bottom = 0;
  int width = 0, height = 0;
  int channelBits = 8;
  // channels[c][line][byte], line 0 at the bottom; byte planes already laid out
  std::vector<std::vector<std::vector<uint8_t>>> channels;
  int matte = 0;  // matte channels written after the colour ones
};

// Runs of two and more as (count - 1, byte), literal stretches as (-count, bytes).
std::vector<uint8_t> Encode(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < data.size()) {
    size_t run = 1;
    while (i + run < data.size() && run < 128 && data[i + run] == data[i]) ++run;
    if (run > 1) {
      out.push_back(uint8_t(run - 1));
      out.push_back(data[i]);
    } else {
      size_t lit = 1;
      while (i + lit < data.size() && lit < 128 && !(i + lit + 1 < data.size() && data[i + lit] == data[i + lit + 1]))
        ++lit;
      out.push_back(uint8_t(int8_t(-int(lit))));
      out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + lit));
      run = lit;
    }
    i += run;
  }
  return out;
}

void PutChannel(Bytes& b, const std::vector<uint8_t>& data) {
  const std::vector<uint8_t> e = Encode(data);
  b.U16BE(unsigned(e.size())).Append(e);
}

std::vector<uint8_t> Build(const RlaFile& f) {
  Bytes b;
  const int right = f.left + f.width - 1, top = f.bottom + f.height - 1;
  for (int i = 0; i < 2; ++i) b.U16BE(unsigned(f.left)).U16BE(unsigned(right)).U16BE(unsigned(f.bottom)).U16BE(unsigned(top));
  b.U16BE(1).U16BE(0).U16BE(unsigned(f.channels.size())).U16BE(unsigned(f.matte)).U16BE(0).U16BE(0xFFFE);
  b.Text("2.2").PadTo(658);
  b.U16BE(unsigned(f.channelBits)).U16BE(0).U16BE(8).PadTo(740);
  const size_t table = b.Size();
  b.Fill(size_t(f.height) * 4);
  for (int line = 0; line < f.height; ++line) {
    b.PutU32BE(table + size_t(line) * 4, uint32_t(b.Size()));
    for (const auto& channel : f.channels) PutChannel(b, channel[size_t(line)]);
    for (int m = 0; m < f.matte; ++m) PutChannel(b, std::vector<uint8_t>(size_t(f.width), 0xEE));
  }
  return b.data;
}

const std::vector<Color> kPicture = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(9, 8, 7),
                                     MakeColor(0, 0, 255), MakeColor(0, 255, 0), MakeColor(128, 64, 32)};

RlaFile Rgb(int bits = 8) {
  RlaFile f;
  f.left = 10;
  f.bottom = 5;
  f.width = 3;
  f.height = 2;
  f.channelBits = bits;
  f.matte = 1;
  f.channels.resize(3);
  for (int c = 0; c < 3; ++c)
    for (int line = 0; line < 2; ++line) {
      const int y = 1 - line;  // bottom line first
      std::vector<uint8_t> high, low;
      for (int x = 0; x < 3; ++x) {
        const Color col = kPicture[size_t(y * 3 + x)];
        high.push_back(c == 0 ? RedOf(col) : c == 1 ? GreenOf(col) : BlueOf(col));
        low.push_back(uint8_t(0x40 + x));
      }
      if (bits == 16) high.insert(high.end(), low.begin(), low.end());
      f.channels[size_t(c)].push_back(high);
    }
  return f;
}

TEST(RareRla, RgbWithMatteBottomLineFirst) {
  EXPECT_TRUE(PictureIs(DecodeRla(Build(Rgb())), 3, 2, kPicture));
}

TEST(RareRla, SixteenBitChannelsUseTheHighBytePlane) {
  EXPECT_TRUE(PictureIs(DecodeRla(Build(Rgb(16))), 3, 2, kPicture));
}

TEST(RareRla, MissingChannelBitsMeanEight) {
  EXPECT_TRUE(PictureIs(DecodeRla(Build(Rgb(0))), 3, 2, kPicture));
}

TEST(RareRla, OneChannelIsGrey) {
  RlaFile f;
  f.width = 2;
  f.height = 1;
  f.channels = {{{30, 250}}};
  EXPECT_TRUE(PictureIs(DecodeRla(Build(f)), 2, 1, {MakeColor(30, 30, 30), MakeColor(250, 250, 250)}));
}

TEST(RareRla, LinesAreFoundThroughTheTable) {
  std::vector<uint8_t> file = Build(Rgb());
  Bytes b{file};
  // Both lines point to the top line's record.
  b.PutU32BE(740, uint32_t(file[744] << 24 | file[745] << 16 | file[746] << 8 | file[747]));
  EXPECT_TRUE(PictureIs(DecodeRla(b.data), 3, 2,
                        {kPicture[0], kPicture[1], kPicture[2], kPicture[0], kPicture[1], kPicture[2]}));
}

TEST(RareRla, RecordsMustFillTheirLineExactly) {
  RlaFile f;
  f.width = 4;
  f.height = 1;
  f.channels = {{{5, 5, 5, 5}}};
  std::vector<uint8_t> file = Build(f);
  ASSERT_EQ(file.size(), 744u + 4u);  // length 2, run of four
  file[746] = 4;                      // five for four
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeRla, file, &message));
  EXPECT_NE(message.find("RLA"), std::string::npos);
  file[746] = 2;  // three for four
  EXPECT_TRUE(RaisesError(DecodeRla, file));
}

TEST(RareRla, TruncatedFilesAreRefused) {
  // Without a matte channel the colour data run to the end of the file (an
  // unread matte record of the last line may be cut without harm).
  RlaFile f = Rgb();
  f.matte = 0;
  ExpectEveryTruncationRefused(DecodeRla, Build(f));
  f = Rgb(16);
  f.matte = 0;
  ExpectEveryTruncationRefused(DecodeRla, Build(f));
}

TEST(RareRla, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    Bytes b{Build(Rgb())};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU16BE(10, 9); })));  // right before left
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) {  // 65536 x 65536
    b.PutU16BE(8, 0x8000);
    b.PutU16BE(10, 0x7FFF);
    b.PutU16BE(12, 0x8000);
    b.PutU16BE(14, 0x7FFF);
  })));
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU16BE(14, 20000); })));  // table beyond the file
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU16BE(20, 0); })));
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU16BE(658, 32); })));
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU32BE(740, 0xFFFFFF00); })));
  EXPECT_TRUE(RaisesError(DecodeRla, with([](Bytes& b) { b.PutU32BE(744, uint32_t(b.Size() - 1)); })));
}

TEST(RareRla, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodeRla, Build(Rgb()), 300);
  SurviveMutations(DecodeRla, Build(Rgb()), 300, 740);
}

}  // namespace
}  // namespace kyt::test
