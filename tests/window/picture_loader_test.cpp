// Loading pictures into a frame: the extension table, files, and base64
// text in host variables with its message box for unsupported extensions.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "picture_support.h"
#include "platform/headless/HeadlessPlatform.h"
#include "recognition/DCRFra.h"
#include "window/PictureLoader.h"

namespace kyt {
namespace {

using pictest::ByteWriter;
using pictest::SamePicture;

// "Формат файла <ext> не поддерживается!" in code page 1251.
std::string UnsupportedMessage(const std::string& extension) {
  return "\xD4\xEE\xF0\xEC\xE0\xF2 \xF4\xE0\xE9\xEB\xE0 " + extension +
         " \xED\xE5 \xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF!";
}

std::string ErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

// Hand-made files of four of the rarer formats, 2 x 2 in 24 bits, so that the
// table is shown to reach the right decoder.
const Bitmap kSmall = pictest::MakeTestPicture(2, 2);

std::vector<uint8_t> SmallTga() {
  ByteWriter w;
  w.U8(0).U8(0).U8(2).Zeros(5).U16(0).U16(0).U16(2).U16(2).U8(24).U8(0x20);  // top-left origin
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x) w.U8(BlueOf(kSmall.Pixel(x, y))).U8(GreenOf(kSmall.Pixel(x, y))).U8(RedOf(kSmall.Pixel(x, y)));
  return w.data;
}

uint8_t Channel(Color c, int channel) { return channel == 0 ? RedOf(c) : channel == 1 ? GreenOf(c) : BlueOf(c); }

std::vector<uint8_t> SmallPcx() {
  ByteWriter w;
  w.U8(10).U8(5).U8(1).U8(8).U16(0).U16(0).U16(1).U16(1).U16(72).U16(72).Zeros(48);
  w.U8(0).U8(3).U16(2).U16(1).Zeros(58);
  for (int32_t y = 0; y < 2; ++y)
    for (int c = 0; c < 3; ++c)
      for (int32_t x = 0; x < 2; ++x) {
        const uint8_t v = Channel(kSmall.Pixel(x, y), c);
        if (v >= 0xC0) w.U8(0xC1);  // a run of one
        w.U8(v);
      }
  return w.data;
}

std::vector<uint8_t> SmallSgi() {
  ByteWriter w;
  w.U8(0x01).U8(0xDA).U8(0).U8(1).U8(0).U8(3).U8(0).U8(2).U8(0).U8(2).U8(0).U8(3);
  w.Bytes({0, 0, 0, 0, 0, 0, 0, 255});  // minimum and maximum
  while (w.Size() < 512) w.U8(0);
  for (int c = 0; c < 3; ++c)
    for (int32_t y = 1; y >= 0; --y)  // bottom row first
      for (int32_t x = 0; x < 2; ++x) w.U8(Channel(kSmall.Pixel(x, y), c));
  return w.data;
}

std::vector<uint8_t> SmallPsd() {
  ByteWriter w;
  w.Text("8BPS").U8(0).U8(1).Zeros(6).U8(0).U8(3);
  w.Bytes({0, 0, 0, 2, 0, 0, 0, 2}).U8(0).U8(8).U8(0).U8(3);
  w.Zeros(12).U8(0).U8(0);  // no colour data, resources or layers; raw data
  for (int c = 0; c < 3; ++c)
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 2; ++x) w.U8(Channel(kSmall.Pixel(x, y), c));
  return w.data;
}

class PictureLoading : public ::testing::Test {
 protected:
  void SetUp() override {
    SetPlatform(&platform_);
    frame_.ClientWidth = 400;
    frame_.ClientHeight = 300;
    frame_.SetUp();
    dir_ = pictest::TempFolder(::testing::UnitTest::GetInstance()->current_test_info()->name());
  }
  void TearDown() override { SetPlatform(nullptr); }

  std::string File(const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string path = dir_ + "/" + name;
    pictest::WriteFile(path, bytes);
    return path;
  }

  // Puts a known picture in the frame, to see whether a load replaced it.
  Bitmap Preload() {
    const Bitmap before = pictest::MakeBlockPicture(33, 21);
    frame_.AssignPicture(before);
    return before;
  }

