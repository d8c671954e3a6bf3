#include "editor/About.h"

namespace kyt::editor {

namespace {

using forms::ControlKind;

constexpr const char kCommands[] =
    "DCR\r\n\tkytDcrCreate\r\n\tkytDcrRemove\r\n\tkytDcrLoadKnowledgebase\r\n\tkytDcrLoadPicture\r\n"
    "\tkytDcrRecognize";

constexpr forms::Control kControls[] = {
    {.Name = "Image1", .Kind = ControlKind::Image, .Left = 8, .Top = 8, .Width = 37, .Height = 39, .TabOrder = -1,
     .Picture = forms::PictureId::Icon, .Flags = forms::kCenter | forms::kTransparent},
    {.Name = "Label1", .Kind = ControlKind::Label, .Left = 48, .Top = 8, .Width = 303, .Height = 38,
     .Text = "kytDCR", .TabOrder = -1, .Font = {"Arial", 21, forms::kColorWindowText}, .Flags = forms::kCenter},
    {.Name = "OKBtn", .Kind = ControlKind::Button, .Left = 136, .Top = 266, .Width = 83, .Height = 25,
     .Text = "OK", .TabOrder = 0, .Flags = forms::kDefaultButton, .ModalResult = int8_t(forms::kModalOk)},
    {.Name = "NeoBookHelpBox1", .Kind = ControlKind::HelpBox, .Left = 8, .Top = 56, .Width = 344, .Height = 65,
     .Text = "Домашняя страница"_cp1251, .TabOrder = 1, .Font = {nullptr, 0, forms::kColorWindowText},
     .Color = kHelpBoxColor, .Flags = forms::kNotifyMouse},
    {.Name = "Label2", .Kind = ControlKind::Label, .Parent = "NeoBookHelpBox1", .Left = 8, .Top = 32,
     .Width = 328, .Height = 17, .Text = kHomePage, .TabOrder = -1, .Font = {nullptr, 0, kLinkColor},
     .Color = forms::kColorInfoBk, .Flags = forms::kCenter | forms::kNotifyMouse},
    {.Name = "NeoBookPanel1", .Kind = ControlKind::Panel, .Left = 8, .Top = 128, .Width = 345, .Height = 133,
     .Text = "Список команд"_cp1251, .TabOrder = 2, .Font = {nullptr, 0, forms::Rgb(0, 0, 0)},
     .Color = forms::kColorBtnFace},
    {.Name = "Memo1", .Kind = ControlKind::Memo, .Parent = "NeoBookPanel1", .Left = 8, .Top = 24, .Width = 329,
     .Height = 97, .Text = kCommands, .TabOrder = 0, .Font = {nullptr, 0, forms::Rgb(0, 0, 0)},
     .Color = forms::kColorInfoBk,
     .Flags = forms::kReadOnly | forms::kNoBorder | forms::kVerticalScroll | forms::kNoTabStop},
};

constexpr forms::Form kLayout{.Name = "TAboutBoxForm", .Caption = "О плагине kytDCR"_cp1251, .ClientWidth = 360,
                              .ClientHeight = 298, .Font = {"MS Sans Serif", 11, kLinkColor},
                              .Color = forms::kColorBtnFace, .Controls = kControls, .NotifyMouse = true};

}  // namespace

const forms::Form& AboutBoxLayout() { return kLayout; }

TAboutBoxForm::TAboutBoxForm() : TEditorForm(kLayout) {}

void TAboutBoxForm::Click(IFormWindow& window, std::string_view control) {
  if (control == "Label2") window.ShellOpen(kHomePage);  // Label2Click
}

void TAboutBoxForm::MouseMove(IFormWindow& window, std::string_view control) {
  if (control == "Label2") {  // Label2MouseMove
    window.SetFontColor("Label2", kLinkHotColor);
    window.SetCursor("Label2", forms::Cursor::HandPoint);
  } else if (control.empty() || control == "NeoBookHelpBox1") {  // FormMouseMove, NeoBookHelpBox1MouseMove
    window.SetFontColor("Label2", kLinkColor);
    window.SetCursor("Label2", forms::Cursor::Default);
  }
}

}  // namespace kyt::editor
