// Truevision TGA decoding: every image kind, both compressions, all origins,
// alpha, and refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

// The test picture, 3 x 2, top row first: a run of two equal pixels and a
// mix of channels, so that runs, raw packets and channel order all show.
const int32_t kW = 3, kH = 2;
const std::vector<Color> kPicture = {
    MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(0, 0, 255),
    MakeColor(0, 255, 0), MakeColor(10, 20, 30), MakeColor(200, 100, 50),
};

struct TgaFile {
  unsigned type = 2;
  unsigned depth = 24;
  unsigned descriptor = 0;
  std::vector<uint8_t> id;
  // Colour map
  bool hasMap = false;
  unsigned mapFirst = 0;
  unsigned mapBits = 24;
  std::vector<uint8_t> map;  // already packed entries
  unsigned mapLength = 0;
  int32_t width = kW, height = kH;
  std::vector<std::vector<uint8_t>> pixels;  // file order, one entry per pixel
};

// Packs pixels the simple way: equal neighbours form run packets, others raw packets.
std::vector<uint8_t> EncodeRle(const std::vector<std::vector<uint8_t>>& pixels) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < pixels.size()) {
    size_t run = 1;
    while (i + run < pixels.size() && run < 128 && pixels[i + run] == pixels[i]) ++run;
    if (run > 1) {
      out.push_back(uint8_t(0x80 | (run - 1)));
      out.insert(out.end(), pixels[i].begin(), pixels[i].end());
      i += run;
      continue;
    }
    size_t raw = 1;
    while (i + raw < pixels.size() && raw < 128 && !(i + raw + 1 < pixels.size() && pixels[i + raw] == pixels[i + raw + 1]))
      ++raw;
    out.push_back(uint8_t(raw - 1));
    for (size_t k = 0; k < raw; ++k) out.insert(out.end(), pixels[i + k].begin(), pixels[i + k].end());
    i += raw;
  }
  return out;
}

std::vector<uint8_t> Build(const TgaFile& f) {
  Bytes b;
  b.U8(unsigned(f.id.size())).U8(f.hasMap ? 1 : 0).U8(f.type);
  b.U16LE(f.mapFirst).U16LE(f.mapLength).U8(f.hasMap ? f.mapBits : 0);
  b.U16LE(0).U16LE(0).U16LE(unsigned(f.width)).U16LE(unsigned(f.height)).U8(f.depth).U8(f.descriptor);
  b.Append(f.id);
  b.Append(f.map);
  if (f.type >= 8) {
    b.Append(EncodeRle(f.pixels));
  } else {
    for (const auto& p : f.pixels) b.Append(p);
  }
  return b.data;
}

std::vector<uint8_t> Bgr(Color c) { return {BlueOf(c), GreenOf(c), RedOf(c)}; }

// The rows of kPicture in file order for the given origin bits.
std::vector<Color> FileOrder(bool topDown, bool rightToLeft) {
  std::vector<Color> out;
  for (int32_t r = 0; r < kH; ++r) {
    const int32_t y = topDown ? r : kH - 1 - r;
    for (int32_t c = 0; c < kW; ++c) out.push_back(kPicture[size_t(y * kW + (rightToLeft ? kW - 1 - c : c))]);
  }
  return out;
}

TgaFile TrueColor24(bool rle, unsigned descriptor = 0) {
  TgaFile f;
  f.type = rle ? 10 : 2;
  f.descriptor = descriptor;
  for (Color c : FileOrder(descriptor & 0x20, descriptor & 0x10)) f.pixels.push_back(Bgr(c));
  return f;
}

TEST(RareTga, TrueColour24InEveryOrientationAndCompression) {
  for (bool rle : {false, true})
    for (unsigned descriptor : {0x00u, 0x20u, 0x10u, 0x30u}) {
      SCOPED_TRACE(testing::Message() << "rle " << rle << " descriptor " << descriptor);
      EXPECT_TRUE(PictureIs(DecodeTga(Build(TrueColor24(rle, descriptor))), kW, kH, kPicture));
    }
}

TEST(RareTga, ImageIdIsSkipped) {
  TgaFile f = TrueColor24(false);
  f.id = {'h', 'e', 'l', 'l', 'o'};
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, kPicture));
}

