// nbEditAction and nbAbout: which dialog each action gets, how it is filled,
// and how the author's values reach the host's slots.
#include <gtest/gtest.h>

#include "Cp1251.h"
#include "FakeHost.h"

namespace kyt::test {
namespace {

class Editor : public ::testing::Test {
 protected:
  void SetUp() override { host.Register(); }
  FakeHost host;
};

TEST_F(Editor, ActionsOutsideOneToFiveShowNothing) {
  host.platform.EditDialogAnswer = [](EditDialog&) { return kModalOk; };
  Slots slots({"a", "b"});
  for (int32_t action : {0, 6, -3}) EXPECT_EQ(nbEditAction(action, slots.Data(), slots.HighIndex()), 0);
  EXPECT_TRUE(host.platform.EditDialogs.empty());
  EXPECT_EQ(slots.Text(0), "a");
}

TEST_F(Editor, CreateAndRemoveShareOneFormWithTheirOwnCaptions) {
  Slots slots({"Rect1"});
  EXPECT_EQ(nbEditAction(1, slots.Data(), slots.HighIndex()), 0);  // nobody pressed OK
  EXPECT_EQ(nbEditAction(2, slots.Data(), slots.HighIndex()), 0);
  ASSERT_EQ(host.platform.EditDialogs.size(), 2u);
  const EditDialog& create = host.platform.EditDialogs[0];
  const EditDialog& remove = host.platform.EditDialogs[1];
  EXPECT_EQ(create.FormClass, "TEditForm1");
  EXPECT_EQ(remove.FormClass, "TEditForm1");
  EXPECT_EQ(create.Caption, "kytDcrCreate" + Cp1251(" Свойства"));
  EXPECT_EQ(remove.Caption, "kytDcrRemove" + Cp1251(" Свойства"));
  EXPECT_EQ(create.CommandBox, "kytDcrCreate  (kytDCR)");
  EXPECT_EQ(remove.CommandBox, "kytDcrRemove  (kytDCR)");
  EXPECT_EQ(create.CommandLabel, Cp1251("Создать DCR-окно."));
  EXPECT_EQ(remove.CommandLabel, Cp1251("Удалить DCR-окно и базу знаний."));
  EXPECT_EQ(create.Panels, std::vector<std::string>{""}) << "the form keeps its own panel caption";
  EXPECT_EQ(create.Fields, std::vector<std::string>{"Rect1"});
}

TEST_F(Editor, LoadKnowledgebaseMapsItsFiveSlotsToTheFieldsTopToBottom) {
  host.platform.EditDialogAnswer = [](EditDialog&) { return kModalCancel; };
  Slots slots({"Rect1", "kb.dcr", "196", std::nullopt, "22"});
  EXPECT_EQ(nbEditAction(3, slots.Data(), slots.HighIndex()), 0);
  ASSERT_EQ(host.platform.EditDialogs.size(), 1u);
  const EditDialog& d = host.platform.EditDialogs[0];
  EXPECT_EQ(d.FormClass, "TEditForm5KL");
  EXPECT_EQ(d.Fields, (std::vector<std::string>{"Rect1", "kb.dcr", "196", "", "22"}));
  EXPECT_EQ(d.Panels, (std::vector<std::string>{Cp1251("Прямоугольник с DCR для загрузки базы знаний:"),
                                                Cp1251("Имя файла базы знаний для загрузки:"),
                                                Cp1251("B/W Порог:"), Cp1251("Шумовой порог:"),
                                                Cp1251("Ширина пробела:")}));
}

TEST_F(Editor, PictureAndRecognizeFormsAndTheirPanels) {
  Slots slots({"Rect1", "x"});
  nbEditAction(4, slots.Data(), slots.HighIndex());
  nbEditAction(5, slots.Data(), slots.HighIndex());
  ASSERT_EQ(host.platform.EditDialogs.size(), 2u);
  const EditDialog& picture = host.platform.EditDialogs[0];
  const EditDialog& recognize = host.platform.EditDialogs[1];
  EXPECT_EQ(picture.FormClass, "TEditForm2FL");
  EXPECT_EQ(picture.Panels, (std::vector<std::string>{Cp1251("Прямоугольник с DCR для загрузки изображения:"),
                                                      Cp1251("Имя файла изображения для загрузки")}));
  EXPECT_EQ(recognize.FormClass, "TEditForm2RC");
  EXPECT_EQ(recognize.CommandBox, "kytDcrRecognize  (kytDCR)");
  EXPECT_EQ(recognize.Panels, (std::vector<std::string>{Cp1251("Прямоугольник с DCR для распознавания текста"),
                                                        Cp1251("Сохранить результат в переменной:")}));
  EXPECT_EQ(recognize.Fields, (std::vector<std::string>{"Rect1", "x"}));
}

TEST_F(Editor, TheDescriptionShownIsTheOneRegisteredWithItsLineBreaks) {
  host.WriteIni("[CommandDescription]\nkytDcrRecognize=Read|the text\n[GroupDescription]\n1=Other\n");
  host.Register();
  Slots slots({"", ""});
  nbEditAction(5, slots.Data(), slots.HighIndex());
  ASSERT_EQ(host.platform.EditDialogs.size(), 1u);
  EXPECT_EQ(host.platform.EditDialogs[0].CommandLabel, "Read\r\nthe text");
  EXPECT_EQ(host.platform.EditDialogs[0].CommandBox, "kytDcrRecognize  (kytDCR)") << "not the INI group";
}

TEST_F(Editor, OkRewritesEverySlotWithANewBufferCancelTouchesNone) {
  Slots slots({"Rect1", "old.dcr", "196", std::nullopt, "22"});
  char* const before[5] = {slots[0], slots[1], slots[2], slots[3], slots[4]};

  host.platform.EditDialogAnswer = [](EditDialog& d) {
    d.Fields[1] = "new.dcr";
    d.Fields[4] = "";
    return kModalCancel;
  };
  EXPECT_EQ(nbEditAction(3, slots.Data(), slots.HighIndex()), 0);
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(slots[i], before[i]) << "slot " << i;
  EXPECT_EQ(slots.Text(1), "old.dcr");

  host.platform.EditDialogAnswer = [](EditDialog& d) {
    d.Fields[1] = "new.dcr";
    d.Fields[4] = "";
    return kModalOk;
  };
  EXPECT_EQ(nbEditAction(3, slots.Data(), slots.HighIndex()), 1);
  for (size_t i = 0; i < 5; ++i) {
    ASSERT_NE(slots[i], nullptr) << "slot " << i;
    EXPECT_NE(slots[i], before[i]) << "slot " << i << " gets a new buffer, changed or not";
  }
  EXPECT_EQ(slots.Text(0), "Rect1");
  EXPECT_EQ(slots.Text(1), "new.dcr");
  EXPECT_EQ(slots.Text(2), "196");
  EXPECT_EQ(slots.Text(3), "") << "a null slot comes back as an empty text";
  EXPECT_EQ(slots.Text(4), "") << "an emptied field is a one-byte buffer";
  EXPECT_EQ(slots[4][0], '\0');
  EXPECT_EQ(host.platform.LiveHostStrings, 5) << "the old buffers were released";
}

TEST_F(Editor, OnlyTheSlotsTheHostPassedAreReadAndWritten) {
  Slots slots({"Rect1", "kb", "sentinel2", "sentinel3", "sentinel4"});
  char* const beyond[3] = {slots[2], slots[3], slots[4]};
  host.platform.EditDialogAnswer = [](EditDialog& d) {
    for (auto& f : d.Fields) f += "!";
    return kModalOk;
  };
  EXPECT_EQ(nbEditAction(3, slots.Data(), 1), 1);
  ASSERT_EQ(host.platform.EditDialogs.size(), 1u);
  EXPECT_EQ(host.platform.EditDialogs[0].Fields, (std::vector<std::string>{"Rect1!", "kb!", "!", "!", "!"}));
  EXPECT_EQ(slots.Text(0), "Rect1!");
  EXPECT_EQ(slots.Text(1), "kb!");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(slots[i + 2], beyond[i]);
  EXPECT_EQ(slots.Text(2), "sentinel2");
}

TEST_F(Editor, AboutShowsTheAboutBox) {
  nbAbout();
  EXPECT_EQ(host.platform.AboutBoxes, 1);
}

}  // namespace
}  // namespace kyt::test
