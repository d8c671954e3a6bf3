// Paint Shop Pro decoding: blocks of file versions 3 and later, the three
// compressions, pixel depths, layer placement; refusal of what is not read
// and of damaged files.
#include <gtest/gtest.h>
#include <zlib.h>

#include "rare_helpers.h"
#include "window/decoders/RareFormats.h"

namespace kyt::test {
namespace {

struct Channel {
  unsigned bitmapType = 0;  // 0: the layer's pixels, 1: transparency mask
  unsigned channelType = 0;  // 0: composite, 1 red, 2 green, 3 blue
  std::vector<std::vector<uint8_t>> rows;  // packed rows without padding
  int pad = -1;  // rows padded to four bytes: 1 yes, 0 no, -1 as the file's padRows says
};

struct PspFile {
  unsigned major = 5;
  int32_t width = 0, height = 0;
  unsigned compression = 0;  // 0 none, 1 RLE, 2 LZ77
  unsigned depth = 24;
  bool grey = false;
  unsigned layerCount = 1;
  std::vector<Color> palette;  // colour block when not empty
  int32_t image[4] = {0, 0, 0, 0};  // layer rectangle (left, top, right, bottom); right 0: whole picture
  int32_t saved[4] = {0, 0, 0, 0};
  std::vector<Channel> channels;
  bool padRows = true;  // uncompressed rows padded to four bytes
  bool extraBlocks = true;
};

std::vector<uint8_t> Rle(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  size_t i = 0;
  while (i < data.size()) {
    size_t run = 1;
    while (i + run < data.size() && run < 127 && data[i + run] == data[i]) ++run;
    if (run > 1) {
      out.push_back(uint8_t(128 + run));
      out.push_back(data[i]);
    } else {
      size_t lit = 1;
      while (i + lit < data.size() && lit < 128 && !(i + lit + 1 < data.size() && data[i + lit] == data[i + lit + 1]))
        ++lit;
      out.push_back(uint8_t(lit));
      out.insert(out.end(), data.begin() + std::ptrdiff_t(i), data.begin() + std::ptrdiff_t(i + lit));
      run = lit;
    }
    i += run;
  }
  return out;
}

std::vector<uint8_t> Deflate(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  EXPECT_EQ(compress2(out.data(), &size, data.data(), uLong(data.size()), 9), Z_OK);
  out.resize(size);
  return out;
}

class Writer {
 public:
  explicit Writer(unsigned major) : major_(major) {}
  Bytes b;

  // Writes a block; `fixed` is the chunk (without its length word in newer
  // files, which is added) or, in version 3, the block's fixed data.
  void Block(unsigned id, const std::vector<uint8_t>& fixed, const std::vector<uint8_t>& rest) {
    b.Text(std::string("~BK\0", 4)).U16LE(id);
    if (major_ < 4) {
      b.U32LE(uint32_t(fixed.size())).U32LE(uint32_t(fixed.size() + rest.size()));
      b.Append(fixed).Append(rest);
    } else {
      b.U32LE(uint32_t(4 + fixed.size() + rest.size())).U32LE(uint32_t(4 + fixed.size()));
      b.Append(fixed).Append(rest);
    }
  }

 private:
  unsigned major_;
};

std::vector<uint8_t> Build(const PspFile& f) {
  Writer w(f.major);
  w.b.Text("Paint Shop Pro Image File\n\x1a").PadTo(32).U16LE(f.major).U16LE(0);

  Bytes attributes;
  attributes.U32LE(uint32_t(f.width)).U32LE(uint32_t(f.height)).Fill(8).U8(1).U16LE(f.compression).U16LE(f.depth);
  attributes.U16LE(1).U32LE(f.depth >= 24 ? 1u << 24 : 1u << f.depth).U8(f.grey).U32LE(0).U32LE(0).U16LE(f.layerCount);
  if (f.major >= 4) attributes.U32LE(1);  // graphic contents
  w.Block(0, attributes.data, {});
  if (f.extraBlocks) w.Block(1, {1, 2, 3, 4}, {5, 6});  // creator block, skipped

  if (!f.palette.empty()) {
    Bytes count, entries;
    count.U32LE(uint32_t(f.palette.size()));
    for (Color c : f.palette) entries.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c)).U8(0);
    w.Block(2, count.data, entries.data);
  }

