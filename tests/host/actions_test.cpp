// The five actions run through nbExecAction, with every failure they report.
#include <gtest/gtest.h>

#include "Cp1251.h"
#include "FakeHost.h"
#include "TestFiles.h"
#include "host/DcrRegistry.h"
#include "platform/headless/HeadlessPlatform.h"
#include "recognition/BackPropCls.h"
#include "window/kytForm.h"

namespace kyt::test {
namespace {

const std::string kNoWindow = "There is no DCR control attached to an object named ";

TTkytForm& Window(const std::string& name) {
  const int32_t index = FindDcrWindow(name);
  if (index < 0) throw std::runtime_error("no window for " + name);
  return DcrWindowAt(index);
}

class Actions : public ::testing::Test {
 protected:
  void SetUp() override {
    host.Register();
    rect1 = host.AddObject("Rect1", 400, 300);
  }
  std::string File(const std::string& name) const { return host.Folder() + "/" + name; }
  // A small knowledge base (2 x 3 glyph grid) written to a file.
  std::string SmallKnowledgeBase() const {
    const std::string path = File("small.dcr");
    WriteBytes(path, KnowledgeBaseBytes(2, 3, 1, 2, 4, {"a", "b"}));
    return path;
  }

  FakeHost host;
  uint32_t rect1 = 0;
};

TEST_F(Actions, CreateLaysAVisibleWindowOverTheObjectsClientArea) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_EQ(host.platform.Peers().size(), 1u);
  HeadlessWindowPeer* peer = host.platform.Peers()[0];
  EXPECT_EQ(peer->Parent(), rect1);
  EXPECT_TRUE(peer->Visible());
  EXPECT_TRUE(peer->TopOfZOrder());
  EXPECT_EQ(peer->Bounds().Left, 0);
  EXPECT_EQ(peer->Bounds().Top, 0);
  EXPECT_EQ(peer->Bounds().Width(), 400);
  EXPECT_EQ(peer->Bounds().Height(), 300);

  TTkytForm& form = Window("Rect1");
  EXPECT_EQ(form.ObjectName, "Rect1");
  EXPECT_EQ(form.DCR.ClientWidth, 400);
  EXPECT_EQ(form.DCR.ClientHeight, 300);
  EXPECT_EQ(form.DCR.BWThreshold, 196);
  EXPECT_EQ(form.DCR.NoiseThreshold, 10);
  EXPECT_EQ(form.DCR.SpaceWidth, 22);
  EXPECT_TRUE(host.platform.HintWithoutShadow);

  ASSERT_NE(DcrNetwork(), nullptr);
  EXPECT_EQ(DcrNetwork()->InputRows, 20);
  EXPECT_EQ(DcrNetwork()->InputCols, 20);
  EXPECT_EQ(DcrNetwork()->OutputRows, 20);
  EXPECT_EQ(DcrNetwork()->OutputCols, 20);
  EXPECT_EQ(DcrNetwork()->HiddenCount, 50);

  // Request 6 with null data, then request 7 with a copy of the name.
  ASSERT_EQ(host.requests.size(), 2u);
  EXPECT_EQ(host.requests[0].Request, 6);
  EXPECT_FALSE(host.requests[0].Data.has_value());
  EXPECT_EQ(host.requests[1].Request, 7);
  EXPECT_EQ(host.requests[1].Data, "Rect1");
  EXPECT_FALSE(host.Var("[LastError]").has_value()) << "success writes nothing";
}

TEST_F(Actions, CreatingTwiceForOneNameLeavesOnlyTheNewerWindowWithAFreshNetwork) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_TRUE(host.Exec(3, {"Rect1", SmallKnowledgeBase(), "100", "5", "9"}));
  ASSERT_EQ(DcrNetwork()->InputCols, 3);
  const uintptr_t first = host.platform.Peers()[0]->Handle();

