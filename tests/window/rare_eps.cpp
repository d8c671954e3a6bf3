// EPS decoding by the embedded preview: EPSI hex bitmaps, the DOS binary
// header's TIFF and metafile previews, and the errors for files without a
// usable preview or with a damaged one.
#include <gtest/gtest.h>

#include "platform/headless/HeadlessPlatform.h"
#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

std::string Epsi(const std::string& dimensions, const std::vector<std::string>& hexLines, const std::string& eol = "\n") {
  std::string text = "%!PS-Adobe-3.0 EPSF-3.0" + eol + "%%BoundingBox: 0 0 10 2" + eol + "%%EndComments" + eol;
  text += "%%BeginPreview: " + dimensions + eol;
  for (const auto& line : hexLines) text += "%" + line + eol;
  text += "%%EndPreview" + eol + "newpath 0 0 moveto showpage" + eol + "%%EOF" + eol;
  return text;
}

std::vector<uint8_t> ToBytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(RareEps, EpsiOneBitPreviewSetBitsAreBlack) {
  // 10 x 2: row 0 = 1000 0001 01.., row 1 = all set; rows start on a byte.
  const Bitmap b = DecodeEps(ToBytes(Epsi("10 2 1 2", {"8140", "FFC0"})));
  std::vector<Color> expected(20, kBlack);
  for (int x : {1, 2, 3, 4, 5, 6, 8}) expected[size_t(x)] = kWhite;
  EXPECT_TRUE(PictureIs(b, 10, 2, expected));
}

TEST(RareEps, EpsiGreyLevelsAndFreeLineBreaks) {
  // 8-bit: 00 white, FF black, 40 -> 255 - 64 = 191. The hex is broken at odd
  // places, with blanks, CR LF ends and lower case.
  const std::vector<std::string> lines = {"00 f", "F4", "0 8", "0"};
  const Bitmap b = DecodeEps(ToBytes(Epsi("2 2 8 4", lines, "\r\n")));
  EXPECT_TRUE(PictureIs(b, 2, 2, {kWhite, kBlack, MakeColor(191, 191, 191), MakeColor(127, 127, 127)}));
  // 2 bits: 0 white, 3 black, 1 -> 170, 2 -> 85.
  const Bitmap two = DecodeEps(ToBytes(Epsi("4 1 2 1", {"1B"})));  // 00 01 10 11
  EXPECT_TRUE(PictureIs(two, 4, 1, {kWhite, MakeColor(170, 170, 170), MakeColor(85, 85, 85), kBlack}));
}

TEST(RareEps, EpsiPreviewMustBeComplete) {
  // The end mark's letters must not be taken for data.
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeEps, ToBytes(Epsi("10 2 1 2", {"8140"})), &message));
  EXPECT_NE(message.find("EPS"), std::string::npos) << message;
  EXPECT_TRUE(RaisesError(DecodeEps, ToBytes(Epsi("10 2 1 1", {"8140FF"}))));
  const std::string good = Epsi("10 2 1 2", {"8140", "FFC0"});
  const size_t dataEnd = good.find("C0\n") + 1;  // before the last hex digit
  for (size_t length = 0; length < dataEnd; ++length)
    EXPECT_TRUE(RaisesError(DecodeEps, ToBytes(good.substr(0, length)))) << length;
}

TEST(RareEps, EpsiBadDimensionsAreRefused) {
  for (const char* dims : {"0 2 1 2", "10 0 1 2", "10 2 3 2", "10 2 16 2", "x 2 1 2", "10 2", "99999999999 2 1 2",
                           "60000 60000 1 2", "30000 30000 8 1"}) {
    std::string message;
    EXPECT_TRUE(RaisesError(DecodeEps, ToBytes(Epsi(dims, {"8140", "FFC0"})), &message)) << dims;
    EXPECT_NE(message.find("EPS"), std::string::npos) << dims << ": " << message;
  }
}

TEST(RareEps, FileWithoutPreviewSaysSo) {
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeEps, ToBytes("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\nshowpage\n"), &message));
  EXPECT_EQ(message, "The EPS file has no preview picture.");
  EXPECT_TRUE(RaisesError(DecodeEps, {}, &message));
  EXPECT_EQ(message, "The EPS file has no preview picture.");
}

// DOS EPS: the 30-byte header, then the PostScript, metafile and TIFF sections.
std::vector<uint8_t> DosEps(const std::vector<uint8_t>& postScript, const std::vector<uint8_t>& metafile,
                            const std::vector<uint8_t>& tiff) {
  Bytes b;
  b.Append({0xC5, 0xD0, 0xD3, 0xC6});
  uint32_t at = 30;
  for (const auto* s : {&postScript, &metafile, &tiff}) {
    b.U32LE(s->empty() ? 0 : at).U32LE(uint32_t(s->size()));
    at += uint32_t(s->size());
  }
  b.U16LE(0xFFFF);
  b.Append(postScript).Append(metafile).Append(tiff);
  return b.data;
}

