// SGI image decoding: channel counts, 8 and 16 bits, verbatim and RLE rows,
// refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

struct SgiFile {
  bool rle = true;
  unsigned bpc = 1;
  unsigned dimension = 3;
  int32_t width = 0, height = 0;
  // planes[z][y][x], y counted from the bottom, values of bpc bytes
  std::vector<std::vector<std::vector<unsigned>>> planes;
  unsigned colormap = 0;
};

void PutValue(std::vector<uint8_t>& out, unsigned v, unsigned bpc) {
  if (bpc == 2) out.push_back(uint8_t(v >> 8));
  out.push_back(uint8_t(v));
}

// Encodes one row: runs of equal values, literal stretches otherwise, a zero count at the end.
std::vector<uint8_t> EncodeRow(const std::vector<unsigned>& row, unsigned bpc) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < row.size()) {
    size_t run = 1;
    while (i + run < row.size() && run < 127 && row[i + run] == row[i]) ++run;
    if (run > 1) {
      PutValue(out, unsigned(run), bpc);
      PutValue(out, row[i], bpc);
    } else {
      size_t lit = 1;
      while (i + lit < row.size() && lit < 127 && !(i + lit + 1 < row.size() && row[i + lit] == row[i + lit + 1])) ++lit;
      PutValue(out, unsigned(0x80 | lit), bpc);
      for (size_t k = 0; k < lit; ++k) PutValue(out, row[i + k], bpc);
      run = lit;
    }
    i += run;
  }
  PutValue(out, 0, bpc);
  return out;
}

std::vector<uint8_t> Build(const SgiFile& f) {
  Bytes b;
  const unsigned zsize = unsigned(f.planes.size());
  b.U16BE(474).U8(f.rle ? 1 : 0).U8(f.bpc).U16BE(f.dimension);
  b.U16BE(unsigned(f.width)).U16BE(unsigned(f.height)).U16BE(zsize);
  b.U32BE(0).U32BE(f.bpc == 1 ? 255 : 65535).U32BE(0);
  b.Text("test picture").PadTo(104);
  b.U32BE(f.colormap).PadTo(512);
  if (!f.rle) {
    for (const auto& plane : f.planes)
      for (const auto& row : plane)
        for (unsigned v : row) PutValue(b.data, v, f.bpc);
    return b.data;
  }
  const size_t rows = zsize * size_t(f.height);
  const size_t tables = b.Size();
  b.Fill(rows * 8);
  size_t index = 0;
  for (const auto& plane : f.planes)
    for (const auto& row : plane) {
      const std::vector<uint8_t> encoded = EncodeRow(row, f.bpc);
      b.PutU32BE(tables + index * 4, uint32_t(b.Size()));
      b.PutU32BE(tables + (rows + index) * 4, uint32_t(encoded.size()));
      b.Append(encoded);
      ++index;
    }
  return b.data;
}

// The test picture, 3 x 2, top row first.
const std::vector<Color> kPicture = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(9, 8, 7),
                                     MakeColor(0, 0, 255), MakeColor(0, 255, 0), MakeColor(128, 64, 32)};

SgiFile Rgb(bool rle, unsigned bpc = 1, unsigned planes = 3) {
  SgiFile f;
  f.rle = rle;
  f.bpc = bpc;
  f.width = 3;
  f.height = 2;
  f.planes.resize(planes);
  for (unsigned z = 0; z < planes; ++z)
    for (int y = 1; y >= 0; --y) {  // bottom row first
      std::vector<unsigned> row;
      for (int x = 0; x < 3; ++x) {
        const Color c = kPicture[size_t(y * 3 + x)];
        const unsigned v = z == 0 ? RedOf(c) : z == 1 ? GreenOf(c) : z == 2 ? BlueOf(c) : 77;
        // 16 bits: the low byte carries noise that must not show.
        row.push_back(bpc == 2 ? (v << 8) | (0x5A + unsigned(x)) : v);
      }
      f.planes[z].push_back(row);
    }
  return f;
}

TEST(RareSgi, RgbEightAndSixteenBitsVerbatimAndRle) {
  for (bool rle : {false, true})
    for (unsigned bpc : {1u, 2u}) {
      SCOPED_TRACE(testing::Message() << "rle " << rle << " bpc " << bpc);
      EXPECT_TRUE(PictureIs(DecodeSgi(Build(Rgb(rle, bpc))), 3, 2, kPicture));
    }
}

TEST(RareSgi, ChannelsBeyondTheFourthAreIgnored) {
  EXPECT_TRUE(PictureIs(DecodeSgi(Build(Rgb(true, 1, 5))), 3, 2, kPicture));
}