  host.objects["rect1"] = rect1;  // the host finds its object under either spelling
  ASSERT_TRUE(host.Exec(1, {"rect1"}));
  ASSERT_EQ(host.platform.Peers().size(), 1u);
  EXPECT_NE(host.platform.Peers()[0]->Handle(), first) << "the old system window is gone";
  ASSERT_EQ(DcrWindows()->size(), 1u);
  EXPECT_EQ((*DcrWindows())[0]->ObjectName, "rect1");
  EXPECT_EQ((*DcrWindows())[0]->DCR.BWThreshold, 196) << "the new window starts at the defaults";
  EXPECT_EQ(DcrNetwork()->InputCols, 20) << "the knowledge base must be loaded again";
  EXPECT_EQ(DcrNetwork()->PatternCount(), 0);
}

TEST_F(Actions, LatinNamesMatchWhateverTheCaseCyrillicOnlyExactly) {
  const std::string upper = Cp1251("ПРЯМОУГОЛЬНИК"), lower = Cp1251("прямоугольник");
  host.AddObject(upper, 50, 50);
  host.AddObject(lower, 60, 60);
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_TRUE(host.Exec(1, {upper}));
  ASSERT_TRUE(host.Exec(1, {lower}));
  EXPECT_EQ(host.platform.Peers().size(), 3u) << "Cyrillic names differing in case are different windows";

  EXPECT_TRUE(host.Exec(5, {"rECT1", "Out"}));
  EXPECT_TRUE(host.Var("[Out]").has_value());
  EXPECT_NE(FindDcrWindow(upper), FindDcrWindow(lower));
  EXPECT_EQ(FindDcrWindow("RECT1"), FindDcrWindow("Rect1"));
  EXPECT_EQ(FindDcrWindow("Rect1 "), -1);
  EXPECT_EQ(FindDcrWindow("Rect"), -1);

  EXPECT_TRUE(host.Exec(2, {"RECT1"}));
  EXPECT_TRUE(host.Exec(2, {lower}));
  ASSERT_EQ(DcrWindows()->size(), 1u);
  EXPECT_EQ((*DcrWindows())[0]->ObjectName, upper);
}

TEST_F(Actions, CreateFailsWithoutObjectHandleSupport) {
  host.Register(/*interfaceAccess=*/false);
  EXPECT_FALSE(host.Exec(1, {"Rect1"}));
  EXPECT_EQ(host.LastError(), "This function requires NeoBook 4.0.9 or higher.");
  EXPECT_TRUE(host.platform.Peers().empty());

  host.Register(/*interfaceAccess=*/true);
  host.answerRequest6 = false;  // request 6 leaves the data null
  host.variables.erase("[LastError]");
  EXPECT_FALSE(host.Exec(1, {"Rect1"}));
  EXPECT_EQ(host.LastError(), "This function requires NeoBook 4.0.9 or higher.");
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_EQ(DcrNetwork(), nullptr);
}

TEST_F(Actions, CreateFailsForAnObjectThatTheHostDoesNotKnow) {
  const std::string message = Cp1251("Объект с именем") + "Nowhere" + Cp1251(" не существует.");
  EXPECT_FALSE(host.Exec(1, {"Nowhere"}));
  EXPECT_EQ(host.LastError(), message);

  for (const char* answer : {"0", "abc", "", "12abc", "4294967296"}) {
    SCOPED_TRACE(answer);
    host.variables.erase("[LastError]");
    host.rawAnswers7["Nowhere"] = answer;
    EXPECT_FALSE(host.Exec(1, {"Nowhere"}));
    EXPECT_EQ(host.LastError(), message);
  }
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_EQ(DcrNetwork(), nullptr);

  // A null slot is an empty name.
  EXPECT_FALSE(host.Exec(1, {std::nullopt}));
  EXPECT_EQ(host.LastError(), Cp1251("Объект с именем") + Cp1251(" не существует."));
}

