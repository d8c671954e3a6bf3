// Pictures decoded straight to ink: every kind of bit and grey map and PNG
// the ink path takes gives, at every threshold, the ink Binarize makes of
// the decoded picture, and the plug-in's text from it is the same; anything
// else, and every damaged file, is left to the picture decoder.
#include <gtest/gtest.h>
#include <zlib.h>

#if defined(KYT_HAVE_TIFF)
#include <tiffio.h>
#include <unistd.h>
#endif

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Corpus.h"
#include "FontGlyphs.h"
#include "InkInput.h"
#include "KnowledgeBase.h"
#include "PictureInput.h"
#include "core/Error.h"
#include "reader/Reader.h"
#include "window/PictureLoader.h"

namespace kytdcr {
namespace {

using Bytes = std::vector<uint8_t>;

uint8_t GreyOf(kyt::Color c) { return uint8_t((kyt::RedOf(c) * 3 + kyt::GreenOf(c) * 6 + kyt::BlueOf(c)) / 10); }

// A page of anti-aliased text, some of it blurred, on paper of two greys.
kyt::Bitmap TextPage() {
  LineRenderer font(FindFontFile("DejaVuSans"));
  const char32_t* lines[] = {U"The quick brown fox, 1234.", U"jumps over the lazy dog!", U"Sphinx of black quartz"};
  kyt::Bitmap page(420, 150, kyt::kWhite);
  int32_t top = 2;
  for (int i = 0; i < 3; ++i) {
    LineStyle style;
    style.pixelSize = 18 + 4 * i;
    style.blur = 0.4 * i;
    style.paper = i == 1 ? 230 : 255;
    style.ink = 20 * i;
    const LabelledLine line = font.Render(lines[i], style);
    page.Draw(line.picture, 3, top);
    top += line.picture.Height() + 3;
  }
  return page;
}

std::string Header(const char* magic, const kyt::Bitmap& p, int maxValue) {
  std::string h = std::string(magic) + "\n# a comment\n" + std::to_string(p.Width()) + " " + std::to_string(p.Height());
  if (maxValue > 0) h += "\n" + std::to_string(maxValue);
  return h + "\n";
}

// The picture's greys as a portable map of the given kind.
Bytes PortableMap(const kyt::Bitmap& p, int kind, int maxValue) {
  std::string out = Header(("P" + std::to_string(kind)).c_str(), p, kind == 1 || kind == 4 ? 0 : maxValue);
  Bytes b(out.begin(), out.end());
  for (int32_t y = 0; y < p.Height(); ++y) {
    uint8_t bits = 0;
    for (int32_t x = 0; x < p.Width(); ++x) {
      const uint32_t grey = GreyOf(p.Pixel(x, y));
      const uint32_t v = (grey * uint32_t(maxValue) + 127) / 255;
      const bool black = grey < 128;
      if (kind == 1) {
        b.push_back(black ? '1' : '0');
        if (x % 7 == 6) b.push_back('\n');
      } else if (kind == 2) {
        const std::string t = std::to_string(v) + (x % 9 == 8 ? "\n" : " ");
        b.insert(b.end(), t.begin(), t.end());
      } else if (kind == 4) {
        bits = uint8_t(bits | (black ? 0x80 >> (x % 8) : 0));
        if (x % 8 == 7 || x + 1 == p.Width()) b.push_back(bits), bits = 0;
      } else if (maxValue < 256) {
        b.push_back(uint8_t(v));
      } else {
        b.push_back(uint8_t(v >> 8));
        b.push_back(uint8_t(v));
      }
    }
  }
  return b;
}

void Chunk(Bytes& png, const char* type, const Bytes& data) {
  for (int k = 3; k >= 0; --k) png.push_back(uint8_t(data.size() >> (8 * k)));
  Bytes body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  const uint32_t crc = uint32_t(crc32(0, body.data(), uInt(body.size())));
  for (int k = 3; k >= 0; --k) png.push_back(uint8_t(crc >> (8 * k)));
}

// A grey PNG of 1, 2, 4 or 8 bits, optionally with a gamma chunk.
Bytes GreyPng(const kyt::Bitmap& p, int depth, bool gamma) {
  Bytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  for (uint32_t v : {uint32_t(p.Width()), uint32_t(p.Height())})
    for (int k = 3; k >= 0; --k) ihdr.push_back(uint8_t(v >> (8 * k)));
  ihdr.insert(ihdr.end(), {uint8_t(depth), 0, 0, 0, 0});
  Chunk(png, "IHDR", ihdr);
  if (gamma) Chunk(png, "gAMA", {0, 0, 0x3A, 0x98});  // 0.15, far from the 0.45455 of sRGB
  Bytes raw;
  const int levels = (1 << depth) - 1;
  for (int32_t y = 0; y < p.Height(); ++y) {
    raw.push_back(0);
    uint32_t acc = 0;
    int used = 0;
    for (int32_t x = 0; x < p.Width(); ++x) {
      acc = (acc << depth) | uint32_t((GreyOf(p.Pixel(x, y)) * levels + 127) / 255);
      used += depth;
      if (used == 8) raw.push_back(uint8_t(acc)), acc = 0, used = 0;
    }
    if (used) raw.push_back(uint8_t(acc << (8 - used)));
  }
  uLongf size = compressBound(uLong(raw.size()));
  Bytes packed(size);
  compress(packed.data(), &size, raw.data(), uLong(raw.size()));
  packed.resize(size);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  return png;
}

Bytes FileBytes(const std::string& path);

#if defined(KYT_HAVE_TIFF)
// A one-bit TIFF of the picture's greys below 128, written by libtiff.
Bytes BilevelTiff(const kyt::Bitmap& p, uint16_t photometric, uint16_t compression, uint16_t fillOrder,
                  uint32_t rowsPerStrip) {
  // One file per process: test runs of several build trees share the folder.
  const std::string path = ::testing::TempDir() + "/kyt_ink_input_" + std::to_string(::getpid()) + ".tif";
  TIFF* tiff = TIFFOpen(path.c_str(), "w");
  EXPECT_NE(tiff, nullptr);
  if (!tiff) return {};
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(p.Width()));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(p.Height()));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, compression);
  TIFFSetField(tiff, TIFFTAG_FILLORDER, fillOrder);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, rowsPerStrip);
  TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  std::vector<uint8_t> line(size_t(p.Width() + 7) / 8);
  for (int32_t y = 0; y < p.Height(); ++y) {
    std::fill(line.begin(), line.end(), 0);
    for (int32_t x = 0; x < p.Width(); ++x) {
      const bool black = GreyOf(p.Pixel(x, y)) < 128;
      if (black == (photometric == PHOTOMETRIC_MINISWHITE)) line[size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
    }
    TIFFWriteScanline(tiff, line.data(), uint32_t(y), 0);
  }
  TIFFClose(tiff);
  return FileBytes(path);
}
#endif

