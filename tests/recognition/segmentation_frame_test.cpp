// The DCR frame's picture handling and binarisation.
#include <gtest/gtest.h>

#include "recognition/DCRFra.h"
#include "segmentation_drawing.h"

namespace kyt {
namespace {

using testing::DrawRows;

bool AllWhite(const Bitmap& b) {
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x)
      if (b.Pixel(x, y) != kWhite) return false;
  return true;
}

TEST(FramePicture, SetUpRestoresDefaultsAndBlanksToTheAreaBelowTheTitle) {
  TDCRFrame frame;
  frame.BWThreshold = 1;
  frame.NoiseThreshold = 2;
  frame.SpaceWidth = 3;
  frame.ClientWidth = 300;
  frame.ClientHeight = 200;
  frame.Picture = Bitmap(500, 400, kBlack);
  int changes = 0;
  frame.OnPictureChanged = [&] { ++changes; };

  frame.SetUp();

  EXPECT_EQ(frame.BWThreshold, 196);
  EXPECT_EQ(frame.NoiseThreshold, 10);
  EXPECT_EQ(frame.SpaceWidth, 22);
  EXPECT_EQ(frame.Picture.Width(), 300);
  EXPECT_EQ(frame.Picture.Height(), 200 - TDCRFrame::kTitleHeight);
  EXPECT_TRUE(AllWhite(frame.Picture));
  EXPECT_EQ(changes, 1);
}

TEST(FramePicture, ClearPictureGrowsWhiteAndNeverGoesNegative) {
  TDCRFrame frame;
  frame.Picture = Bitmap(5, 5, kBlack);
  frame.ClientWidth = 40;
  frame.ClientHeight = 60;
  frame.ClearPicture();  // no handler set: must not fail
  EXPECT_EQ(frame.Picture.Width(), 40);
  EXPECT_EQ(frame.Picture.Height(), 35);
  EXPECT_TRUE(AllWhite(frame.Picture));

  frame.ClientWidth = -3;
  frame.ClientHeight = TDCRFrame::kTitleHeight - 1;
  frame.ClearPicture();
  EXPECT_EQ(frame.Picture.Width(), 0);
  EXPECT_EQ(frame.Picture.Height(), 0);
}

TEST(FramePicture, AssignPictureKeepsThePictureWholeAndUnscaled) {
  // One picture larger than the frame in both directions, one smaller.
  for (const auto& size : {std::pair{500, 20}, std::pair{7, 400}, std::pair{3, 2}}) {
    TDCRFrame frame;
    frame.SetUp();
    int changes = 0;
    frame.OnPictureChanged = [&] { ++changes; };
    Bitmap picture(size.first, size.second, kWhite);
    for (int32_t y = 0; y < picture.Height(); ++y)
      for (int32_t x = 0; x < picture.Width(); ++x) picture.SetPixel(x, y, MakeColor(uint8_t(x), uint8_t(y), 7));

    frame.AssignPicture(picture);

    EXPECT_EQ(frame.Picture, picture) << size.first << " x " << size.second;
    EXPECT_EQ(changes, 1);
  }
}

TEST(FramePicture, AssignPictureFromItsOwnPictureKeepsIt) {
  TDCRFrame frame;
  frame.Picture = DrawRows({"#..", ".#.", "..#"});
  const Bitmap before = frame.Picture;
  frame.AssignPicture(frame.Picture);
  EXPECT_EQ(frame.Picture, before);
}

TEST(Binarisation, PureGreyHasItsOwnValueAsLuminance) {
  for (int v = 0; v <= 255; ++v)
    EXPECT_EQ(TDCRFrame::Luminance(MakeColor(uint8_t(v), uint8_t(v), uint8_t(v))), double(v)) << v;
}

TEST(Binarisation, ChannelsAreWeightedRedGreenBlueFromTheLowByte) {
  EXPECT_NEAR(TDCRFrame::Luminance(MakeColor(255, 0, 0)), 76.245, 1e-9);
  EXPECT_NEAR(TDCRFrame::Luminance(MakeColor(0, 255, 0)), 149.685, 1e-9);
  EXPECT_NEAR(TDCRFrame::Luminance(MakeColor(0, 0, 255)), 29.07, 1e-9);
  EXPECT_NEAR(TDCRFrame::Luminance(MakeColor(10, 20, 30)), 2.99 + 11.74 + 3.42, 1e-9);
}

TEST(Binarisation, ImageArrayIsIndexedByColumnThenRow) {
  TDCRFrame frame;
  frame.AssignPicture(DrawRows({"....", "..#.", "...."}));
  frame.Binarize();
  ASSERT_EQ(frame.ImageArray.size(), 4u);
  for (const auto& column : frame.ImageArray) ASSERT_EQ(column.size(), 3u);
  for (int32_t x = 0; x < 4; ++x)
    for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(frame.ImageArray[size_t(x)][size_t(y)], (x == 2 && y == 1) ? 1 : 0);
}

TEST(Binarisation, InkIsStrictlyDarkerThanTheThreshold) {
  // One column per grey level 0..255.
  Bitmap greys(256, 1);
  for (int v = 0; v < 256; ++v) greys.SetPixel(v, 0, MakeColor(uint8_t(v), uint8_t(v), uint8_t(v)));
  TDCRFrame frame;
  frame.AssignPicture(greys);
  for (int32_t threshold : {0, 1, 100, 195, 196, 197, 255, 256, -5, 1000}) {
    frame.BWThreshold = threshold;
    frame.Binarize();
    for (int v = 0; v < 256; ++v)
      ASSERT_EQ(frame.ImageArray[size_t(v)][0], v < threshold ? 1 : 0) << "grey " << v << " threshold " << threshold;
  }
  // The default threshold: 195 ink, 196 background.
  frame.SetUp();
  frame.AssignPicture(greys);
  frame.Binarize();
  EXPECT_EQ(frame.ImageArray[195][0], 1);
  EXPECT_EQ(frame.ImageArray[196][0], 0);
}

TEST(Binarisation, ColouredPixelsFollowTheirLuminance) {
  // Red 255 has luminance 76.245: ink below a threshold of 77, background at 76.
  Bitmap picture(2, 1);
  picture.SetPixel(0, 0, MakeColor(255, 0, 0));
  picture.SetPixel(1, 0, MakeColor(0, 0, 255));  // 29.07
  TDCRFrame frame;
  frame.AssignPicture(picture);
  frame.BWThreshold = 77;
  frame.Binarize();
  EXPECT_EQ(frame.ImageArray[0][0], 1);
  EXPECT_EQ(frame.ImageArray[1][0], 1);
  frame.BWThreshold = 76;
  frame.Binarize();
  EXPECT_EQ(frame.ImageArray[0][0], 0);
  EXPECT_EQ(frame.ImageArray[1][0], 1);
  frame.BWThreshold = 29;
  frame.Binarize();
  EXPECT_EQ(frame.ImageArray[1][0], 0);
}

TEST(Binarisation, EmptyPictureGivesAnEmptyArrayAndNoLines) {
  for (const auto& size : {std::pair{0, 0}, std::pair{5, 0}, std::pair{0, 5}}) {
    TDCRFrame frame;
    frame.AssignPicture(Bitmap(size.first, size.second));
    frame.Binarize();
    EXPECT_EQ(frame.ImageArray.size(), size_t(size.first));
    frame.FindLines();
    frame.FindWords();
    frame.FindChars();
    EXPECT_TRUE(frame.Lines.empty());
  }
}

}  // namespace
}  // namespace kyt