TEST_F(Actions, TheWindowHandleIsTheLow32BitsOfTheAnswer) {
  host.rawAnswers7["Rect1"] = " " + std::to_string((uint64_t(1) << 32) + rect1);
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_EQ(host.platform.Peers()[0]->Parent(), rect1);
}

TEST_F(Actions, CreateOverAHandleThatIsNoWindowFailsCleanly) {
  host.rawAnswers7["Rect1"] = "999999";
  EXPECT_FALSE(host.Exec(1, {"Rect1"}));
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_EQ(DcrWindows() ? DcrWindows()->size() : 0u, 0u);
  EXPECT_EQ(DcrNetwork(), nullptr) << "the failed window's network is released";
  EXPECT_EQ(DcrWindowCount(), 0);
}

TEST_F(Actions, RemoveWithoutAWindowFailsSilently) {
  host.SetVar("[LastError]", "earlier");
  EXPECT_FALSE(host.Exec(2, {"Rect1"}));
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_TRUE(host.Exec(2, {"Rect1"}));
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_FALSE(host.Exec(2, {"Rect1"}));
  EXPECT_EQ(host.LastError(), "earlier");
}

TEST_F(Actions, ActionsOnANameWithoutWindowReportIt) {
  EXPECT_FALSE(host.Exec(3, {"Ghost", SmallKnowledgeBase(), "1", "2", "3"}));
  EXPECT_EQ(host.LastError(), kNoWindow + "Ghost.");
  host.variables.erase("[LastError]");
  EXPECT_FALSE(host.Exec(4, {"Ghost2", File("none.bmp")}));
  EXPECT_EQ(host.LastError(), kNoWindow + "Ghost2.");
  host.variables.erase("[LastError]");
  EXPECT_FALSE(host.Exec(5, {"Ghost3", "Result"}));
  EXPECT_EQ(host.LastError(), kNoWindow + "Ghost3.");
  EXPECT_FALSE(host.Var("[Result]").has_value());
  EXPECT_TRUE(host.streamRequests.empty());
}

TEST_F(Actions, LoadKnowledgebaseStoresTheParametersInTheNamedWindowOnly) {
  host.AddObject("Rect2", 100, 100);
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_TRUE(host.Exec(1, {"Rect2"}));
  ASSERT_TRUE(host.Exec(3, {"Rect1", SmallKnowledgeBase(), " 150", "$0C", "-3"}));
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 150);
  EXPECT_EQ(Window("Rect1").DCR.NoiseThreshold, 12);
  EXPECT_EQ(Window("Rect1").DCR.SpaceWidth, -3);
  EXPECT_EQ(Window("Rect2").DCR.BWThreshold, 196);
  EXPECT_EQ(DcrNetwork()->InputRows, 2);
  EXPECT_EQ(DcrNetwork()->InputCols, 3);
  EXPECT_EQ(DcrNetwork()->PatternCount(), 2);
  EXPECT_FALSE(host.Var("[LastError]").has_value());
}

TEST_F(Actions, AThresholdThatIsNoNumberStopsAfterTheNetworkAndTheEarlierFields) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_FALSE(host.Exec(3, {"Rect1", SmallKnowledgeBase(), "150", "abc", "30"}));
  EXPECT_EQ(host.LastError(), "'abc' is not a valid integer value");
  EXPECT_EQ(DcrNetwork()->InputCols, 3) << "the network stays loaded";
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 150);
  EXPECT_EQ(Window("Rect1").DCR.NoiseThreshold, 10);
  EXPECT_EQ(Window("Rect1").DCR.SpaceWidth, 22);
}

TEST_F(Actions, AMissingKnowledgeBaseFileIsReportedAndChangesNothing) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_FALSE(host.Exec(3, {"Rect1", File("missing.dcr"), "1", "2", "3"}));
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_EQ(DcrNetwork()->InputCols, 20);
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 196);
  EXPECT_TRUE(host.streamRequests.empty()) << "a plain name is never asked of the host";
}

