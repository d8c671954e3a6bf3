// Photoshop composite-image decoding: colour modes, depths, raw and PackBits
// data, the large-document variant, refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

struct PsdFile {
  unsigned version = 1;
  unsigned mode = 3;
  unsigned depth = 8;
  uint32_t width = 0, height = 0;
  unsigned compression = 1;
  std::vector<uint8_t> modeData;
  std::vector<uint8_t> resources = {'8', 'B', 'I', 'M', 0, 1};  // content is never read
  std::vector<uint8_t> layers = {0, 0, 0, 9, 1, 2, 3};
  // channels[c][y] = row bytes, unpacked
  std::vector<std::vector<std::vector<uint8_t>>> channels;
};

// PackBits as Photoshop writes it: repeats of two and more, literal stretches otherwise.
std::vector<uint8_t> PackBits(const std::vector<uint8_t>& row) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < row.size()) {
    size_t run = 1;
    while (i + run < row.size() && run < 128 && row[i + run] == row[i]) ++run;
    if (run > 1) {
      out.push_back(uint8_t(int8_t(1 - int(run))));
      out.push_back(row[i]);
    } else {
      size_t lit = 1;
      while (i + lit < row.size() && lit < 128 && !(i + lit + 1 < row.size() && row[i + lit] == row[i + lit + 1])) ++lit;
      out.push_back(uint8_t(lit - 1));
      out.insert(out.end(), row.begin() + std::ptrdiff_t(i), row.begin() + std::ptrdiff_t(i + lit));
      run = lit;
    }
    i += run;
  }
  return out;
}

std::vector<uint8_t> Build(const PsdFile& f) {
  const bool large = f.version == 2;
  Bytes b;
  b.Text("8BPS").U16BE(f.version).Fill(6);
  b.U16BE(unsigned(f.channels.size())).U32BE(f.height).U32BE(f.width).U16BE(f.depth).U16BE(f.mode);
  b.U32BE(uint32_t(f.modeData.size())).Append(f.modeData);
  b.U32BE(uint32_t(f.resources.size())).Append(f.resources);
  if (large) b.U32BE(0);
  b.U32BE(uint32_t(f.layers.size())).Append(f.layers);
  b.U16BE(f.compression);
  if (f.compression == 0) {
    for (const auto& channel : f.channels)
      for (const auto& row : channel) b.Append(row);
    return b.data;
  }
  std::vector<std::vector<uint8_t>> packed;
  for (const auto& channel : f.channels)
    for (const auto& row : channel) {
      packed.push_back(PackBits(row));
      if (large) b.U32BE(uint32_t(packed.back().size()));
      else b.U16BE(unsigned(packed.back().size()));
    }
  for (const auto& p : packed) b.Append(p);
  return b.data;
}

const std::vector<Color> kPicture = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(9, 8, 7),
                                     MakeColor(0, 0, 255), MakeColor(0, 255, 0), MakeColor(128, 64, 32)};

std::vector<uint8_t> Sample(uint8_t v, unsigned depth, size_t x) {
  if (depth == 16) return {v, uint8_t(0x30 + x)};  // low byte: noise that must not show
  return {v};
}

PsdFile Rgb(unsigned compression, unsigned depth = 8, unsigned extraChannels = 0) {
  PsdFile f;
  f.compression = compression;
  f.depth = depth;
  f.width = 3;
  f.height = 2;
  f.channels.resize(3 + extraChannels);
  for (unsigned c = 0; c < f.channels.size(); ++c)
    for (int y = 0; y < 2; ++y) {
      std::vector<uint8_t> row;
      for (size_t x = 0; x < 3; ++x) {
        const Color col = kPicture[size_t(y) * 3 + x];
        const uint8_t v = c == 0 ? RedOf(col) : c == 1 ? GreenOf(col) : c == 2 ? BlueOf(col) : 0;
        auto s = Sample(v, depth, x);
        row.insert(row.end(), s.begin(), s.end());
      }
      f.channels[c].push_back(row);
    }
  return f;
}

TEST(RarePsd, RgbInBothCompressionsAndDepths) {
  for (unsigned compression : {0u, 1u})
    for (unsigned depth : {8u, 16u}) {
      SCOPED_TRACE(testing::Message() << "compression " << compression << " depth " << depth);
      EXPECT_TRUE(PictureIs(DecodePsd(Build(Rgb(compression, depth))), 3, 2, kPicture));
    }
}

TEST(RarePsd, AlphaAndSpotChannelsAreIgnored) {
  EXPECT_TRUE(PictureIs(DecodePsd(Build(Rgb(1, 8, 2))), 3, 2, kPicture));
  EXPECT_TRUE(PictureIs(DecodePsd(Build(Rgb(0, 16, 1))), 3, 2, kPicture));
}

TEST(RarePsd, LargeDocumentVariant) {
  PsdFile f = Rgb(1);
  f.version = 2;
  EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 3, 2, kPicture));
  f.compression = 0;
  EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 3, 2, kPicture));
}

TEST(RarePsd, GreyscaleAndDuotone) {
  for (unsigned mode : {1u, 8u})
    for (unsigned depth : {8u, 16u}) {
      PsdFile f;
      f.mode = mode;
      f.depth = depth;
      f.width = 2;
      f.height = 2;
      f.channels.resize(1);
      for (uint8_t base : {10, 200}) {
        std::vector<uint8_t> row;
        for (size_t x = 0; x < 2; ++x) {
          auto s = Sample(uint8_t(base + x), depth, x);
          row.insert(row.end(), s.begin(), s.end());
        }
        f.channels[0].push_back(row);
      }
      if (mode == 8) f.modeData = {1, 2, 3, 4};  // duotone data, not read
      SCOPED_TRACE(testing::Message() << "mode " << mode << " depth " << depth);
      EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 2, 2,
                            {MakeColor(10, 10, 10), MakeColor(11, 11, 11), MakeColor(200, 200, 200),
                             MakeColor(201, 201, 201)}));
    }
}