  // The layer.
  const int32_t right = f.image[2] ? f.image[2] : f.width, bottom = f.image[3] ? f.image[3] : f.height;
  const int32_t sRight = f.saved[2] ? f.saved[2] : right - f.image[0], sBottom = f.saved[3] ? f.saved[3] : bottom - f.image[1];
  Bytes rects;
  for (int32_t v : {f.image[0], f.image[1], right, bottom, f.saved[0], f.saved[1], sRight, sBottom})
    rects.U32LE(uint32_t(v));
  Bytes info;
  if (f.major < 4) {
    info.Text("Background").PadTo(256).U8(0).Append(rects.data).U8(255).U8(0).U8(1).U8(0).U8(0).Fill(32).Fill(2 + 47);
    info.U16LE(1).U16LE(unsigned(f.channels.size()));
  } else {
    info.U16LE(10).Text("Background").U8(1).Append(rects.data).U8(255).U8(0).U8(1).U8(0).U8(0).Fill(32).Fill(2 + 42);
  }
  Bytes channelBlocks;
  for (const Channel& c : f.channels) {
    std::vector<uint8_t> raw;
    for (const auto& row : c.rows) {
      raw.insert(raw.end(), row.begin(), row.end());
      if ((c.pad < 0 ? f.padRows : c.pad != 0) && f.compression == 0)
        while (raw.size() % 4) raw.push_back(0xEE);
    }
    const std::vector<uint8_t> packed = f.compression == 1 ? Rle(raw) : f.compression == 2 ? Deflate(raw) : raw;
    Bytes head;
    head.U32LE(uint32_t(packed.size())).U32LE(uint32_t(raw.size())).U16LE(c.bitmapType).U16LE(c.channelType);
    Writer cw(f.major);
    cw.Block(5, head.data, packed);
    channelBlocks.Append(cw.b.data);
  }
  Writer lw(f.major);
  if (f.major < 4) {
    lw.Block(4, info.data, channelBlocks.data);
  } else {
    // Layer information chunk, then the bitmap chunk, then the channels.
    Bytes rest;
    rest.U32LE(8).U16LE(1).U16LE(unsigned(f.channels.size())).Append(channelBlocks.data);
    lw.Block(4, info.data, rest.data);
  }
  // The layer bank has no chunk of its own.
  w.b.Text(std::string("~BK\0", 4)).U16LE(3);
  if (f.major < 4) w.b.U32LE(0);
  w.b.U32LE(uint32_t(lw.b.Size())).Append(lw.b.data);
  return w.b.data;
}

const std::vector<Color> kPicture = {MakeColor(255, 0, 0), MakeColor(255, 0, 0), MakeColor(9, 8, 7),
                                     MakeColor(0, 0, 255), MakeColor(0, 255, 0), MakeColor(128, 64, 32)};

PspFile Rgb(unsigned compression, unsigned major = 5) {
  PspFile f;
  f.major = major;
  f.compression = compression;
  f.width = 3;
  f.height = 2;
  for (unsigned c = 1; c <= 3; ++c) {
    Channel ch;
    ch.channelType = c;
    for (int y = 0; y < 2; ++y) {
      std::vector<uint8_t> row;
      for (int x = 0; x < 3; ++x) {
        const Color col = kPicture[size_t(y * 3 + x)];
        row.push_back(c == 1 ? RedOf(col) : c == 2 ? GreenOf(col) : BlueOf(col));
      }
      ch.rows.push_back(row);
    }
    f.channels.push_back(ch);
  }
  // A transparency mask that must not be taken for a colour.
  Channel mask;
  mask.bitmapType = 1;
  mask.rows = {{0, 0, 0}, {0, 0, 0}};
  f.channels.push_back(mask);
  return f;
}

