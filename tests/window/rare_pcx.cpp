// ZSoft PCX decoding: the pixel layouts and palettes, RLE and raw lines,
// refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

struct PcxFile {
  unsigned version = 5;
  unsigned encoding = 1;
  unsigned bits = 8;
  unsigned planes = 3;
  unsigned xMin = 0, yMin = 0;
  int32_t width = 0, height = 0;
  unsigned bytesPerLine = 0;
  std::vector<uint8_t> headerPalette;       // up to 48 bytes
  std::vector<std::vector<uint8_t>> lines;  // unencoded, planes * bytesPerLine each
  std::vector<uint8_t> vgaPalette;          // 768 bytes, appended with its 0x0C mark when present
};

// Encodes one line on its own: runs of equal bytes, and single bytes that
// look like a run count written as runs of one.
void EncodeLine(const std::vector<uint8_t>& line, std::vector<uint8_t>& out) {
  size_t i = 0;
  while (i < line.size()) {
    size_t run = 1;
    while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
    if (run > 1 || line[i] >= 0xC0) {
      out.push_back(uint8_t(0xC0 | run));
      out.push_back(line[i]);
    } else {
      out.push_back(line[i]);
    }
    i += run;
  }
}

std::vector<uint8_t> Build(const PcxFile& f) {
  Bytes b;
  b.U8(0x0A).U8(f.version).U8(f.encoding).U8(f.bits);
  b.U16LE(f.xMin).U16LE(f.yMin).U16LE(f.xMin + unsigned(f.width) - 1).U16LE(f.yMin + unsigned(f.height) - 1);
  b.U16LE(72).U16LE(72);
  std::vector<uint8_t> pal = f.headerPalette;
  pal.resize(48, 0);
  b.Append(pal);
  b.U8(0).U8(f.planes).U16LE(f.bytesPerLine).U16LE(1);
  b.PadTo(128);
  for (const auto& line : f.lines) {
    if (f.encoding == 1) EncodeLine(line, b.data);
    else b.Append(line);
  }
  if (!f.vgaPalette.empty()) b.U8(0x0C).Append(f.vgaPalette);
  return b.data;
}

const std::vector<Color> kRgb = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(0xC5, 0xD0, 0xFF),
                                 MakeColor(0, 0, 0),   MakeColor(1, 2, 3),   MakeColor(200, 200, 200)};

PcxFile Rgb(unsigned encoding) {
  PcxFile f;
  f.encoding = encoding;
  f.width = 3;
  f.height = 2;
  f.bytesPerLine = 4;  // even, one byte of padding per plane
  for (int y = 0; y < 2; ++y) {
    std::vector<uint8_t> line;
    for (int channel = 0; channel < 3; ++channel) {
      for (int x = 0; x < 3; ++x) {
        const Color c = kRgb[size_t(y * 3 + x)];
        line.push_back(channel == 0 ? RedOf(c) : channel == 1 ? GreenOf(c) : BlueOf(c));
      }
      line.push_back(0x99);  // padding byte, never shown
    }
    f.lines.push_back(line);
  }
  return f;
}

TEST(RarePcx, TwentyFourBitPlanesRleAndRaw) {
  for (unsigned encoding : {0u, 1u}) {
    SCOPED_TRACE(encoding);
    EXPECT_TRUE(PictureIs(DecodePcx(Build(Rgb(encoding))), 3, 2, kRgb));
  }
  // A fourth (alpha) plane does not change the colours.
  PcxFile f = Rgb(1);
  f.planes = 4;
  for (auto& line : f.lines) line.insert(line.end(), {0, 0, 0, 0});
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 3, 2, kRgb));
}

TEST(RarePcx, WindowOriginDoesNotMoveThePicture) {
  PcxFile f = Rgb(1);
  f.xMin = 100;
  f.yMin = 7;
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 3, 2, kRgb));
}

PcxFile Indexed8(bool vga) {
  PcxFile f;
  f.bits = 8;
  f.planes = 1;
  f.width = 3;
  f.height = 1;
  f.bytesPerLine = 4;
  f.lines = {{0, 200, 255, 0}};
  if (vga) {
    f.vgaPalette.assign(768, 0);
    auto set = [&](size_t i, uint8_t r, uint8_t g, uint8_t b) {
      f.vgaPalette[3 * i] = r;
      f.vgaPalette[3 * i + 1] = g;
      f.vgaPalette[3 * i + 2] = b;
    };
    set(0, 10, 20, 30);
    set(200, 255, 128, 0);
    set(255, 1, 1, 250);
  }
  return f;
}

TEST(RarePcx, EightBitsUseTheVgaPaletteOrGreyWithoutIt) {
  EXPECT_TRUE(PictureIs(DecodePcx(Build(Indexed8(true))), 3, 1,
                        {MakeColor(10, 20, 30), MakeColor(255, 128, 0), MakeColor(1, 1, 250)}));
  EXPECT_TRUE(PictureIs(DecodePcx(Build(Indexed8(false))), 3, 1,
                        {MakeColor(0, 0, 0), MakeColor(200, 200, 200), MakeColor(255, 255, 255)}));
}

