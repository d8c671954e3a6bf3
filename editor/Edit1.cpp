#include "editor/Edit1.h"

namespace kyt::editor {

namespace {

using forms::ControlKind;

constexpr forms::Control kControls[] = {
    OkButton(231, 240, 65),
    CancelButton(307, 240, 62),
    {.Name = "NeoBookPanel1", .Kind = ControlKind::Panel, .Left = 8, .Top = 8, .Width = 361, .Height = 145,
     .Text = "Объект Прямоугольник (Rectangle):"_cp1251, .TabOrder = 2, .Color = forms::kColorBtnFace},
    EditField("Edit1", "NeoBookPanel1", 307),
    GlyphButton("SpeedButton1", "NeoBookPanel1", 328, 25, forms::PictureId::ChooseObject, kHintChooseObject),
    {.Name = "NeoBookHelpBox1", .Kind = ControlKind::HelpBox, .Parent = "NeoBookPanel1", .Left = 8, .Top = 64,
     .Width = 345, .Height = 73, .Text = kHelpCaption, .TabOrder = 1, .Color = kHelpBoxColor},
    {.Name = "Image1", .Kind = ControlKind::Image, .Parent = "NeoBookHelpBox1", .Left = 4, .Top = 26, .Width = 37,
     .Height = 39, .TabOrder = -1, .Picture = forms::PictureId::Hint, .Flags = forms::kCenter | forms::kTransparent},
    {.Name = "Label2", .Kind = ControlKind::Label, .Parent = "NeoBookHelpBox1", .Left = 40, .Top = 24,
     .Width = 305, .Height = 49, .Text = kObjectHelp, .TabOrder = -1,
     .Flags = forms::kWordWrap | forms::kTransparent},
    CommandBox(160, 3),
    CommandLabel(),
};

constexpr PickerButton kPickers[] = {kChooseObject};

constexpr forms::Form kLayout{.Name = "TEditForm1", .Caption = "EditForm1", .ClientWidth = 376,
                              .ClientHeight = 272, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

}  // namespace

const forms::Form& EditForm1Layout() { return kLayout; }

TEditForm1::TEditForm1(IPickerHost* host) : TEditForm(EditForm1Layout(), host, kPickers) {}

}  // namespace kyt::editor