  HeadlessPlatform platform_;
  TDCRFrame frame_;
  pictest::VariableHost host_;
  std::string dir_;
};

TEST_F(PictureLoading, TheTableNamesEveryFormat) {
  const std::vector<std::string> expected = {
      "bmp", "rle", "dib", "ico", "wmf", "emf", "jpg", "jpeg", "jpe", "jfif", "png", "tga", "win", "vst",
      "vda", "icb", "tif", "tiff", "fax", "stw", "eps", "pcx", "pcc", "scr", "st", "rla", "rpf", "sgi",
      "rgb", "rgba", "bw", "psd", "pdd", "ppm", "pgm", "pbm", "cel", "pic", "pcd", "cut", "psp"};
  std::vector<std::string> got = PictureFileExtensions();
  std::vector<std::string> want = expected;
  std::sort(got.begin(), got.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(got, want);
  // Every entry reaches a decoder: empty data is refused by it, never as an unknown extension.
  for (const std::string& extension : PictureFileExtensions()) {
    const std::string error = ErrorText([&] { DecodePicture({}, extension); });
    EXPECT_NE(error, "no error") << extension;
    EXPECT_EQ(error.find("Unknown picture file extension"), std::string::npos) << extension << ": " << error;
  }
  EXPECT_EQ(ErrorText([] { DecodePicture({1, 2, 3}, "gif"); }), "Unknown picture file extension (.gif)");
}

TEST_F(PictureLoading, EachExtensionDecodesItsOwnFormat) {
  const Bitmap picture = pictest::MakeTestPicture(8, 5);
  const std::vector<uint8_t> bmp = pictest::MakeBmp24(picture);
  for (const char* ext : {"bmp", "rle", "dib", "BMP"}) EXPECT_TRUE(SamePicture(DecodePicture(bmp, ext), picture)) << ext;
  const std::vector<uint8_t> png = EncodePng(picture);
  for (const char* ext : {"png", ".PNG"}) EXPECT_TRUE(SamePicture(DecodePicture(png, ext), picture)) << ext;
  const Bitmap smooth = pictest::MakeBlockPicture(32, 32);
  const std::vector<uint8_t> jpeg = pictest::MakeJpeg(smooth);
  for (const char* ext : {"jpg", "jpeg", "jpe", "jfif", "JPG"})
    EXPECT_LE(pictest::MaxChannelDifference(DecodePicture(jpeg, ext), smooth), 12) << ext;

  std::string ppm = "P6 2 2 255\n";
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 2; ++x)
      for (int c = 0; c < 3; ++c) ppm += char(Channel(kSmall.Pixel(x, y), c));
  for (const char* ext : {"ppm", "pgm", "pbm"})
    EXPECT_TRUE(SamePicture(DecodePicture(std::vector<uint8_t>(ppm.begin(), ppm.end()), ext), kSmall)) << ext;

  for (const char* ext : {"tga", "win", "vst", "vda", "icb"})
    EXPECT_TRUE(SamePicture(DecodePicture(SmallTga(), ext), kSmall)) << ext;
  for (const char* ext : {"pcx", "pcc", "scr", "st"}) EXPECT_TRUE(SamePicture(DecodePicture(SmallPcx(), ext), kSmall)) << ext;
  for (const char* ext : {"sgi", "rgb", "rgba", "bw"}) EXPECT_TRUE(SamePicture(DecodePicture(SmallSgi(), ext), kSmall)) << ext;
  for (const char* ext : {"psd", "pdd"}) EXPECT_TRUE(SamePicture(DecodePicture(SmallPsd(), ext), kSmall)) << ext;
  // The contents never choose the decoder: a bitmap named .png is refused.
  EXPECT_THROW(DecodePicture(bmp, "png"), Error);
  EXPECT_THROW(DecodePicture(png, "tga"), Error);
}

