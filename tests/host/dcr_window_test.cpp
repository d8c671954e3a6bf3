// The DCR window over a host object: its notifications, its dialog code, and
// the life of the shared network with several windows.
#include <gtest/gtest.h>

#include "FakeHost.h"
#include "TestFiles.h"
#include "core/Bitmap.h"
#include "host/DcrRegistry.h"
#include "host/HeadlessExports.h"
#include "recognition/BackPropCls.h"
#include "recognition/DCRFra.h"
#include "window/DcrWindowLook.h"
#include "window/PictureLoader.h"
#include "window/kytForm.h"

namespace kyt::test {
namespace {

TTkytForm& Window(const std::string& name) {
  const int32_t index = FindDcrWindow(name);
  if (index < 0) throw std::runtime_error("no window for " + name);
  return DcrWindowAt(index);
}

class DcrWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Register();
    host.AddObject("Rect1", 400, 300);
    ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  }
  HeadlessWindowPeer& Peer() { return *host.platform.Peers().at(0); }
  FakeHost host;
};

TEST_F(DcrWindow, SizeUpdatePublishesTheLargestCoordinatesAndTakesTheObjectsSize) {
  host.ResizeObject("Rect1", 500, 350);
  host.requests.clear();
  EXPECT_EQ(Window("Rect1").HostNotifyMessage(0, 4), 0);
  ASSERT_EQ(host.requests.size(), 1u);
  EXPECT_EQ(host.requests[0].Request, 7);
  EXPECT_EQ(host.requests[0].Data, "Rect1");
  EXPECT_EQ(host.Var("[Rect1_MaxX]"), "499");
  EXPECT_EQ(host.Var("[Rect1_MaxY]"), "349");
  ASSERT_GE(host.setLog.size(), 2u);
  EXPECT_EQ(host.setLog[host.setLog.size() - 2].first, "[Rect1_MaxX]") << "X is published before Y";
  EXPECT_EQ(Peer().Bounds().Width(), 500);
  EXPECT_EQ(Peer().Bounds().Height(), 350);
  EXPECT_EQ(Window("Rect1").DCR.ClientWidth, 500);
  EXPECT_EQ(Window("Rect1").DCR.ClientHeight, 350);

  host.ResizeObject("Rect1", 320, 200);
  Window("Rect1").HostNotifyMessage(12345, 4);  // the argument plays no part
  EXPECT_EQ(host.Var("[Rect1_MaxX]"), "319");
  EXPECT_EQ(host.Var("[Rect1_MaxY]"), "199");
  EXPECT_EQ(Peer().Bounds().Width(), 320);
}

TEST_F(DcrWindow, SizeUpdateForAnObjectThatNoLongerAnswersChangesNothing) {
  host.DeleteObject("Rect1");  // request 7 now answers 0
  host.setLog.clear();
  EXPECT_EQ(Window("Rect1").HostNotifyMessage(0, 4), 0);
  EXPECT_TRUE(host.setLog.empty());
  EXPECT_EQ(Peer().Bounds().Width(), 400);
  EXPECT_EQ(Peer().Bounds().Height(), 300);
}

TEST_F(DcrWindow, PaintingDrawsTheWindowIntoTheGivenContext) {
  Bitmap picture(40, 30, kWhite);
  picture.FillRect(10, 10, 20, 20, MakeColor(0, 0, 255));
  WriteBytes(host.Folder() + "/p.bmp", BmpBytes(picture));
  ASSERT_TRUE(host.Exec(4, {"Rect1", host.Folder() + "/p.bmp"}));

  Bitmap canvas;
  EXPECT_EQ(Window("Rect1").HostNotifyMessage(reinterpret_cast<uintptr_t>(&canvas), 5), 0);
  ASSERT_EQ(canvas.Width(), 400);
  ASSERT_EQ(canvas.Height(), 300);
  const int32_t top = TDCRFrame::kTitleHeight;
  EXPECT_EQ(canvas.Pixel(15, top + 15), MakeColor(0, 0, 255)) << "the picture sits below the title";
  EXPECT_EQ(canvas.Pixel(5, top + 5), kWhite);
  EXPECT_EQ(canvas.Pixel(200, 10), kDcrWindowLook.TitleColor);

  // The same through the script host's export, into a PNG file.
  const std::string png = host.Folder() + "/window.png";
  EXPECT_EQ(kytDCRHeadlessPaintPng("rect1", png.c_str()), 1);
  const Bitmap reread = LoadPictureFile(png);
  EXPECT_EQ(reread, canvas);
  EXPECT_EQ(kytDCRHeadlessPaintPng("Nothing", png.c_str()), 0);
}