TEST(RarePsp, RgbInEveryCompressionAndFileVersion) {
  for (unsigned major : {3u, 4u, 5u})
    for (unsigned compression : {0u, 1u, 2u}) {
      SCOPED_TRACE(testing::Message() << "major " << major << " compression " << compression);
      EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(Rgb(compression, major))), 3, 2, kPicture));
    }
  PspFile unpadded = Rgb(0);
  unpadded.padRows = false;
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(unpadded)), 3, 2, kPicture));
}

TEST(RarePsp, EachChannelKeepsItsOwnRowStride) {
  // Red padded to four bytes a row, green and blue not (and the other way
  // round): every plane is read with its own stride.
  for (int redPad : {1, 0}) {
    SCOPED_TRACE(testing::Message() << "red padded " << redPad);
    PspFile f = Rgb(0);
    f.channels[0].pad = redPad;
    f.channels[1].pad = 1 - redPad;
    f.channels[2].pad = 1 - redPad;
    EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(f)), 3, 2, kPicture));
  }
}

PspFile Paletted(unsigned depth, std::vector<std::vector<uint8_t>> rows, int32_t width) {
  PspFile f;
  f.depth = depth;
  f.width = width;
  f.height = int32_t(rows.size());
  Channel c;
  c.rows = std::move(rows);
  f.channels = {c};
  return f;
}

TEST(RarePsp, PalettedAndGreyPictures) {
  PspFile eight = Paletted(8, {{0, 2, 1}}, 3);
  eight.palette = {MakeColor(1, 2, 3), MakeColor(40, 50, 60), MakeColor(250, 0, 5)};
  for (unsigned compression : {0u, 1u, 2u}) {
    eight.compression = compression;
    EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(eight)), 3, 1,
                          {MakeColor(1, 2, 3), MakeColor(250, 0, 5), MakeColor(40, 50, 60)}));
  }
  PspFile grey = Paletted(8, {{0, 77, 255}}, 3);
  grey.grey = true;
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(grey)), 3, 1,
                        {MakeColor(0, 0, 0), MakeColor(77, 77, 77), MakeColor(255, 255, 255)}));
  PspFile four = Paletted(4, {{0x1F, 0x20}}, 3);
  four.palette.assign(16, kBlack);
  four.palette[1] = MakeColor(1, 1, 1);
  four.palette[15] = MakeColor(15, 15, 15);
  four.palette[2] = MakeColor(2, 2, 2);
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(four)), 3, 1,
                        {MakeColor(1, 1, 1), MakeColor(15, 15, 15), MakeColor(2, 2, 2)}));
  PspFile one = Paletted(1, {{0b10100000}}, 3);
  one.palette = {kWhite, kBlack};
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(one)), 3, 1, {kBlack, kWhite, kBlack}));
}

TEST(RarePsp, LayerIsPlacedByItsRectanglesOnWhite) {
  // A 2 x 1 layer at (1, 1) of a 4 x 3 picture.
  PspFile f = Paletted(8, {{1, 0}}, 4);
  f.height = 3;
  f.palette = {MakeColor(9, 9, 9), MakeColor(200, 0, 0)};
  f.image[0] = 1;
  f.image[1] = 1;
  f.image[2] = 3;
  f.image[3] = 2;
  std::vector<Color> expected(12, kWhite);
  expected[5] = MakeColor(200, 0, 0);
  expected[6] = MakeColor(9, 9, 9);
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(f)), 4, 3, expected));
  // A layer reaching out of the picture is clipped.
  f.image[0] = 3;
  f.image[2] = 5;
  expected = std::vector<Color>(12, kWhite);
  expected[7] = MakeColor(200, 0, 0);
  EXPECT_TRUE(PictureIs(DecodePaintShopPro(Build(f)), 4, 3, expected));
}