TEST(RarePsd, IndexedUsesThePlanarPalette) {
  PsdFile f;
  f.mode = 2;
  f.width = 3;
  f.height = 1;
  f.modeData.assign(768, 0);
  // entry 5: (1, 2, 3); entry 255: (250, 251, 252)
  f.modeData[5] = 1;
  f.modeData[256 + 5] = 2;
  f.modeData[512 + 5] = 3;
  f.modeData[255] = 250;
  f.modeData[511] = 251;
  f.modeData[767] = 252;
  f.channels = {{{5, 255, 0}}};
  for (unsigned compression : {0u, 1u}) {
    f.compression = compression;
    EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 3, 1, {MakeColor(1, 2, 3), MakeColor(250, 251, 252), kBlack}));
  }
  f.modeData.resize(767);
  EXPECT_TRUE(RaisesError(DecodePsd, Build(f)));
}

TEST(RarePsd, BitmapModeSetBitsAreBlack) {
  PsdFile f;
  f.mode = 0;
  f.depth = 1;
  f.width = 10;
  f.height = 1;
  f.channels = {{{0b10000001, 0b01000000}}};
  std::vector<Color> expected(10, kWhite);
  expected[0] = expected[7] = expected[9] = kBlack;
  EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 10, 1, expected));
}

TEST(RarePsd, CmykInvertedInk) {
  PsdFile f;
  f.mode = 4;
  f.width = 4;
  f.height = 1;
  // Stored values: 255 = no ink. Pixels: paper, full cyan, full black, half black.
  f.channels = {{{255, 0, 255, 255}}, {{255, 255, 255, 255}}, {{255, 255, 255, 255}}, {{255, 255, 0, 128}}};
  EXPECT_TRUE(PictureIs(DecodePsd(Build(f)), 4, 1, {kWhite, MakeColor(0, 255, 255), kBlack, MakeColor(128, 128, 128)}));
}

TEST(RarePsd, PackBitsNoOpAndRowOverflow) {
  PsdFile f;
  f.mode = 1;
  f.width = 3;
  f.height = 1;
  f.channels = {{{1, 2, 3}}};
  std::vector<uint8_t> file = Build(f);
  // Rewrite the row as: no-op, literal 1, repeat 2 x 3 (too many), with its count.
  const size_t countAt = file.size() - 4 - 2;  // literal of three: 4 bytes of data
  Bytes b{std::vector<uint8_t>(file.begin(), file.begin() + std::ptrdiff_t(countAt))};
  b.U16BE(4).Append({0x80, 0x00, 1, 0xFF});
  b.data.push_back(7);  // the byte repeated: row becomes 1, 7, 7
  b.PutU16BE(countAt, 5);
  EXPECT_TRUE(PictureIs(DecodePsd(b.data), 3, 1, {MakeColor(1, 1, 1), MakeColor(7, 7, 7), MakeColor(7, 7, 7)}));
  b.data[b.data.size() - 2] = 0xFE;  // repeat three: four bytes in a row of three
  std::string message;
  EXPECT_TRUE(RaisesError(DecodePsd, b.data, &message));
  EXPECT_NE(message.find("Photoshop"), std::string::npos);
  b.data[b.data.size() - 2] = 0x00;  // literal of one, the row stays short and the count ends
  EXPECT_TRUE(RaisesError(DecodePsd, b.data));
}

TEST(RarePsd, TruncatedFilesAreRefused) {
  ExpectEveryTruncationRefused(DecodePsd, Build(Rgb(1)));
  ExpectEveryTruncationRefused(DecodePsd, Build(Rgb(0, 16)));
}

TEST(RarePsd, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    PsdFile f = Rgb(1);
    change(f);
    return Build(f);
  };
  auto bytesWith = [](auto change) {
    Bytes b{Build(Rgb(1))};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.data[0] = '9'; })));
  EXPECT_TRUE(RaisesError(DecodePsd, with([](PsdFile& f) { f.version = 3; })));
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU16BE(12, 0); })));  // no channels
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU16BE(12, 2); })));  // RGB with two
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU32BE(14, 100000); b.PutU32BE(18, 100000); })));
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU32BE(14, 10000); b.PutU32BE(18, 10000); })));
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU32BE(18, 0); })));
  EXPECT_TRUE(RaisesError(DecodePsd, with([](PsdFile& f) { f.depth = 32; })));
  EXPECT_TRUE(RaisesError(DecodePsd, with([](PsdFile& f) { f.mode = 9; })));  // Lab
  EXPECT_TRUE(RaisesError(DecodePsd, with([](PsdFile& f) { f.mode = 0; })));  // bitmap of 8 bits
  EXPECT_TRUE(RaisesError(DecodePsd, with([](PsdFile& f) { f.compression = 2; })));
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU32BE(40, 1000); })));  // layer section past the end
  EXPECT_TRUE(RaisesError(DecodePsd, bytesWith([](Bytes& b) { b.PutU32BE(26, 0xFFFFFFF0); })));  // mode data length
}

TEST(RarePsd, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodePsd, Build(Rgb(1)));
  SurviveMutations(DecodePsd, Build(Rgb(0, 16, 1)), 200);
}

}  // namespace
}  // namespace kyt::test