Bytes FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

struct Case {
  std::string name;
  PictureFile file;
};

std::vector<Case> Cases() {
  const kyt::Bitmap page = TextPage();
  std::vector<Case> cases = {
      {"P1", {PortableMap(page, 1, 1), "pbm"}},         {"P4", {PortableMap(page, 4, 1), "pbm"}},
      {"P2", {PortableMap(page, 2, 255), "pgm"}},       {"P2 max 1000", {PortableMap(page, 2, 1000), "pgm"}},
      {"P2 max 7", {PortableMap(page, 2, 7), "pgm"}},    {"P5", {PortableMap(page, 5, 255), "pgm"}},
      {"P5 max 100", {PortableMap(page, 5, 100), "ppm"}}, {"P5 16-bit", {PortableMap(page, 5, 65535), "pgm"}},
      {"PNG grey 8", {GreyPng(page, 8, false), "png"}}, {"PNG grey 4", {GreyPng(page, 4, false), "png"}},
      {"PNG grey 1", {GreyPng(page, 1, false), "png"}}, {"PNG grey 8 gamma", {GreyPng(page, 8, true), "png"}},
      {"PNG RGB", {kyt::EncodePng(page), "png"}},
  };
#if defined(KYT_HAVE_TIFF)
  cases.push_back({"TIFF white is zero", {BilevelTiff(page, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, FILLORDER_MSB2LSB, 16), "tif"}});
  cases.push_back({"TIFF black is zero, PackBits", {BilevelTiff(page, PHOTOMETRIC_MINISBLACK, COMPRESSION_PACKBITS, FILLORDER_MSB2LSB, 7), "tiff"}});
  cases.push_back({"TIFF G4, bits reversed", {BilevelTiff(page, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, FILLORDER_LSB2MSB, 1000), "tif"}});
  cases.push_back({"TIFF LZW", {BilevelTiff(page, PHOTOMETRIC_MINISBLACK, COMPRESSION_LZW, FILLORDER_MSB2LSB, 5), "fax"}});
#endif
  for (const char* sample : {"sample.png", "sample-ru.png"})
    cases.push_back({sample, {FileBytes(std::string(KYT_SOURCE_DIR) + "/data/samples/" + sample), "png"}});
  return cases;
}

TEST(InkInput, EveryKindGivesBinarizesInkAtEveryThreshold) {
  for (const Case& c : Cases()) {
    const kyt::Bitmap picture = DecodePictureFile(c.file);
    for (int32_t bw : {-5, 0, 1, 37, 128, 196, 229, 230, 231, 255, 256, 1000}) {
      const std::optional<kyt::TImageArray> ink = DecodeInk(c.file, bw);
      ASSERT_TRUE(ink.has_value()) << c.name;
      kyt::TDCRFrame frame;
      frame.AssignPicture(picture);
      frame.BWThreshold = bw;
      frame.Binarize();
      ASSERT_TRUE(*ink == frame.ImageArray) << c.name << " at " << bw;
    }
  }
}