TEST_F(DcrWindow, QueryAndUnknownSubCodesAnswerZeroAndDoNothing) {
  host.setLog.clear();
  host.requests.clear();
  for (intptr_t code : {6, 0, 1, 3, 7, 1274}) EXPECT_EQ(Window("Rect1").HostNotifyMessage(99, code), 0);
  EXPECT_EQ(Window("Rect1").HostNotifyMessage(0, 5), 0);  // no context: nothing
  EXPECT_TRUE(host.setLog.empty());
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(Peer().Bounds().Width(), 400);
}

TEST_F(DcrWindow, AsksTheDialogManagerForTheArrowKeysOnly) {
  // DLGC_WANTARROWS 1, DLGC_WANTTAB 2, DLGC_WANTALLKEYS 4, DLGC_WANTCHARS 0x80.
  for (intptr_t before : {0, 1, 2, 4, 0x80, 0x87, 0x2000})
    EXPECT_EQ(TTkytForm::GetDlgCode(before), 1) << "default answer " << before;
}

TEST_F(DcrWindow, HeadlessExportsNotifyAndReportBounds) {
  EXPECT_EQ(kytDCRHeadlessDefineWindow(host.objects["Rect1"], 640, 480), 1);
  EXPECT_EQ(kytDCRHeadlessNotify("RECT1", 0, 4), 1);
  EXPECT_EQ(host.Var("[Rect1_MaxX]"), "639");
  int32_t left = -1, top = -1, width = 0, height = 0;
  EXPECT_EQ(kytDCRHeadlessWindowBounds("Rect1", &left, &top, &width, &height), 1);
  EXPECT_EQ(left, 0);
  EXPECT_EQ(top, 0);
  EXPECT_EQ(width, 640);
  EXPECT_EQ(height, 480);
  EXPECT_EQ(kytDCRHeadlessNotify("Rect9", 0, 4), 0);
  EXPECT_EQ(kytDCRHeadlessNotify("Rect1", 0x1234, 5), 0) << "a script cannot hand over a device context";
  EXPECT_EQ(kytDCRHeadlessWindowBounds(nullptr, nullptr, nullptr, nullptr, nullptr), 0);
}

TEST_F(DcrWindow, SharedNetworkIsReplacedByEachCreationAndLivesUntilTheLastWindowGoes) {
  TBackProp* first = DcrNetwork();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(DcrWindowCount(), 1);

  WriteBytes(host.Folder() + "/kb.dcr", KnowledgeBaseBytes(2, 2, 1, 1, 2, {"k"}));
  ASSERT_TRUE(host.Exec(3, {"Rect1", host.Folder() + "/kb.dcr", "1", "2", "3"}));

  host.AddObject("Rect2", 100, 100);
  ASSERT_TRUE(host.Exec(1, {"Rect2"}));
  TBackProp* second = DcrNetwork();
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(DcrWindowCount(), 2);
  EXPECT_EQ(second->PatternCount(), 0) << "a creation replaces the shared network";

  // Removing the first window keeps the network for the second.
  ASSERT_TRUE(host.Exec(2, {"Rect1"}));
  EXPECT_EQ(DcrWindowCount(), 1);
  EXPECT_EQ(DcrNetwork(), second);
  ASSERT_TRUE(host.Exec(3, {"Rect2", host.Folder() + "/kb.dcr", "1", "2", "3"}));
  EXPECT_EQ(DcrNetwork()->PatternName(0), "k");
  EXPECT_TRUE(host.Exec(5, {"Rect2", "R"}));

  ASSERT_TRUE(host.Exec(2, {"Rect2"}));
  EXPECT_EQ(DcrWindowCount(), 0);
  EXPECT_EQ(DcrNetwork(), nullptr) << "released with the last window";

  // nbMessage(2) with several windows releases it as well.
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_TRUE(host.Exec(1, {"Rect2"}));
  nbMessage(2);
  EXPECT_EQ(DcrWindowCount(), 0);
  EXPECT_EQ(DcrNetwork(), nullptr);
  EXPECT_EQ(DcrWindows(), nullptr) << "the list itself is gone";
}

}  // namespace
}  // namespace kyt::test
