// Autodesk Animator CEL/PIC decoding: header, palette scaling, pixels, and
// refusal of truncated and corrupt files.
#include <gtest/gtest.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

std::vector<uint8_t> Build(unsigned width, unsigned height, const std::vector<uint8_t>& palette,
                           const std::vector<uint8_t>& pixels, unsigned depth = 8) {
  Bytes b;
  b.U16LE(0x9119).U16LE(width).U16LE(height).U16LE(3).U16LE(4).U8(depth).U8(0).U32LE(width * height).PadTo(32);
  std::vector<uint8_t> pal = palette;
  pal.resize(768, 0);
  return b.Append(pal).Append(pixels).data;
}

// Entries 0..3: black, full red, half green (32 of 63), blue 1 of 63.
const std::vector<uint8_t> kVgaPalette = {0, 0, 0, 63, 0, 0, 0, 32, 0, 0, 0, 1};

TEST(RareAutodesk, SixBitPaletteIsWidened) {
  const Bitmap b = DecodeAutodesk(Build(2, 2, kVgaPalette, {0, 1, 2, 3}));
  // 32 of 63 is 129.5 of 255, 1 of 63 is 4.05.
  EXPECT_TRUE(PictureIs(b, 2, 2, {kBlack, MakeColor(255, 0, 0), MakeColor(0, 130, 0), MakeColor(0, 0, 4)}));
}

TEST(RareAutodesk, PaletteWithLargerValuesIsTakenAsItIs) {
  std::vector<uint8_t> pal = kVgaPalette;
  pal.resize(768, 0);
  pal[767] = 200;  // one value above 63
  const Bitmap b = DecodeAutodesk(Build(3, 1, pal, {1, 2, 255}));
  EXPECT_TRUE(PictureIs(b, 3, 1, {MakeColor(63, 0, 0), MakeColor(0, 32, 0), MakeColor(0, 0, 200)}));
}

TEST(RareAutodesk, TruncatedAndCorruptFilesAreRefused) {
  const std::vector<uint8_t> good = Build(3, 2, kVgaPalette, {0, 1, 2, 3, 2, 1});
  EXPECT_TRUE(PictureIs(DecodeAutodesk(good), 3, 2,
                        {kBlack, MakeColor(255, 0, 0), MakeColor(0, 130, 0), MakeColor(0, 0, 4), MakeColor(0, 130, 0),
                         MakeColor(255, 0, 0)}));
  ExpectEveryTruncationRefused(DecodeAutodesk, good);
  auto with = [&](auto change) {
    Bytes b{good};
    change(b);
    return b.data;
  };
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.PutU16LE(0, 0x9120); }), &message));
  EXPECT_NE(message.find("Autodesk"), std::string::npos);
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.data[10] = 16; })));
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.data[11] = 1; })));
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.PutU16LE(2, 0); })));
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.PutU16LE(2, 65535); b.PutU16LE(4, 65535); })));
  EXPECT_TRUE(RaisesError(DecodeAutodesk, with([](Bytes& b) { b.PutU16LE(2, 5000); b.PutU16LE(4, 5000); })));
  SurviveMutations(DecodeAutodesk, good, 200);
}

}  // namespace
}  // namespace kyt::test