TEST(RarePsp, WhatIsNotReadIsRefusedClearly) {
  std::string message;
  PspFile layers = Rgb(0);
  layers.layerCount = 2;
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, Build(layers), &message));
  EXPECT_NE(message.find("more than one layer"), std::string::npos) << message;
  PspFile jpeg = Rgb(0);
  jpeg.compression = 3;
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, Build(jpeg), &message));
  EXPECT_NE(message.find("JPEG"), std::string::npos) << message;
  PspFile deep = Rgb(0);
  deep.depth = 48;
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, Build(deep), &message));
  EXPECT_NE(message.find("Paint Shop Pro"), std::string::npos) << message;
  PspFile missing = Rgb(0);
  missing.channels.erase(missing.channels.begin() + 1);  // no green
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, Build(missing)));
}

TEST(RarePsp, DamagedChannelDataAreRefused) {
  // An RLE run past the end of the channel.
  PspFile f = Paletted(8, {{7, 7, 7, 7}}, 4);
  f.compression = 1;
  f.extraBlocks = false;
  std::vector<uint8_t> file = Build(f);
  ASSERT_EQ(file[file.size() - 2], 128 + 4);
  file[file.size() - 2] = 128 + 5;
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, file));
  file[file.size() - 2] = 128 + 3;  // too short: the channel data end early
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, file));
  // Damaged zlib data.
  f.compression = 2;
  file = Build(f);
  file[file.size() - 3] ^= 0x55;
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, file));
  // Lengths that claim far more than the data hold.
  file = Build(f);
  Bytes b{file};
  const size_t lengthAt = file.size() - Deflate({7, 7, 7, 7}).size() - 12 + 4;  // unpacked length of the channel
  ASSERT_EQ(file[lengthAt], 4);
  b.PutU32LE(lengthAt, 0x7FFFFFFF);
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, b.data));
}

TEST(RarePsp, TruncatedFilesAreRefused) {
  ExpectEveryTruncationRefused(DecodePaintShopPro, Build(Rgb(1)));
  ExpectEveryTruncationRefused(DecodePaintShopPro, Build(Rgb(2, 3)));
}

TEST(RarePsp, CorruptHeadersAreRefused) {
  auto with = [](auto change) {
    Bytes b{Build(Rgb(0))};
    change(b);
    return b.data;
  };
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([](Bytes& b) { b.data[0] = 'p'; })));
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([](Bytes& b) { b.PutU16LE(32, 2); })));  // version 2
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([](Bytes& b) { b.data[36] = '#'; })));  // block mark
  const size_t attributes = 36 + 10 + 4;  // block header, chunk length
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([&](Bytes& b) { b.PutU32LE(attributes, 0); })));
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([&](Bytes& b) { b.PutU32LE(attributes, 0x80000000u); })));
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([&](Bytes& b) {
    b.PutU32LE(attributes, 60000);
    b.PutU32LE(attributes + 4, 60000);
  })));
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([](Bytes& b) { b.PutU32LE(42, 0xFFFFFF00u); })));  // block length
  EXPECT_TRUE(RaisesError(DecodePaintShopPro, with([](Bytes& b) { b.PutU32LE(46, 0xFFFF); })));  // chunk length
}

TEST(RarePsp, MutatedFilesDecodeOrRaiseError) {
  // From the end of the image attributes on: a changed picture size alone
  // makes a valid (if large) white picture, which the header tests cover.
  SurviveMutations(DecodePaintShopPro, Build(Rgb(1)), 400, 88);
  SurviveMutations(DecodePaintShopPro, Build(Rgb(2, 3)), 300, 88);
}

}  // namespace
}  // namespace kyt::test
