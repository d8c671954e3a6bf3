// nbEditAction and nbAbout: which form each action gets, how it is filled,
// how the author's values reach the host's slots, and what the forms' buttons
// do with the host's pickers and the file dialogs.
#include <gtest/gtest.h>

#include <functional>

#include "Cp1251.h"
#include "FakeHost.h"
#include "editor/About.h"
#include "editor/Edit1.h"
#include "editor/Edit2FL.h"
#include "editor/Edit2RC.h"
#include "editor/Edit5KL.h"
#include "resources/FormPictures.h"

namespace kyt::test {
namespace {

using Driver = std::function<void(HeadlessForm&)>;

class Editor : public ::testing::Test {
 protected:
  void SetUp() override { host.Register(); }
  // nbEditAction with the slots, the form worked by `driver`.
  bool Edit(int32_t action, Slots& slots, Driver driver) {
    host.platform.FormDriver = std::move(driver);
    return nbEditAction(action, slots.Data(), slots.HighIndex()) != 0;
  }
  const forms::FormTexts& Shown(size_t i = 0) { return host.platform.Forms.at(i).Texts; }
  FakeHost host;
};

TEST_F(Editor, ActionsOutsideOneToFiveShowNothing) {
  Slots slots({"a", "b"});
  host.platform.FormDriver = [](HeadlessForm& f) { f.Click("OKBtn"); };
  for (int32_t action : {0, 6, -3}) EXPECT_EQ(nbEditAction(action, slots.Data(), slots.HighIndex()), 0);
  EXPECT_TRUE(host.platform.Forms.empty());
  EXPECT_EQ(slots.Text(0), "a");
}

TEST_F(Editor, CreateAndRemoveShareOneFormWithTheirOwnCaptions) {
  Slots slots({"Rect1"});
  EXPECT_EQ(nbEditAction(1, slots.Data(), slots.HighIndex()), 0);  // nobody pressed OK
  EXPECT_EQ(nbEditAction(2, slots.Data(), slots.HighIndex()), 0);
  ASSERT_EQ(host.platform.Forms.size(), 2u);
  const auto& create = host.platform.Forms[0];
  const auto& remove = host.platform.Forms[1];
  EXPECT_EQ(create.Name, "TEditForm1");
  EXPECT_EQ(remove.Name, "TEditForm1");
  EXPECT_EQ(create.Texts.Caption, "kytDcrCreate" + Cp1251(" Свойства"));
  EXPECT_EQ(remove.Texts.Caption, "kytDcrRemove" + Cp1251(" Свойства"));
  EXPECT_EQ(create.Texts["NeoBookCommandBox"], "kytDcrCreate  (kytDCR)");
  EXPECT_EQ(remove.Texts["NeoBookCommandBox"], "kytDcrRemove  (kytDCR)");
  EXPECT_EQ(create.Texts["CommandLabel"], Cp1251("Создать DCR-окно."));
  EXPECT_EQ(remove.Texts["CommandLabel"], Cp1251("Удалить DCR-окно и базу знаний."));
  EXPECT_EQ(create.Texts["NeoBookPanel1"], Cp1251("Объект Прямоугольник (Rectangle):"))
      << "the form keeps its own panel caption";
  EXPECT_EQ(create.Texts["Edit1"], "Rect1");
}

TEST_F(Editor, LoadKnowledgebaseMapsItsFiveSlotsToTheFieldsTopToBottom) {
  Slots slots({"Rect1", "kb.dcr", "196", std::nullopt, "22"});
  EXPECT_FALSE(Edit(3, slots, [](HeadlessForm& f) { f.Click("CancelBtn"); }));
  ASSERT_EQ(host.platform.Forms.size(), 1u);
  EXPECT_EQ(host.platform.Forms[0].Name, "TEditForm5KL");
  const auto& t = Shown();
  EXPECT_EQ(t["Edit1"], "Rect1");
  EXPECT_EQ(t["EditVar2"], "kb.dcr");
  EXPECT_EQ(t["EditVar3"], "196");
  EXPECT_EQ(t["EditVar4"], "") << "a null slot shows as an empty field";
  EXPECT_EQ(t["EditVar5"], "22");
  EXPECT_EQ(t["NeoBookPanel1"], Cp1251("Прямоугольник с DCR для загрузки базы знаний:"));
  EXPECT_EQ(t["NeoBookPanel2"], Cp1251("Имя файла базы знаний для загрузки:"));
  EXPECT_EQ(t["NeoBookPanel3"], Cp1251("B/W Порог:"));
  EXPECT_EQ(t["NeoBookPanel4"], Cp1251("Шумовой порог:"));
  EXPECT_EQ(t["NeoBookPanel5"], Cp1251("Ширина пробела:"));
  // Top to bottom in the form: the panels of slots 0 to 4 follow each other downwards.
  const forms::Form& layout = editor::EditForm5KLLayout();
  int16_t last = -1;
  for (const char* panel : {"NeoBookPanel1", "NeoBookPanel2", "NeoBookPanel3", "NeoBookPanel4", "NeoBookPanel5"}) {
    EXPECT_GT(forms::FindControl(layout, panel)->Top, last) << panel;
    last = forms::FindControl(layout, panel)->Top;
  }
}

TEST_F(Editor, PictureAndRecognizeFormsAndTheirPanels) {
  Slots slots({"Rect1", "x"});
  nbEditAction(4, slots.Data(), slots.HighIndex());
  nbEditAction(5, slots.Data(), slots.HighIndex());
  ASSERT_EQ(host.platform.Forms.size(), 2u);
  const auto& picture = host.platform.Forms[0];
  const auto& recognize = host.platform.Forms[1];
  EXPECT_EQ(picture.Name, "TEditForm2FL");
  EXPECT_EQ(picture.Texts["NeoBookPanel1"], Cp1251("Прямоугольник с DCR для загрузки изображения:"));
  EXPECT_EQ(picture.Texts["NeoBookPanel2"], Cp1251("Имя файла изображения для загрузки"));
  EXPECT_EQ(recognize.Name, "TEditForm2RC");
  EXPECT_EQ(recognize.Texts["NeoBookCommandBox"], "kytDcrRecognize  (kytDCR)");
  EXPECT_EQ(recognize.Texts["NeoBookPanel1"], Cp1251("Прямоугольник с DCR для распознавания текста"));
  EXPECT_EQ(recognize.Texts["NeoBookPanel2"], Cp1251("Сохранить результат в переменной:"));
  EXPECT_EQ(recognize.Texts["Edit1"], "Rect1");
  EXPECT_EQ(recognize.Texts["EditVar2"], "x");
}

TEST_F(Editor, TheDescriptionShownIsTheOneRegisteredWithItsLineBreaks) {
  host.WriteIni("[CommandDescription]\nkytDcrRecognize=Read|the text\n[GroupDescription]\n1=Other\n");
  host.Register();
  Slots slots({"", ""});
  nbEditAction(5, slots.Data(), slots.HighIndex());
  ASSERT_EQ(host.platform.Forms.size(), 1u);
  EXPECT_EQ(Shown()["CommandLabel"], "Read\r\nthe text");
  EXPECT_EQ(Shown()["NeoBookCommandBox"], "kytDcrRecognize  (kytDCR)") << "not the INI group";
}

TEST_F(Editor, OkRewritesEverySlotWithANewBufferEveryOtherEndingTouchesNone) {
  Slots slots({"Rect1", "old.dcr", "196", std::nullopt, "22"});
  char* const before[5] = {slots[0], slots[1], slots[2], slots[3], slots[4]};
  auto change = [](HeadlessForm& f) {
    f.Type("EditVar2", "new.dcr");
    f.Type("EditVar5", "");
  };
  const std::pair<const char*, Driver> endings[] = {
      {"Cancel", [&](HeadlessForm& f) { change(f); f.Click("CancelBtn"); }},
      {"Esc", [&](HeadlessForm& f) { change(f); f.PressEscape(); }},
      {"close box", [&](HeadlessForm& f) { change(f); f.Close(); }},
      {"left open", [&](HeadlessForm& f) { change(f); }},
  };
  for (const auto& [name, driver] : endings) {
    EXPECT_FALSE(Edit(3, slots, driver)) << name;
    for (size_t i = 0; i < 5; ++i) EXPECT_EQ(slots[i], before[i]) << name << ", slot " << i;
    EXPECT_EQ(slots.Text(1), "old.dcr") << name;
  }

  EXPECT_TRUE(Edit(3, slots, [&](HeadlessForm& f) { change(f); f.PressEnter(); }));
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

  char* const kept = slots[0];
  EXPECT_TRUE(Edit(3, slots, [](HeadlessForm& f) { f.Click("OKBtn"); }));
  EXPECT_NE(slots[0], kept) << "OK without a change still gives new buffers";
  EXPECT_EQ(slots.Text(1), "new.dcr");
}

TEST_F(Editor, OnlyTheSlotsTheHostPassedAreReadAndWritten) {
  Slots slots({"Rect1", "kb", "sentinel2", "sentinel3", "sentinel4"});
  char* const beyond[3] = {slots[2], slots[3], slots[4]};
  host.platform.FormDriver = [](HeadlessForm& f) {
    for (const char* field : {"Edit1", "EditVar2", "EditVar3", "EditVar4", "EditVar5"})
      f.Type(field, f.Text(field) + "!");
    f.Click("OKBtn");
  };
  EXPECT_EQ(nbEditAction(3, slots.Data(), 1), 1);
  EXPECT_EQ(Shown()["EditVar3"], "") << "slot 2 was not passed";
  EXPECT_EQ(slots.Text(0), "Rect1!");
  EXPECT_EQ(slots.Text(1), "kb!");
  for (size_t i = 0; i < 3; ++i) EXPECT_EQ(slots[i + 2], beyond[i]);
  EXPECT_EQ(slots.Text(2), "sentinel2");
}

TEST_F(Editor, TheFormComesToTheTopWhenItBecomesActive) {
  Slots slots({"Rect1"});
  int32_t atShow = -1;
  Edit(1, slots, [&](HeadlessForm& f) {
    atShow = f.BringToTopCalls;
    f.Deactivate();
    f.Close();
  });
  EXPECT_EQ(atShow, 1);
}

// --- The pickers. ---

struct Insertion {
  const char* Text;
  int32_t Start, Length;
  const char* Expected;
};

TEST_F(Editor, AVariableGoesIntoAFileFieldAtTheCaretOrOverTheSelection) {
  host.pickerAnswers[14] = "[Var]";
  const Insertion cases[] = {
      {"", 0, 0, "[Var]"},         // empty field
      {"abc", 3, 0, "abc[Var]"},   // caret at the end
      {"abc", 0, 0, "[Var]abc"},   // caret at the start
      {"abc", 1, 1, "a[Var]c"},    // the middle character selected
      {"abc", 0, 3, "[Var]"},      // everything selected
      {"abc", 2, 9, "ab[Var]"},    // a selection running past the end
  };
  for (int32_t action : {3, 4}) {
    for (const Insertion& c : cases) {
      Slots slots({"Rect1", c.Text, "1", "2", "3"});
      EXPECT_TRUE(Edit(action, slots, [&](HeadlessForm& f) {
        f.Select("EditVar2", c.Start, c.Length);
        f.Click("SpeedButton2");
        f.Click("OKBtn");
      }));
      EXPECT_EQ(slots.Text(1), c.Expected) << "action " << action << ", \"" << c.Text << "\" at " << c.Start << "+"
                                           << c.Length;
    }
  }
  ASSERT_FALSE(host.requests.empty());
  EXPECT_EQ(host.requests.back().Request, 14);
  EXPECT_EQ(host.requests.back().Data, "abc") << "the field's text is handed to the host";
}

TEST_F(Editor, NumberResultAndObjectFieldsAreReplacedWholeEvenWithPartSelected) {
  host.pickerAnswers[8] = "Rect7";
  host.pickerAnswers[14] = "Size";
  Slots kb({"Rect1", "kb.dcr", "196", "10", "22"});
  EXPECT_TRUE(Edit(3, kb, [](HeadlessForm& f) {
    for (const char* field : {"Edit1", "EditVar3", "EditVar4", "EditVar5"}) f.Select(field, 1, 1);
    for (const char* button : {"SpeedButton1", "SpeedButton3", "SpeedButton4", "SpeedButton5"}) f.Click(button);
    f.Click("OKBtn");
  }));
  EXPECT_EQ(kb.Text(0), "Rect7");
  EXPECT_EQ(kb.Text(1), "kb.dcr");
  EXPECT_EQ(kb.Text(2), "Size");
  EXPECT_EQ(kb.Text(3), "Size");
  EXPECT_EQ(kb.Text(4), "Size");

  Slots recognize({"Rect1", "Result"});
  EXPECT_TRUE(Edit(5, recognize, [](HeadlessForm& f) {
    f.Select("EditVar2", 2, 2);
    f.Click("SpeedButton2");
    f.Click("OKBtn");
  }));
  EXPECT_EQ(recognize.Text(1), "Size");

  for (int32_t action : {1, 2, 4}) {
    Slots slots({"Old", "x"});
    EXPECT_TRUE(Edit(action, slots, [](HeadlessForm& f) {
      f.Click("SpeedButton1");
      f.Click("OKBtn");
    }));
    EXPECT_EQ(slots.Text(0), "Rect7") << "action " << action;
    EXPECT_EQ(host.requests.back().Request, 8);
    EXPECT_EQ(host.requests.back().Data, "Old");
  }
}

TEST_F(Editor, TheEmbeddedChooserRewritesThePrefixInAnyCase) {
  const std::pair<std::string, std::string> answers[] = {
      {"EMBEDDED:\\\\\\latin.dcr", "[Embedded]latin.dcr"},
      {"embedded:\\\\\\a.dcr", "[Embedded]a.dcr"},
      {"x Embedded:\\\\\\a|eMbEdDeD:\\\\\\b", "x [Embedded]a|[Embedded]b"},
      {"C:\\kb\\plain.dcr", "C:\\kb\\plain.dcr"},
      {"embedded:\\\\b.dcr", "embedded:\\\\b.dcr"},  // two backslashes are no prefix
  };
  for (const auto& [answer, expected] : answers) {
    host.pickerAnswers[13] = answer;
    Slots slots({"Rect1", "before", "1", "2", "3"});
    EXPECT_TRUE(Edit(3, slots, [](HeadlessForm& f) {
      f.Click("SpeedButtonEmb2");
      f.Click("OKBtn");
    }));
    EXPECT_EQ(slots.Text(1), expected) << answer;
    EXPECT_EQ(host.requests.back().Request, 13);
    EXPECT_EQ(host.requests.back().Data, "before");
  }
}

TEST_F(Editor, AHostThatSaysNoLeavesTheFieldAndStillGetsItsBufferReleased) {
  host.declinedAnswers[8] = "Replaced";
  host.declinedAnswers[13] = "embedded:\\\\\\x";
  host.declinedAnswers[14] = "Replaced";
  Slots slots({"Rect1", "kb.dcr", "1", "2", "3"});
  EXPECT_TRUE(Edit(3, slots, [](HeadlessForm& f) {
    for (const char* b : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "SpeedButton4", "SpeedButton5",
                          "SpeedButtonEmb2"})
      f.Click(b);
    f.Click("OKBtn");
  }));
  EXPECT_EQ(host.requests.size(), 6u);
  EXPECT_EQ(slots.Text(0), "Rect1");
  EXPECT_EQ(slots.Text(1), "kb.dcr");
  EXPECT_EQ(slots.Text(2), "1");
  EXPECT_EQ(host.platform.LiveHostStrings, 5) << "only the five slots are alive; every answer was released";
}

TEST_F(Editor, WithoutInterfaceAccessThePickersDoNothing) {
  host.Register(/*interfaceAccess=*/false);
  host.pickerAnswers[8] = host.pickerAnswers[13] = host.pickerAnswers[14] = "Picked";
  Slots slots({"Rect1", "kb.dcr", "1", "2", "3"});
  EXPECT_TRUE(Edit(3, slots, [](HeadlessForm& f) {
    for (const char* b : {"SpeedButton1", "SpeedButton2", "SpeedButton5", "SpeedButtonEmb2"}) f.Click(b);
    f.Click("OKBtn");
  }));
  EXPECT_TRUE(host.requests.empty());
  EXPECT_EQ(slots.Text(0), "Rect1");
  EXPECT_EQ(slots.Text(1), "kb.dcr");
  EXPECT_EQ(slots.Text(4), "3");
}

TEST_F(Editor, TheFileButtonsAskWithTheirFilterEachTimeAndACancelKeepsTheField) {
  Slots kb({"Rect1", "old.dcr", "1", "2", "3"});
  EXPECT_TRUE(Edit(3, kb, [&](HeadlessForm& f) {
    host.platform.FileDialogAnswer = std::nullopt;
    f.Click("SpeedButtonFon2");
    EXPECT_EQ(f.Text("EditVar2"), "old.dcr") << "cancelled";
    host.platform.FileDialogAnswer = "C:\\kb\\Russian.DCR";
    f.Click("SpeedButtonFon2");
    f.Click("OKBtn");
  }));
  EXPECT_EQ(kb.Text(1), "C:\\kb\\Russian.DCR");
  ASSERT_EQ(host.platform.FileDialogs.size(), 2u);
  for (const auto& d : host.platform.FileDialogs) {
    EXPECT_EQ(d.Filter, "DCR(*.dcr)|*.DCR");
    EXPECT_FALSE(d.Pictures);
  }

  host.platform.FileDialogs.clear();
  Slots picture({"Rect1", "old.png"});
  host.platform.FileDialogAnswer = "D:\\p\\page.tif";
  EXPECT_TRUE(Edit(4, picture, [](HeadlessForm& f) {
    f.Select("EditVar2", 1, 2);
    f.Click("SpeedButtonFon2");
    f.Click("OKBtn");
  }));
  EXPECT_EQ(picture.Text(1), "D:\\p\\page.tif") << "the whole field, whatever was selected";
  ASSERT_EQ(host.platform.FileDialogs.size(), 1u);
  const auto& p = host.platform.FileDialogs[0];
  EXPECT_TRUE(p.Pictures);
  // Every extension the loader knows is offered, in the "all" entry first.
  const std::string all = p.Filter.substr(0, p.Filter.find('|', p.Filter.find('|') + 1));
  for (const char* ext : {"*.bmp", "*.jpg", "*.jfif", "*.png", "*.tif", "*.pcx", "*.psd", "*.pbm", "*.psp", "*.wmf"})
    EXPECT_NE(all.find(ext), std::string::npos) << ext;
  size_t bars = 0;
  for (char c : p.Filter) bars += c == '|';
  EXPECT_EQ(bars % 2, 1u) << "descriptions and patterns come in pairs";
}

// --- The About box. ---

TEST_F(Editor, TheAboutBoxListsTheCommandsAndItsLinkReactsToTheMouse) {
  std::vector<std::string> opened;
  host.platform.FormDriver = [&](HeadlessForm& f) {
    EXPECT_EQ(f.FontColor("Label2"), editor::kLinkColor);
    f.MouseMove("Label2");
    EXPECT_EQ(f.FontColor("Label2"), forms::Rgb(255, 0, 0));
    EXPECT_EQ(f.CursorOf("Label2"), forms::Cursor::HandPoint);
    f.MouseMove("NeoBookHelpBox1");
    EXPECT_EQ(f.FontColor("Label2"), forms::Rgb(0, 0, 255));
    EXPECT_EQ(f.CursorOf("Label2"), forms::Cursor::Default);
    f.MouseMove("Label2");
    f.MouseMove("");
    EXPECT_EQ(f.FontColor("Label2"), forms::Rgb(0, 0, 255)) << "over the form's background";
    EXPECT_EQ(f.CursorOf("Label2"), forms::Cursor::Default);
    f.MouseMove("Memo1");  // the memo does not touch the link
    EXPECT_EQ(f.FontColor("Label2"), forms::Rgb(0, 0, 255));
    f.Click("Label2");
    opened = host.platform.ShellOpened;
    f.PressEnter();
  };
  nbAbout();
  ASSERT_EQ(host.platform.Forms.size(), 1u);
  const auto& about = host.platform.Forms[0];
  EXPECT_EQ(about.Name, "TAboutBoxForm");
  EXPECT_EQ(about.Texts.Caption, Cp1251("О плагине kytDCR"));
  EXPECT_EQ(about.Texts["Label1"], "kytDCR");
  EXPECT_EQ(about.Texts["Memo1"],
            "DCR\r\n\tkytDcrCreate\r\n\tkytDcrRemove\r\n\tkytDcrLoadKnowledgebase\r\n\tkytDcrLoadPicture\r\n"
            "\tkytDcrRecognize");
  EXPECT_EQ(about.Texts["Label2"], editor::kHomePage);
  EXPECT_EQ(opened, std::vector<std::string>{editor::kHomePage});
}

// --- The layouts. ---

// Every control names an existing parent, lies inside it, and the tab orders
// of one parent's focusable controls are distinct.
TEST(EditorLayouts, ControlsSitInsideTheirParentsWithDistinctTabOrders) {
  for (const forms::Form* form : {&editor::EditForm1Layout(), &editor::EditForm2FLLayout(),
                                  &editor::EditForm2RCLayout(), &editor::EditForm5KLLayout(),
                                  &editor::AboutBoxLayout()}) {
    for (const forms::Control& c : form->Controls) {
      int32_t width = form->ClientWidth, height = form->ClientHeight;
      if (c.Parent) {
        const forms::Control* parent = forms::FindControl(*form, c.Parent);
        ASSERT_NE(parent, nullptr) << form->Name << "." << c.Name;
        EXPECT_LT(forms::IndexOf(*form, c.Parent), forms::IndexOf(*form, c.Name)) << "parents come first";
        width = parent->Width;
        height = parent->Height;
      }
      EXPECT_TRUE(c.Left >= 0 && c.Top >= 0 && c.Left + c.Width <= width && c.Top + c.Height <= height)
          << form->Name << "." << c.Name;
      if (c.TabOrder < 0) continue;
      for (const forms::Control& o : form->Controls)
        if (&o != &c && o.TabOrder == c.TabOrder && std::string(o.Parent ? o.Parent : "") ==
                                                         std::string(c.Parent ? c.Parent : ""))
          ADD_FAILURE() << form->Name << ": " << c.Name << " and " << o.Name << " share a tab order";
    }
    int defaults = 0;
    for (const forms::Control& c : form->Controls) defaults += (c.Flags & forms::kDefaultButton) != 0;
    EXPECT_EQ(defaults, 1) << form->Name;
  }
}

// The pictures: their sizes, a transparent bottom-left corner, something drawn,
// and the hint picture in the sixteen standard colours only.
TEST(EditorPictures, SizesTransparencyAndTheHintPicturesSixteenColours) {
  using forms::PictureId;
  for (PictureId id : {PictureId::ChooseObject, PictureId::InsertVariable, PictureId::ChooseFile,
                       PictureId::ChooseEmbedded, PictureId::Hint, PictureId::Icon}) {
    const Bitmap& b = resources::FormPicture(id);
    const int32_t size = id == PictureId::Icon ? 32 : 20;
    ASSERT_EQ(b.Width(), size) << int(id);
    ASSERT_EQ(b.Height(), size) << int(id);
    const Color transparent = b.Pixel(0, size - 1);
    int drawn = 0;
    for (int32_t y = 0; y < size; ++y)
      for (int32_t x = 0; x < size; ++x) drawn += b.Pixel(x, y) != transparent;
    EXPECT_GT(drawn, size * size / 8) << int(id);
    EXPECT_LT(drawn, size * size) << int(id) << " has no transparent part";
  }
  const std::vector<Color> standard16 = {
      MakeColor(0, 0, 0),       MakeColor(128, 0, 0),   MakeColor(0, 128, 0),   MakeColor(128, 128, 0),
      MakeColor(0, 0, 128),     MakeColor(128, 0, 128), MakeColor(0, 128, 128), MakeColor(192, 192, 192),
      MakeColor(128, 128, 128), MakeColor(255, 0, 0),   MakeColor(0, 255, 0),   MakeColor(255, 255, 0),
      MakeColor(0, 0, 255),     MakeColor(255, 0, 255), MakeColor(0, 255, 255), MakeColor(255, 255, 255)};
  const Bitmap& hint = resources::FormPicture(forms::PictureId::Hint);
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 20; ++x)
      EXPECT_NE(std::find(standard16.begin(), standard16.end(), hint.Pixel(x, y)), standard16.end()) << x << "," << y;
}

}  // namespace
}  // namespace kyt::test