// A minimal uncompressed RGB TIFF, one strip.
std::vector<uint8_t> Tiff(uint16_t width, uint16_t height, const std::vector<Color>& pixels) {
  Bytes b;
  b.Text("II").U16LE(42).U32LE(8);
  const uint32_t bitsAt = 8 + 2 + 10 * 12 + 4, dataAt = bitsAt + 6;
  b.U16LE(10);
  auto entry = [&](unsigned tag, unsigned type, uint32_t count, uint32_t value) {
    b.U16LE(tag).U16LE(type).U32LE(count).U32LE(value);
  };
  entry(256, 3, 1, width);
  entry(257, 3, 1, height);
  entry(258, 3, 3, bitsAt);
  entry(259, 3, 1, 1);
  entry(262, 3, 1, 2);
  entry(273, 4, 1, dataAt);
  entry(277, 3, 1, 3);
  entry(278, 3, 1, height);
  entry(279, 4, 1, uint32_t(pixels.size() * 3));
  entry(284, 3, 1, 1);
  b.U32LE(0);
  b.U16LE(8).U16LE(8).U16LE(8);
  for (Color c : pixels) b.U8(RedOf(c)).U8(GreenOf(c)).U8(BlueOf(c));
  return b.data;
}

const std::vector<Color> kTiffPixels = {MakeColor(255, 0, 0), MakeColor(0, 128, 255), MakeColor(1, 2, 3),
                                        MakeColor(250, 250, 0)};

#if defined(KYT_HAVE_TIFF)
TEST(RareEps, DosHeaderWithTiffPreview) {
  const auto file = DosEps(ToBytes("%!PS-Adobe-3.0 EPSF-3.0\nshowpage\n"), {}, Tiff(2, 2, kTiffPixels));
  EXPECT_TRUE(PictureIs(DecodeEps(file), 2, 2, kTiffPixels));
}

TEST(RareEps, DamagedTiffPreviewIsRefused) {
  std::vector<uint8_t> tiff = Tiff(2, 2, kTiffPixels);
  tiff[0] = 'X';
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeEps, DosEps(ToBytes("%!PS\n"), {}, tiff), &message));
  EXPECT_NE(message.find("EPS"), std::string::npos) << message;
}
#endif

// A platform that draws any metafile as a fixed picture, recording what it was given.
class MetafilePlatform : public HeadlessPlatform {
 public:
  std::vector<uint8_t> Given;
  bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) override {
    Given = bytes;
    out = Bitmap(3, 1, kWhite);
    out.SetPixel(1, 0, MakeColor(5, 6, 7));
    return true;
  }
};

class PlatformScope {
 public:
  explicit PlatformScope(IPlatform* p) { SetPlatform(p); }
  ~PlatformScope() { SetPlatform(nullptr); }
};

TEST(RareEps, DosHeaderWithMetafilePreview) {
  const std::vector<uint8_t> wmf = {0xD7, 0xCD, 0xC6, 0x9A, 1, 2, 3};
  const auto file = DosEps(ToBytes("%!PS\n"), wmf, {});
  {
    MetafilePlatform platform;
    PlatformScope scope(&platform);
    EXPECT_TRUE(PictureIs(DecodeEps(file), 3, 1, {kWhite, MakeColor(5, 6, 7), kWhite}));
    EXPECT_EQ(platform.Given, wmf);
  }
  // The headless platform cannot draw metafiles.
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeEps, file, &message));
  EXPECT_NE(message.find("metafile"), std::string::npos) << message;
}

TEST(RareEps, DosHeaderWithEpsiInThePostScript) {
  const auto file = DosEps(ToBytes(Epsi("10 2 1 2", {"8140", "FFC0"})), {}, {});
  EXPECT_EQ(DecodeEps(file).Width(), 10);
  std::string message;
  EXPECT_TRUE(RaisesError(DecodeEps, DosEps(ToBytes("%!PS\nshowpage\n"), {}, {}), &message));
  EXPECT_EQ(message, "The EPS file has no preview picture.");
}

TEST(RareEps, DamagedDosHeadersAreRefused) {
  const auto good = DosEps(ToBytes("%!PS\n"), {}, Tiff(2, 2, kTiffPixels));
  for (size_t length : {4u, 10u, 29u}) {
    std::string message;
    EXPECT_TRUE(RaisesError(DecodeEps, std::vector<uint8_t>(good.begin(), good.begin() + std::ptrdiff_t(length)),
                            &message));
    EXPECT_NE(message.find("EPS"), std::string::npos) << message;
  }
  // Sections outside the file.
  Bytes b{good};
  b.PutU32LE(20, 0xFFFFFFF0u);
  EXPECT_TRUE(RaisesError(DecodeEps, b.data));
  b = Bytes{good};
  b.PutU32LE(24, uint32_t(good.size()));
  EXPECT_TRUE(RaisesError(DecodeEps, b.data));
  b = Bytes{good};
  b.PutU32LE(12, 40);
  b.PutU32LE(16, 0xFFFFFFFFu);
  EXPECT_TRUE(RaisesError(DecodeEps, b.data));
  // Every truncation of the file cuts the TIFF section short.
  ExpectEveryTruncationRefused(DecodeEps, good);
}

TEST(RareEps, MutatedFilesDecodeOrRaiseError) {
  SurviveMutations(DecodeEps, ToBytes(Epsi("10 2 1 2", {"8140", "FFC0"})));
  SurviveMutations(DecodeEps, DosEps(ToBytes("%!PS\n"), {}, Tiff(2, 2, kTiffPixels)));
}

}  // namespace
}  // namespace kyt::test