TEST(RareSgi, GreyPicturesOfOneAndTwoDimensions) {
  SgiFile f;
  f.dimension = 2;
  f.width = 2;
  f.height = 2;
  f.planes = {{{10, 20}, {30, 40}}};
  for (bool rle : {false, true}) {
    f.rle = rle;
    EXPECT_TRUE(PictureIs(DecodeSgi(Build(f)), 2, 2,
                          {MakeColor(30, 30, 30), MakeColor(40, 40, 40), MakeColor(10, 10, 10), MakeColor(20, 20, 20)}));
  }
  f.dimension = 1;
  f.height = 1;
  f.planes = {{{5, 6, 7}}};
  f.width = 3;
  EXPECT_TRUE(PictureIs(DecodeSgi(Build(f)), 3, 1, {MakeColor(5, 5, 5), MakeColor(6, 6, 6), MakeColor(7, 7, 7)}));
}

TEST(RareSgi, AlphaIsComposedOverWhiteUnlessZeroThroughout) {
  SgiFile f;
  f.width = 3;
  f.height = 1;
  f.planes = {{{0, 0, 200}}, {{0, 0, 0}}, {{0, 0, 0}}, {{0, 255, 128}}};
  const uint8_t r = uint8_t((200 * 128 + 255 * 127 + 127) / 255), gb = uint8_t((255 * 127 + 127) / 255);
  EXPECT_TRUE(PictureIs(DecodeSgi(Build(f)), 3, 1, {kWhite, kBlack, MakeColor(r, gb, gb)}));
  f.planes[3] = {{0, 0, 0}};
  EXPECT_TRUE(PictureIs(DecodeSgi(Build(f)), 3, 1, {kBlack, kBlack, MakeColor(200, 0, 0)}));
  // Grey with alpha.
  f.planes = {{{100, 100, 100}}, {{0, 255, 0}}};
  EXPECT_TRUE(PictureIs(DecodeSgi(Build(f)), 3, 1, {kWhite, MakeColor(100, 100, 100), kWhite}));
}

TEST(RareSgi, RowsMayShareTheirEncodedData) {
  SgiFile f;
  f.dimension = 2;
  f.width = 2;
  f.height = 2;
  f.planes = {{{1, 2}, {3, 4}}};
  std::vector<uint8_t> file = Build(f);
  Bytes b{file};
  b.PutU32BE(512, uint32_t(file[516] << 24 | file[517] << 16 | file[518] << 8 | file[519]));  // row 0 -> row 1's data
  b.PutU32BE(520, uint32_t(file[524] << 24 | file[525] << 16 | file[526] << 8 | file[527]));
  EXPECT_TRUE(PictureIs(DecodeSgi(b.data), 2, 2, std::vector<Color>{MakeColor(3, 3, 3), MakeColor(4, 4, 4),
                                                                    MakeColor(3, 3, 3), MakeColor(4, 4, 4)}));
}

TEST(RareSgi, RunsMustFillTheirRowExactly) {
  SgiFile f;
  f.dimension = 2;
  f.width = 4;
  f.height = 1;
  f.planes = {{{9, 9, 9, 9}}};
  std::vector<uint8_t> file = Build(f);
  ASSERT_EQ(file.size(), 512u + 8u + 3u);  // one run of four, then the end mark
  file[520] = 5;                           // a run of five in a row of four
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeSgi, file, &message));
  EXPECT_NE(message.find("SGI"), std::string::npos);
  file[520] = 3;  // three of four
  EXPECT_TRUE(RaisesError(DecodeSgi, file));
  file[520] = 0x85;  // literal of five
  file.insert(file.end(), {1, 2, 3, 4, 5, 0});
  EXPECT_TRUE(RaisesError(DecodeSgi, file));
}

TEST(RareSgi, TruncatedFilesAreRefused) {
  ExpectEveryTruncationRefused(DecodeSgi, Build(Rgb(true)));
  ExpectEveryTruncationRefused(DecodeSgi, Build(Rgb(false, 2)));
}

TEST(RareSgi, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    Bytes b{Build(Rgb(true))};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(0, 475); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.data[2] = 2; })));  // storage
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.data[3] = 4; })));  // bytes per channel
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(4, 4); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU32BE(104, 1); })));  // dithered colour map
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(6, 0); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(10, 0); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(6, 65535); b.PutU16BE(8, 65535); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU16BE(6, 16000); b.PutU16BE(8, 16000); })));
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU32BE(512, 0x7FFFFFF0); })));  // row far beyond the end
  EXPECT_TRUE(RaisesError(DecodeSgi, with([](Bytes& b) { b.PutU32BE(512 + 24, 0xFFFFFFFF); })));  // length too
}

TEST(RareSgi, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodeSgi, Build(Rgb(true)));
  SurviveMutations(DecodeSgi, Build(Rgb(false, 2)), 200);
}

}  // namespace
}  // namespace kyt::test