#if defined(KYT_HAVE_TIFF)
TEST_F(PictureLoading, TiffExtensions) {
  // A tiny uncompressed RGB TIFF, 2 x 1, written by hand.
  ByteWriter w;
  w.Text("II").U16(42).U32(8);
  const uint32_t entries = 9, dataAt = 8 + 2 + entries * 12 + 4;
  w.U16(entries);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) { w.U16(tag).U16(type).U32(count).U32(value); };
  entry(256, 3, 1, 2);                // width
  entry(257, 3, 1, 1);                // height
  entry(258, 3, 1, 8);                // bits per sample (one value for all three)
  entry(259, 3, 1, 1);                // no compression
  entry(262, 3, 1, 2);                // RGB
  entry(273, 4, 1, dataAt);           // strip offset
  entry(277, 3, 1, 3);                // samples per pixel
  entry(278, 3, 1, 1);                // rows per strip
  entry(279, 4, 1, 6);                // strip byte count
  w.U32(0);
  w.Bytes({255, 0, 0, 10, 20, 30});
  const Bitmap expected = pictest::PictureOf(2, 1, {MakeColor(255, 0, 0), MakeColor(10, 20, 30)});
  for (const char* ext : {"tif", "tiff", "fax", "stw"}) EXPECT_TRUE(SamePicture(DecodePicture(w.data, ext), expected)) << ext;
}
#endif

TEST_F(PictureLoading, FileExtensionsIgnoreLetterCase) {
  const Bitmap picture = pictest::MakeBlockPicture(24, 16);
  const std::vector<uint8_t> jpeg = pictest::MakeJpeg(picture);
  const Bitmap lower = LoadPictureFile(File("picture.jpg", jpeg));
  const Bitmap upper = LoadPictureFile(File("picture.JPG", jpeg));
  EXPECT_TRUE(SamePicture(upper, lower));
  EXPECT_LE(pictest::MaxChannelDifference(lower, picture), 12);
  EXPECT_TRUE(SamePicture(LoadPictureFile(File("Mixed.PnG", EncodePng(picture))), picture));
  // A dot in a folder name is no extension.
  std::filesystem::create_directories(dir_ + "/v1.png");
  EXPECT_NE(ErrorText([&] { LoadPictureFile(File("v1.png/picture", EncodePng(picture))); }).find("no extension"),
            std::string::npos);
}

TEST_F(PictureLoading, UnknownExtensionAndUnopenableFiles) {
  // The extension is judged before the file is opened, so the file need not exist.
  EXPECT_EQ(ErrorText([&] { LoadPictureFile(dir_ + "/picture.gif"); }), "Unknown picture file extension (.gif)");
  EXPECT_EQ(ErrorText([&] { LoadPictureFile(File("picture.gif", {'G', 'I', 'F'})); }),
            "Unknown picture file extension (.gif)");
  const std::string missing = dir_ + "/missing.png";
  const std::string error = ErrorText([&] { LoadPictureFile(missing); });
  EXPECT_NE(error.find(missing), std::string::npos) << error;
  EXPECT_NE(error.find("No such file"), std::string::npos) << error;
  // A folder is no picture file.
  std::filesystem::create_directories(dir_ + "/folder.bmp");
  EXPECT_NE(ErrorText([&] { LoadPictureFile(dir_ + "/folder.bmp"); }), "no error");
  // An empty file reaches the decoder, which refuses it.
  EXPECT_NE(ErrorText([&] { LoadPictureFile(File("empty.bmp", {})); }).find("bitmap"), std::string::npos);
}

TEST_F(PictureLoading, FileSourceFillsTheFrameAndFailuresKeepTheOldPicture) {
  const Bitmap picture = pictest::MakeTestPicture(31, 17);
  LoadPicture(frame_, File("p.bmp", pictest::MakeBmp24(picture)), host_);
  EXPECT_TRUE(SamePicture(frame_.Picture, picture));

  const Bitmap before = Preload();
  std::vector<uint8_t> broken = pictest::MakeBmp24(picture);
  broken.resize(broken.size() - 100);
  EXPECT_THROW(LoadPicture(frame_, File("broken.bmp", broken), host_), Error);
  EXPECT_TRUE(SamePicture(frame_.Picture, before));
  EXPECT_THROW(LoadPicture(frame_, dir_ + "/missing.bmp", host_), Error);
  EXPECT_THROW(LoadPicture(frame_, dir_ + "/x.gif", host_), Error);
  EXPECT_TRUE(SamePicture(frame_.Picture, before));
  // "embedded:\\\" has no meaning for pictures: it is a file name like any other.
  EXPECT_NE(ErrorText([&] { LoadPicture(frame_, "embedded:\\\\\\Photo.png", host_); }).find("embedded:"),
            std::string::npos);
  EXPECT_TRUE(host_.Asked.empty());
}