TEST(InkInput, ThePluginsTextIsTheSame) {
  auto network = LoadKnowledgeBase(ResolveKnowledgeBase(std::string("latin")), kyt::KnowledgeBaseParts::ForRecognition);
  for (const Case& c : Cases()) {
    const kyt::Bitmap picture = DecodePictureFile(c.file);
    for (int32_t bw : {128, 196}) {
      std::string viaPicture, viaInk;
      const reader::Page a = reader::ReadPageAsPlugin(picture, *network, bw, 10, 22, viaPicture, true);
      const reader::Page b = reader::ReadInkAsPlugin(*DecodeInk(c.file, bw), *network, bw, 10, 22, viaInk, true);
      EXPECT_EQ(viaInk, viaPicture) << c.name << " at " << bw;
      EXPECT_EQ(b.Text(), a.Text()) << c.name << " at " << bw;
      EXPECT_EQ(std::make_pair(b.width, b.height), std::make_pair(a.width, a.height)) << c.name;
      if (bw == 196 && c.name == "sample.png") {
        EXPECT_FALSE(viaInk.empty());
      }
    }
  }
}

TEST(InkInput, OtherKindsAndDamagedFilesAreLeftToTheDecoder) {
  const kyt::Bitmap page = TextPage();
  std::vector<PictureFile> left = {
      {PortableMap(page, 6, 255), "ppm"},  // colour
      {PortableMap(page, 5, 255), "bmp"},  // another decoder's format
      {PortableMap(page, 5, 255), "png"},  // not what the format says
  };
  // Cut short, a sample above the maximum, a width of nothing, no pixels, a bad digit.
  const Bytes p5 = PortableMap(page, 5, 100), p2 = PortableMap(page, 2, 255), png = GreyPng(page, 8, false);
  left.push_back({Bytes(p5.begin(), p5.end() - 1), "pgm"});
  Bytes above = p5;
  above.at(above.size() - 1) = 101;
  left.push_back({above, "pgm"});
  left.push_back({Bytes{'P', '5', ' ', '0', ' ', '3', ' ', '9', ' '}, "pgm"});
  left.push_back({Bytes{'P', '2', ' ', '2', ' ', '1', ' ', '9', ' ', '3', ' ', 'x'}, "pgm"});
  left.push_back({Bytes{'P', '2', ' ', '2', ' ', '1', ' ', '9', ' ', '3', ' ', '1', '0'}, "pgm"});
  left.push_back({Bytes(p2.begin(), p2.begin() + std::ptrdiff_t(p2.size() / 2)), "pgm"});
  left.push_back({Bytes(png.begin(), png.end() - 13), "png"});
  Bytes badCrc = png;
  badCrc[40] ^= 0x55;
  left.push_back({badCrc, "png"});
#if defined(KYT_HAVE_TIFF)
  const Bytes tif = BilevelTiff(page, PHOTOMETRIC_MINISWHITE, COMPRESSION_NONE, FILLORDER_MSB2LSB, 16);
  left.push_back({Bytes(tif.begin(), tif.begin() + std::ptrdiff_t(tif.size() / 2)), "tif"});
  const Bytes g4 = BilevelTiff(page, PHOTOMETRIC_MINISWHITE, COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB, 1000);
  left.push_back({Bytes(g4.begin() + 8, g4.end()), "tif"});
#endif
  for (size_t k = 0; k < left.size(); ++k) EXPECT_FALSE(DecodeInk(left[k], 196).has_value()) << "case " << k;
  // The damaged ones the decoder refuses in its own words.
  for (size_t k = 3; k < left.size(); ++k) EXPECT_THROW(DecodePictureFile(left[k]), kyt::Error) << "case " << k;
}

#if defined(KYT_HAVE_TIFF)
// A PackBits page whose runs run on past the end of a row (here the file's
// first literal run covers all three rows): libtiff discards the excess of a
// run at the end of the buffer it is asked to fill, so reading scan line by
// scan line gives other rows than reading the strip whole, as the decoder's
// RGBA reader does. The ink must be the decoder's.
TEST(InkInput, APackBitsRunPastTheEndOfARowGivesTheDecodersRows) {
  const Bytes tif = {
      0x49, 0x49, 0x2a, 0x00, 0x0f, 0x00, 0x00, 0x00, 0xfe, 0xa5, 0x00, 0x82, 0x00, 0x00, 0x00, 0x09,
      0x00, 0x00, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x0a, 0x00, 0x00, 0x00, 0x01, 0x01, 0x03,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x02, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00,
      0x00, 0x01, 0x00, 0x00, 0x00, 0x03, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x05, 0x80, 0x00,
      0x00, 0x06, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x11, 0x01, 0x04,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
      0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x17, 0x01, 0x04, 0x66, 0x69, 0xff,
      0x01, 0x00, 0x00, 0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x6a, 0x66, 0x69,
  };
  const PictureFile file{tif, "tif"};
  const kyt::Bitmap picture = DecodePictureFile(file);
  for (int32_t bw : {1, 128}) {
    const std::optional<kyt::TImageArray> ink = DecodeInk(file, bw);
    ASSERT_TRUE(ink.has_value());
    kyt::TDCRFrame frame;
    frame.AssignPicture(picture);
    frame.BWThreshold = bw;
    frame.Binarize();
    EXPECT_TRUE(*ink == frame.ImageArray) << "at " << bw;
  }
}
#endif

}  // namespace
}  // namespace kytdcr