TEST_F(Actions, AnEmbeddedSourceAnywhereInTheTextGoesWholeToTheHostsStream) {
  const std::string source = "[Embedded]embedded:\\\\\\small.dcr";
  host.embedded[source] = KnowledgeBaseBytes(2, 3, 1, 2, 4, {"x"});
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_TRUE(host.Exec(3, {"Rect1", source, "100", "7", "8"}));
  ASSERT_EQ(host.streamRequests.size(), 1u);
  EXPECT_EQ(host.streamRequests[0], source);
  EXPECT_EQ(DcrNetwork()->InputCols, 3);
  EXPECT_EQ(DcrNetwork()->PatternName(0), "x");
  EXPECT_EQ(Window("Rect1").DCR.SpaceWidth, 8);
  EXPECT_FALSE(host.Var("[LastError]").has_value());
}

TEST_F(Actions, EmbeddedLoadFailuresAreReportedByTheLoaderAndTheParametersStillApply) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  const std::string source = "embedded:\\\\\\absent.dcr";
  EXPECT_TRUE(host.Exec(3, {"Rect1", source, "120", "4", "16"}));
  EXPECT_EQ(host.LastError(), "File not found.");
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 120);
  EXPECT_EQ(Window("Rect1").DCR.SpaceWidth, 16);
  EXPECT_EQ(DcrNetwork()->InputCols, 20);

  host.embedded[source] = KnowledgeBaseBytes(2, 3, 1, 2, 4, {"x"});
  host.failStreamReads = true;
  host.variables.erase("[LastError]");
  EXPECT_TRUE(host.Exec(3, {"Rect1", source, "121", "4", "16"}));
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 121);
  EXPECT_EQ(DcrNetwork()->InputCols, 20) << "a stream that cannot be copied leaves the network alone";

  host.Register(/*interfaceAccess=*/true, /*streamAccess=*/false);
  host.failStreamReads = false;
  EXPECT_TRUE(host.Exec(3, {"Rect1", source, "122", "4", "16"}));
  EXPECT_EQ(host.LastError(), "This feature requires NeoBook 5.0.0 or higher.");
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 122);
  EXPECT_EQ(DcrNetwork()->InputCols, 20);
}

TEST_F(Actions, LoadPictureFromAFileAndFromAHostVariable) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  Bitmap picture(30, 20, kWhite);
  picture.FillRect(5, 5, 10, 15, kBlack);
  const std::vector<uint8_t> bmp = BmpBytes(picture);
  WriteBytes(File("picture.BMP"), bmp);

  ASSERT_TRUE(host.Exec(4, {"Rect1", File("picture.BMP")}));
  EXPECT_EQ(Window("Rect1").DCR.Picture, picture);

  Bitmap second(12, 7, MakeColor(200, 0, 0));
  host.SetVar("[shot.bmp.MimeStreamContent]", Base64(BmpBytes(second)));
  ASSERT_TRUE(host.Exec(4, {"Rect1", "mimestream:\\\\\\shot.bmp"}));
  EXPECT_EQ(Window("Rect1").DCR.Picture, second);

  // An empty variable loads nothing and reports nothing.
  ASSERT_TRUE(host.Exec(4, {"Rect1", "mimestream:\\\\\\empty.png"}));
  EXPECT_EQ(Window("Rect1").DCR.Picture, second);
  EXPECT_FALSE(host.Var("[LastError]").has_value());
}