TEST(RarePcx, MonochromeIsBlackAndWhite) {
  PcxFile f;
  f.bits = 1;
  f.planes = 1;
  f.width = 10;
  f.height = 2;
  f.bytesPerLine = 2;
  f.headerPalette = {50, 60, 70, 80, 90, 100};  // not used for two colours
  f.lines = {{0b10110000, 0b01000000}, {0xFF, 0xFF}};
  std::vector<Color> expected;
  for (int bit : {1, 0, 1, 1, 0, 0, 0, 0, 0, 1}) expected.push_back(bit ? kWhite : kBlack);
  for (int i = 0; i < 10; ++i) expected.push_back(kWhite);
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 10, 2, expected));
}

std::vector<uint8_t> SixteenColourPalette() {
  std::vector<uint8_t> pal;
  for (unsigned i = 0; i < 16; ++i) pal.insert(pal.end(), {uint8_t(i * 16), uint8_t(255 - i), uint8_t(i)});
  return pal;
}
Color PaletteColour(unsigned i) { return MakeColor(uint8_t(i * 16), uint8_t(255 - i), uint8_t(i)); }

TEST(RarePcx, SixteenColoursPackedAndInFourPlanes) {
  // Indices 1, 10, 15 and 6.
  PcxFile packed;
  packed.bits = 4;
  packed.planes = 1;
  packed.width = 4;
  packed.height = 1;
  packed.bytesPerLine = 2;
  packed.headerPalette = SixteenColourPalette();
  packed.lines = {{0x1A, 0xF6}};
  const std::vector<Color> expected = {PaletteColour(1), PaletteColour(10), PaletteColour(15), PaletteColour(6)};
  EXPECT_TRUE(PictureIs(DecodePcx(Build(packed)), 4, 1, expected));

  PcxFile planar = packed;
  planar.bits = 1;
  planar.planes = 4;
  // Plane p holds bit p of each index: 1=0001, 10=1010, 15=1111, 6=0110.
  planar.lines = {{0b10100000, 0, 0b01110000, 0, 0b00110000, 0, 0b01100000, 0}};
  EXPECT_TRUE(PictureIs(DecodePcx(Build(planar)), 4, 1, expected));
}

TEST(RarePcx, MissingPaletteGivesTheEgaColours) {
  PcxFile f;
  f.bits = 1;
  f.planes = 4;
  f.width = 2;
  f.height = 1;
  f.bytesPerLine = 2;
  f.lines = {{0b01000000, 0, 0b01000000, 0, 0b01000000, 0, 0b00000000, 0}};  // indices 0 and 7
  const std::vector<Color> ega = {MakeColor(0, 0, 0), MakeColor(0xAA, 0xAA, 0xAA)};
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 2, 1, ega));  // all-zero palette
  f.version = 3;
  f.headerPalette = SixteenColourPalette();  // ignored in version 3
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 2, 1, ega));
}

TEST(RarePcx, FourColoursTwoBitsPacked) {
  PcxFile f;
  f.bits = 2;
  f.planes = 1;
  f.width = 5;
  f.height = 1;
  f.bytesPerLine = 2;
  f.headerPalette = SixteenColourPalette();
  f.lines = {{0b00011011, 0b10000000}};  // 0 1 2 3 2
  EXPECT_TRUE(PictureIs(DecodePcx(Build(f)), 5, 1,
                        {PaletteColour(0), PaletteColour(1), PaletteColour(2), PaletteColour(3), PaletteColour(2)}));
}

TEST(RarePcx, RunsMayCrossLinesButNotTheEnd) {
  PcxFile f = Indexed8(false);
  f.height = 2;
  f.lines.clear();
  std::vector<uint8_t> file = Build(f);
  // Two lines of four bytes as one run of eight sevens.
  file.insert(file.end(), {0xC8, 7});
  EXPECT_TRUE(PictureIs(DecodePcx(file), 3, 2, std::vector<Color>(6, MakeColor(7, 7, 7))));
  file[file.size() - 2] = 0xC9;  // nine bytes for eight
  EXPECT_TRUE(RaisesError(DecodePcx, file));
}

TEST(RarePcx, TruncatedFilesAreRefused) {
  ExpectEveryTruncationRefused(DecodePcx, Build(Rgb(1)));
  ExpectEveryTruncationRefused(DecodePcx, Build(Rgb(0)));
  // With the VGA palette cut off, what is left either decodes in grey or is refused.
  const std::vector<uint8_t> vga = Build(Indexed8(true));
  for (size_t length = 0; length < vga.size(); ++length) {
    try {
      DecodePcx(std::vector<uint8_t>(vga.begin(), vga.begin() + std::ptrdiff_t(length)));
    } catch (const Error&) {
    }
  }
}

TEST(RarePcx, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    std::vector<uint8_t> file = Build(Rgb(1));
    Bytes b{file};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.data[0] = 0x0B; })));
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.data[2] = 2; })));             // encoding
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.PutU16LE(8, 0); b.PutU16LE(4, 5); })));  // xMax < xMin
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.PutU16LE(8, 65535); b.PutU16LE(10, 65535); })));  // 2^32 pixels
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) {  // 12000 x 12000 with 30 bytes of data
    b.PutU16LE(8, 11999);
    b.PutU16LE(10, 11999);
    b.PutU16LE(66, 12000);
  })));
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.PutU16LE(66, 2); })));  // lines shorter than 3 pixels
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.data[65] = 2; })));     // two planes of 8 bits
  EXPECT_TRUE(RaisesError(DecodePcx, with([](Bytes& b) { b.data[3] = 16; })));
}

TEST(RarePcx, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodePcx, Build(Rgb(1)));
  SurviveMutations(DecodePcx, Build(Indexed8(true)), 200);
}

}  // namespace
}  // namespace kyt::test