TEST(RareTga, ThirtyTwoBitsWithoutDeclaredAlphaKeepTheColours) {
  TgaFile f;
  f.depth = 32;
  f.descriptor = 0x20;
  for (Color c : kPicture) {
    auto p = Bgr(c);
    p.push_back(0);  // alpha 0 everywhere but not declared
    f.pixels.push_back(p);
  }
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, kPicture));
  // Declared but zero throughout: still taken as opaque.
  f.descriptor = 0x28;
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, kPicture));
}

TEST(RareTga, DeclaredAlphaIsComposedOverWhite) {
  TgaFile f;
  f.depth = 32;
  f.descriptor = 0x28;  // top-down, 8 alpha bits
  f.width = 3;
  f.height = 1;
  f.pixels = {{0, 0, 0, 0}, {0, 0, 0, 255}, {0, 0, 200, 128}};  // B G R A
  // Transparent black is white; opaque black stays; half red over white: (200*128 + 255*127) / 255.
  const uint8_t r = uint8_t((200 * 128 + 255 * 127 + 127) / 255), gb = uint8_t((255 * 127 + 127) / 255);
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), 3, 1, {kWhite, kBlack, MakeColor(r, gb, gb)}));
}

TEST(RareTga, SixteenAndFifteenBitColours) {
  for (unsigned depth : {15u, 16u})
    for (bool rle : {false, true}) {
      TgaFile f;
      f.type = rle ? 10 : 2;
      f.depth = depth;
      f.descriptor = 0x20;
      f.width = 4;
      f.height = 1;
      // Packed 0RRRRRGGGGGBBBBB, low byte first; the top bit (attribute) must not matter.
      auto px = [](unsigned r, unsigned g, unsigned b, unsigned top) {
        const unsigned v = (top << 15) | (r << 10) | (g << 5) | b;
        return std::vector<uint8_t>{uint8_t(v), uint8_t(v >> 8)};
      };
      f.pixels = {px(31, 0, 0, 0), px(0, 31, 0, 1), px(0, 0, 31, 0), px(16, 1, 0, 1)};
      SCOPED_TRACE(testing::Message() << "depth " << depth << " rle " << rle);
      // Five bits widen to eight by repeating the top bits: 16 -> 132, 1 -> 8.
      EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), 4, 1,
                            {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255), MakeColor(132, 8, 0)}));
    }
}

TEST(RareTga, ColourMappedWithFirstEntryOffset) {
  for (bool rle : {false, true}) {
    TgaFile f;
    f.type = rle ? 9 : 1;
    f.depth = 8;
    f.hasMap = true;
    f.mapFirst = 10;  // index 10 is the map's first entry
    f.mapBits = 24;
    const std::vector<Color> entries = {MakeColor(255, 0, 0), MakeColor(0, 0, 255), MakeColor(0, 255, 0),
                                        MakeColor(10, 20, 30), MakeColor(200, 100, 50)};
    for (Color c : entries) {
      auto e = Bgr(c);
      f.map.insert(f.map.end(), e.begin(), e.end());
    }
    f.mapLength = unsigned(entries.size());
    // bottom row first: green, (10,20,30), (200,100,50); then red, red, blue
    for (uint8_t i : {12, 13, 14, 10, 10, 11}) f.pixels.push_back({i});
    SCOPED_TRACE(rle);
    EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, kPicture));

    // Indices outside the map show black.
    f.pixels[3] = {9};
    f.pixels[4] = {15};
    std::vector<Color> expected = kPicture;
    expected[0] = expected[1] = kBlack;
    EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, expected));
  }
}

TEST(RareTga, ColourMapWith16BitEntriesAnd16BitIndices) {
  TgaFile f;
  f.type = 1;
  f.depth = 16;
  f.descriptor = 0x20;
  f.hasMap = true;
  f.mapBits = 16;
  f.map = {0x00, 0x7C, 0x1F, 0x00};  // red, blue
  f.mapLength = 2;
  f.width = 2;
  f.height = 1;
  f.pixels = {{1, 0}, {0, 0}};
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), 2, 1, {MakeColor(0, 0, 255), MakeColor(255, 0, 0)}));
}