TEST_F(Actions, PictureFailuresGoToLastErrorExceptTheUnsupportedVariableFormat) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  const Bitmap before = Window("Rect1").DCR.Picture;

  EXPECT_FALSE(host.Exec(4, {"Rect1", File("missing.png")}));
  EXPECT_FALSE(host.LastError().empty());
  host.variables.erase("[LastError]");
  WriteBytes(File("picture.gif"), {'G', 'I', 'F', '8', '9', 'a'});
  EXPECT_FALSE(host.Exec(4, {"Rect1", File("picture.gif")}));
  EXPECT_FALSE(host.LastError().empty());
  host.variables.erase("[LastError]");
  WriteBytes(File("broken.png"), {1, 2, 3, 4, 5});
  EXPECT_FALSE(host.Exec(4, {"Rect1", File("broken.png")}));
  EXPECT_FALSE(host.LastError().empty());
  EXPECT_EQ(Window("Rect1").DCR.Picture, before);

  // The variable form accepts .BMP, .JPG and .PNG only: a message box, no report, success.
  host.variables.erase("[LastError]");
  host.SetVar("[photo.Gif.MimeStreamContent]", Base64({1, 2, 3}));
  EXPECT_TRUE(host.Exec(4, {"Rect1", "mimestream:\\\\\\photo.Gif"}));
  ASSERT_EQ(host.platform.Messages.size(), 1u);
  EXPECT_EQ(host.platform.Messages[0], Cp1251("Формат файла .Gif не поддерживается!"));
  EXPECT_FALSE(host.Var("[LastError]").has_value());
  EXPECT_EQ(Window("Rect1").DCR.Picture, before);
}

TEST_F(Actions, RecognizeWritesTheTextIntoTheBracketedVariable) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  // Right after creation the untrained network runs (it knows no patterns).
  host.SetVar("[Result]", "stale");
  EXPECT_TRUE(host.Exec(5, {"Rect1", "Result"}));
  ASSERT_TRUE(host.Var("[Result]").has_value());
  EXPECT_EQ(*host.Var("[Result]"), Window("Rect1").DCR.ResultText);
  EXPECT_NE(*host.Var("[Result]"), "stale");

  // With a knowledge base of one pattern every glyph is that pattern.
  WriteBytes(File("one.dcr"), KnowledgeBaseBytes(4, 4, 1, 1, 3, {"Q"}));
  ASSERT_TRUE(host.Exec(3, {"Rect1", File("one.dcr"), "128", "0", "22"}));
  Bitmap picture(60, 20, kWhite);
  picture.FillRect(5, 5, 10, 15, kBlack);
  picture.FillRect(15, 5, 20, 15, kBlack);
  WriteBytes(File("two.bmp"), BmpBytes(picture));
  ASSERT_TRUE(host.Exec(4, {"Rect1", File("two.bmp")}));
  EXPECT_TRUE(host.Exec(5, {"Rect1", "Text"}));
  EXPECT_EQ(host.Var("[Text]"), "QQ ");
  EXPECT_FALSE(host.Var("[LastError]").has_value());
}

TEST_F(Actions, NumbersOutsideOneToFiveDoNothing) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  host.setLog.clear();
  host.requests.clear();
  for (int32_t action : {0, 6, -1, 100}) {
    EXPECT_FALSE(host.Exec(action, {"Rect1", "Result", "1", "2", "3"}));
  }
  EXPECT_TRUE(host.setLog.empty());
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(host.platform.Peers().size(), 1u);
}

TEST_F(Actions, SlotsBeyondTheHostsHighestIndexReadAsEmpty) {
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  // The array holds valid numbers past index 1, but the host says only 0 and 1 exist.
  EXPECT_FALSE(host.Exec(3, {"Rect1", SmallKnowledgeBase(), "7", "8", "9"}, 1));
  EXPECT_EQ(host.LastError(), "'' is not a valid integer value");
  EXPECT_EQ(Window("Rect1").DCR.BWThreshold, 196);
  EXPECT_EQ(DcrNetwork()->InputCols, 3) << "the two passed slots were used";

  // No slots at all, and no array at all: empty texts, no crash.
  host.variables.erase("[LastError]");
  EXPECT_FALSE(host.Exec(5, {"Rect1", "Result"}, -1));
  EXPECT_EQ(host.LastError(), kNoWindow + ".");
  host.variables.erase("[LastError]");
  EXPECT_FALSE(nbExecAction(5, nullptr, 4));
  EXPECT_EQ(host.LastError(), kNoWindow + ".");
}

}  // namespace
}  // namespace kyt::test
