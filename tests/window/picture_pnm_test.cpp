// Portable maps: the six kinds, comments, maximum values and bad data.
#include <gtest/gtest.h>

#include "picture_support.h"
#include "window/decoders/Decoders.h"

namespace kyt {
namespace {

using pictest::PictureOf;
using pictest::SamePicture;

std::vector<uint8_t> Text(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

Color Grey(uint8_t v) { return MakeColor(v, v, v); }

std::string ErrorText(const std::string& file) {
  try {
    DecodePnm(Text(file));
  } catch (const Error& e) {
    return e.what();
  }
  return "no error";
}

TEST(PnmDecoder, PlainKindsWithComments) {
  // P1: 1 is black; digits need no blanks between them.
  EXPECT_TRUE(SamePicture(DecodePnm(Text("P1\n# a comment\n3 2\n1 0 1\n011")),
                          PictureOf(3, 2, {kBlack, kWhite, kBlack, kWhite, kBlack, kBlack})));
  EXPECT_TRUE(SamePicture(DecodePnm(Text("P2 2 1 # comment after a number\n 10\n0 10")),
                          PictureOf(2, 1, {Grey(0), Grey(255)})));
  EXPECT_TRUE(SamePicture(DecodePnm(Text("P3\n2 1\n255\n255 0 0   1 2 3\n")),
                          PictureOf(2, 1, {MakeColor(255, 0, 0), MakeColor(1, 2, 3)})));
  // Values are scaled from the maximum to 255, rounded.
  EXPECT_TRUE(SamePicture(DecodePnm(Text("P2\n3 1\n3\n1 2 3")), PictureOf(3, 1, {Grey(85), Grey(170), Grey(255)})));
}

TEST(PnmDecoder, RawKindsAndSixteenBitSamples) {
  std::string p4 = "P4\n10 2\n";
  p4 += char(0b10000000);
  p4 += char(0b01000000);  // the rest of each row's last byte is padding
  p4 += char(0b00000001);
  p4 += char(0b10011111);
  EXPECT_TRUE(SamePicture(DecodePnm(Text(p4)),
                          PictureOf(10, 2, {kBlack, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kBlack,
                                            kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kWhite, kBlack, kBlack, kWhite})));

  std::string p5 = "P5 3 1 255\n";
  p5 += '\0';
  p5 += '\x80';
  p5 += '\xFF';
  EXPECT_TRUE(SamePicture(DecodePnm(Text(p5)), PictureOf(3, 1, {Grey(0), Grey(128), Grey(255)})));

  // Two bytes a sample, most significant first.
  std::string p6 = "P6\n2 1\n65535\n";
  const unsigned char samples[] = {0xFF, 0xFF, 0x00, 0x00, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x01};
  p6.append(reinterpret_cast<const char*>(samples), sizeof samples);
  EXPECT_TRUE(SamePicture(DecodePnm(Text(p6)), PictureOf(2, 1, {MakeColor(255, 0, 128), MakeColor(0, 0, 1)})));

  std::string p6small = "P6 1 1 15\n";
  p6small += "\x0F\x05";
  p6small += '\0';
  EXPECT_TRUE(SamePicture(DecodePnm(Text(p6small)), PictureOf(1, 1, {MakeColor(255, 85, 0)})));
}

TEST(PnmDecoder, RawByteSamplesScaleLikePlainOnesForEveryMaximum) {
  // Every value of each one-byte maximum, raw and plain: the raw kinds look
  // their samples up in a table, the plain ones scale each sample.
  for (const int maximum : {1, 2, 3, 7, 15, 100, 128, 200, 254, 255}) {
    const std::string size = std::to_string(maximum + 1) + " 1 " + std::to_string(maximum) + "\n";
    std::string p5 = "P5 " + size, p2 = "P2 " + size, p6 = "P6 " + size, p3 = "P3 " + size;
    for (int v = 0; v <= maximum; ++v) {
      p5 += char(v);
      p2 += std::to_string(v) + " ";
      // Red rises, green falls, blue stays at the middle value.
      p6 += char(v), p6 += char(maximum - v), p6 += char(maximum / 2);
      p3 += std::to_string(v) + " " + std::to_string(maximum - v) + " " + std::to_string(maximum / 2) + " ";
    }
    const Bitmap grey = DecodePnm(Text(p5)), colour = DecodePnm(Text(p6));
    EXPECT_TRUE(SamePicture(grey, DecodePnm(Text(p2)))) << maximum;
    EXPECT_TRUE(SamePicture(colour, DecodePnm(Text(p3)))) << maximum;
    for (int v = 0; v <= maximum; ++v) {
      const auto scaled = [&](int x) { return uint8_t((x * 255 + maximum / 2) / maximum); };
      EXPECT_EQ(grey.Pixel(v, 0), Grey(scaled(v))) << maximum << " " << v;
      EXPECT_EQ(colour.Pixel(v, 0), MakeColor(scaled(v), scaled(maximum - v), scaled(maximum / 2)))
          << maximum << " " << v;
    }
    if (maximum < 255) {
      // A sample above the maximum anywhere in a row, also in its last pixel.
      std::string bad = p6;
      bad[bad.size() - 1] = char(maximum + 1);
      EXPECT_NE(ErrorText(bad).find("maximum value"), std::string::npos) << maximum;
      bad = p5;
      bad[bad.size() - 1] = char(255);
      EXPECT_NE(ErrorText(bad).find("maximum value"), std::string::npos) << maximum;
    }
  }
}

TEST(PnmDecoder, RefusesBadData) {
  EXPECT_NE(ErrorText("P7\n1 1\n").find("not a portable"), std::string::npos);
  EXPECT_NE(ErrorText("GIF89a").find("not a portable"), std::string::npos);
  EXPECT_NE(ErrorText("P2 2 1 0\n0 0").find("maximum value"), std::string::npos);
  EXPECT_NE(ErrorText("P2 2 1 65536\n0 0").find("maximum value"), std::string::npos);
  EXPECT_NE(ErrorText("P2 2 1 10\n0 11").find("sample"), std::string::npos);
  EXPECT_NE(ErrorText("P5 2 1 10\n\x05\x0B").find("maximum value"), std::string::npos);
  EXPECT_NE(ErrorText("P1 2 1\n1 2").find("invalid pixel"), std::string::npos);
  EXPECT_NE(ErrorText("P3 0 5 255\n").find("size"), std::string::npos);
  EXPECT_NE(ErrorText("P3 x 5 255\n").find("width"), std::string::npos);
  EXPECT_NE(ErrorText("P3 99999999999 5 255\n").find("width"), std::string::npos);
  EXPECT_NE(ErrorText("P5 2 1 255").find("truncated"), std::string::npos);  // no blank after the header
  EXPECT_NE(ErrorText("P5 2 1 255x\x01\x02").find("blank"), std::string::npos);
  EXPECT_NE(ErrorText("P6 2 2 255\nabcdefghij").find("truncated"), std::string::npos);
  EXPECT_NE(ErrorText("P2 2 2 255\n1 2 3").find("truncated"), std::string::npos);
  // A header that promises a huge picture is refused before memory is taken.
  EXPECT_NE(ErrorText("P6 16000 16000 255\n").find("truncated"), std::string::npos);
  EXPECT_NE(ErrorText("P1 16000 16000\n0").find("truncated"), std::string::npos);
}

}  // namespace
}  // namespace kyt