TEST(RareTga, TrueColourIgnoresAnUnusedColourMap) {
  TgaFile f = TrueColor24(true);
  f.hasMap = true;
  f.mapBits = 24;
  f.mapLength = 2;
  f.map = {1, 2, 3, 4, 5, 6};
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), kW, kH, kPicture));
}

TEST(RareTga, GreyscaleEightBitsAndGreyWithAlpha) {
  for (bool rle : {false, true}) {
    TgaFile f;
    f.type = rle ? 11 : 3;
    f.depth = 8;
    f.descriptor = 0x20;
    f.width = 4;
    f.height = 1;
    f.pixels = {{0}, {7}, {7}, {255}};
    EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), 4, 1,
                          {MakeColor(0, 0, 0), MakeColor(7, 7, 7), MakeColor(7, 7, 7), MakeColor(255, 255, 255)}));
  }
  TgaFile f;
  f.type = 3;
  f.depth = 16;
  f.descriptor = 0x28;
  f.width = 2;
  f.height = 1;
  f.pixels = {{0, 0}, {40, 255}};  // grey, alpha
  EXPECT_TRUE(PictureIs(DecodeTga(Build(f)), 2, 1, {kWhite, MakeColor(40, 40, 40)}));
}

TEST(RareTga, RunsMayCrossRowsButNotTheEndOfThePicture) {
  TgaFile f;
  f.type = 10;
  f.width = 2;
  f.height = 2;
  for (int i = 0; i < 4; ++i) f.pixels.push_back({1, 2, 3});
  std::vector<uint8_t> file = Build(f);
  ASSERT_EQ(file.size(), 18u + 4u);  // a single run of four over both rows
  EXPECT_TRUE(PictureIs(DecodeTga(file), 2, 2, std::vector<Color>(4, MakeColor(3, 2, 1))));

  file[18] = 0x84;  // a run of five in a picture of four
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeTga, file, &message));
  EXPECT_NE(message.find("TGA"), std::string::npos) << message;
  file[18] = 0x04;  // raw packet of five pixels
  file.insert(file.end(), 12, 0);
  EXPECT_TRUE(RaisesError(DecodeTga, file));
}

TEST(RareTga, TruncatedFilesAreRefused) {
  ExpectEveryTruncationRefused(DecodeTga, Build(TrueColor24(false)));
  ExpectEveryTruncationRefused(DecodeTga, Build(TrueColor24(true)));
  TgaFile mapped;
  mapped.type = 9;
  mapped.depth = 8;
  mapped.hasMap = true;
  mapped.map = {1, 2, 3, 4, 5, 6};
  mapped.mapLength = 2;
  mapped.pixels = {{0}, {1}, {1}, {0}, {0}, {0}};
  ExpectEveryTruncationRefused(DecodeTga, Build(mapped));
}

TEST(RareTga, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    TgaFile f = TrueColor24(false);
    change(f);
    return Build(f);
  };
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.type = 0; }), &message));
  EXPECT_EQ(message, "The TGA file holds no picture.");
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.type = 32; })));       // Huffman-coded: unsupported
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.width = 0; })));
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.height = 0; })));
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.width = f.height = 65535; })));  // 2^32 pixels
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.width = 16000; f.height = 16000; })));  // no data for it
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.depth = 12; })));
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.type = 1; f.depth = 8; })));  // mapped without a map
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) {  // map far longer than the file
    f.hasMap = true;
    f.mapLength = 60000;
  })));
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) {
    f.hasMap = true;
    f.mapBits = 8;
  })));
  EXPECT_TRUE(RaisesError(DecodeTga, with([](TgaFile& f) { f.type = 3; f.depth = 24; })));
}

TEST(RareTga, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodeTga, Build(TrueColor24(true, 0x20)));
  TgaFile mapped;
  mapped.type = 9;
  mapped.depth = 8;
  mapped.hasMap = true;
  mapped.map = {1, 2, 3, 4, 5, 6};
  mapped.mapLength = 2;
  mapped.pixels = {{0}, {1}, {1}, {0}, {0}, {0}};
  SurviveMutations(DecodeTga, Build(mapped));
}

}  // namespace
}  // namespace kyt::test