TEST_F(PictureLoading, PicturesKeepTheirSizeWhateverTheWindow) {
  const Bitmap picture = pictest::MakeBlockPicture(1000, 800);
  LoadPicture(frame_, File("big.png", EncodePng(picture)), host_);
  EXPECT_EQ(frame_.Picture.Width(), 1000);
  EXPECT_EQ(frame_.Picture.Height(), 800);
  EXPECT_TRUE(SamePicture(frame_.Picture, picture));
  const Bitmap small = pictest::MakeTestPicture(3, 2);
  LoadPicture(frame_, File("small.bmp", pictest::MakeBmp24(small)), host_);
  EXPECT_TRUE(SamePicture(frame_.Picture, small));
}

TEST_F(PictureLoading, MetafilesNeedAPlatformThatDrawsThem) {
  EXPECT_NE(ErrorText([&] { LoadPictureFile(File("a.wmf", {1, 2, 3, 4})); }).find("Metafile"), std::string::npos);

  class DrawingPlatform : public HeadlessPlatform {
   public:
    std::vector<uint8_t> Seen;
    bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) override {
      Seen = bytes;
      out = pictest::MakeTestPicture(5, 4);
      return true;
    }
  } drawing;
  SetPlatform(&drawing);
  EXPECT_TRUE(SamePicture(LoadPictureFile(File("b.EMF", {9, 8, 7})), pictest::MakeTestPicture(5, 4)));
  EXPECT_EQ(drawing.Seen, (std::vector<uint8_t>{9, 8, 7}));
  SetPlatform(&platform_);
}

TEST_F(PictureLoading, VariableSourceDecodesBmpJpgAndPngInAnyCase) {
  const Bitmap picture = pictest::MakeTestPicture(12, 7);
  host_.Variables["[Photo.png.MimeStreamContent]"] = pictest::Base64Encode(EncodePng(picture));
  LoadPicture(frame_, "mimestream:\\\\\\Photo.png", host_);
  EXPECT_EQ(host_.Asked, (std::vector<std::string>{"[Photo.png.MimeStreamContent]"}));
  EXPECT_TRUE(SamePicture(frame_.Picture, picture));

  Preload();
  host_.Variables["[Photo.PNG.MimeStreamContent]"] = host_.Variables["[Photo.png.MimeStreamContent]"];
  LoadPicture(frame_, "mimestream:\\\\\\Photo.PNG", host_);
  EXPECT_TRUE(SamePicture(frame_.Picture, picture));

  // Base64 text as mail programs write it: lines of 76 characters.
  const std::string text = pictest::Base64Encode(pictest::MakeBmp24(picture));
  std::string wrapped;
  for (size_t i = 0; i < text.size(); i += 76) wrapped += text.substr(i, 76) + "\r\n";
  host_.Variables["[scan.Bmp.MimeStreamContent]"] = wrapped;
  Preload();
  LoadPicture(frame_, "mimestream:\\\\\\scan.Bmp", host_);
  EXPECT_TRUE(SamePicture(frame_.Picture, picture));

  const Bitmap smooth = pictest::MakeBlockPicture(48, 32);
  host_.Variables["[c:\\pics.v2\\shot.jpg.MimeStreamContent]"] = pictest::Base64Encode(pictest::MakeJpeg(smooth));
  LoadPicture(frame_, "mimestream:\\\\\\c:\\pics.v2\\shot.jpg", host_);
  EXPECT_LE(pictest::MaxChannelDifference(frame_.Picture, smooth), 12);
  EXPECT_TRUE(platform_.Messages.empty());
}

