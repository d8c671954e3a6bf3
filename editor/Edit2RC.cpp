#include "editor/Edit2RC.h"

namespace kyt::editor {

namespace {

constexpr auto kControls = Joined(
    ButtonsAndObjectPanel(318),
    std::array{
        Panel("NeoBookPanel2", 8, 168, 65, 3, "NeoBookPanel2"),
        EditField("EditVar2", "NeoBookPanel2", 309),
        GlyphButton("SpeedButton2", "NeoBookPanel2", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        CommandBox(238, 4),
        CommandLabel(),
    });

// SpeedButton1Click; SpeedButton2Click: the result variable, whole.
constexpr PickerButton kPickers[] = {
    kChooseObject,
    {"SpeedButton2", "EditVar2", kRequestChooseVariable, PickRule::ReplaceField},
};

constexpr forms::Form kLayout{.Name = "TEditForm2RC", .Caption = "EditForm2RC", .ClientWidth = 376,
                              .ClientHeight = 350, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

}  // namespace

const forms::Form& EditForm2RCLayout() { return kLayout; }

TEditForm2RC::TEditForm2RC(IPickerHost* host) : TEditForm(EditForm2RCLayout(), host, kPickers) {}

}  // namespace kyt::editor
