// Registration, initialisation and messages through the exported entry points.
#include <gtest/gtest.h>

#include "Cp1251.h"
#include "FakeHost.h"
#include "host/PlugInUtils.h"

namespace kyt::test {
namespace {

struct Expected {
  const char* name;
  const char* description;  // UTF-8
  std::vector<uint8_t> codes;
};

const Expected kActions[] = {
    {"kytDcrCreate", "Создать DCR-окно.", {1}},
    {"kytDcrRemove", "Удалить DCR-окно и базу знаний.", {1}},
    {"kytDcrLoadKnowledgebase", "Загрузить базу знаний с параметрами в DCR-окно.", {1, 1, 3, 3, 3}},
    {"kytDcrLoadPicture", "Загрузите изображение из файла или потока в DCR-окно.", {1, 1}},
    {"kytDcrRecognize", "Распознать текст в загруженном изображении и сохранить в переменной.", {1, 6}},
};

TEST(Registration, WithoutIniTheHostGetsTheGroupFirstThenTheFiveDefaultActions) {
  FakeHost host;
  host.Register();
  ASSERT_EQ(host.actions.size(), 6u);

  const RegisteredAction& group = host.actions[0];
  EXPECT_EQ(group.Number, 0);
  EXPECT_EQ(group.Name, "DCR");
  EXPECT_FALSE(group.DescriptionNull);
  EXPECT_EQ(group.Description, "");
  EXPECT_EQ(group.Count, 0);
  EXPECT_EQ(group.HighIndex, 0);
  EXPECT_EQ(group.TypeCodes, std::vector<uint8_t>{0});

  for (int i = 0; i < 5; ++i) {
    const RegisteredAction& a = host.actions[size_t(i + 1)];
    SCOPED_TRACE(kActions[i].name);
    EXPECT_EQ(a.Number, i + 1);
    EXPECT_EQ(a.Name, kActions[i].name);
    EXPECT_EQ(a.Description, Cp1251(kActions[i].description));
    EXPECT_EQ(a.Count, kActions[i].codes.size());
    EXPECT_EQ(a.HighIndex, int32_t(kActions[i].codes.size()) - 1);
    EXPECT_EQ(a.TypeCodes, kActions[i].codes);
  }
}

TEST(Registration, IniTextsOverrideDescriptionsWithLineBreaksButNotTheGroupNorNames) {
  FakeHost host;
  host.WriteIni(
      "[GroupDescription]\n"
      "1=My|Group\n"
      "[CommandDescription]\n"
      "kytDcrCreate=First|Second\n"
      "kytDcrRemove=Top||Bottom\n"
      "kytDcrLoadKnowledgebase=\n"
      "kytDcrRecognize=|edge|\n");
  host.Register();
  ASSERT_EQ(host.actions.size(), 6u);
  EXPECT_EQ(host.actions[0].Name, "My|Group");
  EXPECT_EQ(host.actions[1].Description, "First\r\nSecond");
  EXPECT_EQ(host.actions[2].Description, "Top\r\n\r\nBottom");
  EXPECT_EQ(host.actions[3].Description, "") << "a present empty key gives an empty text";
  EXPECT_EQ(host.actions[4].Description, Cp1251(kActions[3].description)) << "absent key keeps its default";
  EXPECT_EQ(host.actions[5].Description, "\r\nedge\r\n");
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(host.actions[size_t(i + 1)].Name, kActions[i].name);
    EXPECT_EQ(host.actions[size_t(i + 1)].TypeCodes, kActions[i].codes);
  }
}

TEST(Registration, IniWithoutTheSectionsKeepsEveryDefaultAndRegisteringAgainRepeatsTheTable) {
  FakeHost host;
  host.WriteIni("[Other]\nkytDcrCreate=ignored\n");
  host.Register();
  host.Register();
  ASSERT_EQ(host.actions.size(), 12u);
  EXPECT_EQ(host.actions[6].Name, "DCR");
  EXPECT_EQ(host.actions[7].Description, Cp1251(kActions[0].description));
}

TEST(Registration, AnIniFileLeftBehindFromAnEarlierRegistrationNoLongerCountsOnceRemoved) {
  FakeHost host;
  host.WriteIni("[CommandDescription]\nkytDcrCreate=Changed\n");
  host.Register();
  EXPECT_EQ(host.actions[1].Description, "Changed");
  std::remove(host.IniPath().c_str());
  host.actions.clear();
  host.Register();
  EXPECT_EQ(host.actions[1].Description, Cp1251(kActions[0].description));
}

TEST(InitPlugIn, GivesFreshStringsEachTimeAndReleasesTheEarlierOnes) {
  FakeHost host;
  host.Register();
  char* title = NewHostString("old title");
  char* publisher = nullptr;
  char* hint = NewHostString("old hint");
  EXPECT_EQ(host.platform.LiveHostStrings, 2);

  nbInitPlugIn(0, &title, &publisher, &hint);
  ASSERT_NE(title, nullptr);
  ASSERT_NE(publisher, nullptr);
  ASSERT_NE(hint, nullptr);
  EXPECT_STREQ(title, "kytDCR 1.01");
  EXPECT_GT(std::string(publisher).size(), 0u);
  EXPECT_EQ(std::string(hint), Cp1251("Плагин для распознавания символов."));
  EXPECT_EQ(host.platform.LiveHostStrings, 3) << "the two old strings are released";

  char* const first[3] = {title, publisher, hint};
  nbInitPlugIn(0, &title, &publisher, &hint);
  EXPECT_NE(title, first[0]);
  EXPECT_NE(publisher, first[1]);
  EXPECT_NE(hint, first[2]);
  EXPECT_STREQ(title, "kytDCR 1.01");
  EXPECT_EQ(host.platform.LiveHostStrings, 3);

  FreeHostString(&title);
  FreeHostString(&publisher);
  FreeHostString(&hint);
}

TEST(InitPlugIn, HintComesFromTheIniWithLineBreaks) {
  FakeHost host;
  host.WriteIni("[PlugInHeader]\nPlugInHint=One|Two\n");
  char* title = nullptr;
  char* publisher = nullptr;
  char* hint = nullptr;
  nbInitPlugIn(0, &title, &publisher, &hint);
  ASSERT_NE(hint, nullptr);
  EXPECT_STREQ(hint, "One\r\nTwo");
  FreeHostString(&title);
  FreeHostString(&publisher);
  FreeHostString(&hint);
}

TEST(Message, OnePublishesTheModulePathThreeDoesNothing) {
  FakeHost host;
  host.Register();
  nbMessage(1);
  EXPECT_EQ(host.Var("[*/*kytDCRDllName]"), host.Folder() + "/kytDCR.nbp");

  host.AddObject("Rect1", 100, 80);
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  host.setLog.clear();
  host.requests.clear();
  nbMessage(3);
  nbMessage(-1);
  EXPECT_TRUE(host.setLog.empty());
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(host.platform.Peers().size(), 1u) << "other codes leave the windows alone";
}

TEST(Message, TwoDestroysEveryWindowAndCreatingWorksAgainAfterwards) {
  FakeHost host;
  host.Register();
  nbMessage(2);  // no window ever created: nothing happens
  host.AddObject("Rect1", 100, 80);
  host.AddObject("Rect2", 60, 40);
  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  ASSERT_TRUE(host.Exec(1, {"Rect2"}));
  EXPECT_EQ(host.platform.Peers().size(), 2u);

  nbMessage(2);
  EXPECT_TRUE(host.platform.Peers().empty());
  EXPECT_FALSE(host.Exec(5, {"Rect1", "Result"})) << "no window is left for Rect1";

  ASSERT_TRUE(host.Exec(1, {"Rect1"}));
  EXPECT_EQ(host.platform.Peers().size(), 1u);
}

}  // namespace
}  // namespace kyt::test