TEST_F(PictureLoading, VariableSourceWithOtherExtensionsShowsTheMessage) {
  const std::string png = pictest::Base64Encode(EncodePng(pictest::MakeTestPicture(4, 4)));
  const Bitmap before = Preload();
  const struct {
    std::string Name, Extension;
  } cases[] = {
      {"photo.jpeg", ".jpeg"},    // only .jpg is taken
      {"photo.Gif", ".Gif"},      // shown as the name writes it
      {"photo", ""},              // no extension: two blanks in the text
      {"a.b\\photo", ""},         // the dot belongs to a folder
      {"c.d:photo", ""},          // nor to a drive or stream name before ":"
      {"my.photo.tiff", ".tiff"},
  };
  for (const auto& c : cases) {
    host_.Variables["[" + c.Name + ".MimeStreamContent]"] = png;
    platform_.Messages.clear();
    LoadPicture(frame_, "mimestream:\\\\\\" + c.Name, host_);
    ASSERT_EQ(platform_.Messages.size(), 1u) << c.Name;
    EXPECT_EQ(platform_.Messages[0], UnsupportedMessage(c.Extension)) << c.Name;
    EXPECT_TRUE(SamePicture(frame_.Picture, before)) << c.Name;
  }
  EXPECT_EQ(UnsupportedMessage(""), "\xD4\xEE\xF0\xEC\xE0\xF2 \xF4\xE0\xE9\xEB\xE0  \xED\xE5 "
                                    "\xEF\xEE\xE4\xE4\xE5\xF0\xE6\xE8\xE2\xE0\xE5\xF2\xF1\xFF!");
}

TEST_F(PictureLoading, EmptyVariableLoadsNothingAndSaysNothing) {
  const Bitmap before = Preload();
  int changes = 0;
  frame_.OnPictureChanged = [&] { ++changes; };
  LoadPicture(frame_, "mimestream:\\\\\\Nothing.png", host_);
  EXPECT_EQ(host_.Asked, (std::vector<std::string>{"[Nothing.png.MimeStreamContent]"}));
  EXPECT_TRUE(SamePicture(frame_.Picture, before));
  EXPECT_EQ(changes, 0);
  EXPECT_TRUE(platform_.Messages.empty());
  // Even an unsupported extension stays silent when there is no content.
  LoadPicture(frame_, "mimestream:\\\\\\Nothing.gif", host_);
  EXPECT_TRUE(platform_.Messages.empty());
}

TEST_F(PictureLoading, MarkerAnywhereCutsFourteenCharactersFromTheStart) {
  LoadPicture(frame_, "xyz mimestream:\\\\\\Photo.png", host_);
  ASSERT_EQ(host_.Asked.size(), 1u);
  EXPECT_EQ(host_.Asked[0], "[:\\\\\\Photo.png.MimeStreamContent]");
  // The name so cut decides the extension too.
  host_.Variables["[:\\\\\\Photo.png.MimeStreamContent]"] = pictest::Base64Encode(EncodePng(kSmall));
  LoadPicture(frame_, "xyz mimestream:\\\\\\Photo.png", host_);
  EXPECT_TRUE(SamePicture(frame_.Picture, kSmall));
  // A source that is no longer than the marker names the empty variable.
  host_.Asked.clear();
  LoadPicture(frame_, "mimestream:\\\\\\", host_);
  EXPECT_EQ(host_.Asked, (std::vector<std::string>{"[.MimeStreamContent]"}));
  // The marker is case-sensitive: anything else is a file name.
  EXPECT_THROW(LoadPicture(frame_, "MIMESTREAM:\\\\\\Photo.png", host_), Error);
}

TEST_F(PictureLoading, CorruptVariablePictureRaisesAndKeepsTheOldPicture) {
  const Bitmap before = Preload();
  std::vector<uint8_t> png = EncodePng(pictest::MakeTestPicture(20, 20));
  png.resize(png.size() / 2);
  host_.Variables["[bad.png.MimeStreamContent]"] = pictest::Base64Encode(png);
  EXPECT_THROW(LoadPicture(frame_, "mimestream:\\\\\\bad.png", host_), Error);
  host_.Variables["[bad.jpg.MimeStreamContent]"] = "this is not base64 of a picture!";
  EXPECT_THROW(LoadPicture(frame_, "mimestream:\\\\\\bad.jpg", host_), Error);
  host_.Variables["[bad.bmp.MimeStreamContent]"] = "====";
  EXPECT_THROW(LoadPicture(frame_, "mimestream:\\\\\\bad.bmp", host_), Error);
  EXPECT_TRUE(SamePicture(frame_.Picture, before));
  EXPECT_TRUE(platform_.Messages.empty());
}

}  // namespace
}  // namespace kyt
