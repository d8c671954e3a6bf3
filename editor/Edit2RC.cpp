#include "editor/Edit2RC.h"

namespace kyt::editor {

namespace {

constexpr forms::Control kControls[] = {
    OkButton(232, 318, 65),
    CancelButton(304, 318, 65),
    ObjectPanel(),
    EditField("Edit1", "NeoBookPanel1", 309),
    ChooseObjectButton(),
    ObjectHelpBox(),
    HelpPicture("Image2"),
    ObjectHelpLabel(),
    Panel("NeoBookPanel2", 8, 168, 65, 3, "NeoBookPanel2"),
    EditField("EditVar2", "NeoBookPanel2", 309),
    GlyphButton("SpeedButton2", "NeoBookPanel2", 328, 24, forms::PictureId::InsertVariable, kHintInsertVariable),
    CommandBox(238, 4),
    CommandLabel(),
};

constexpr forms::Form kLayout{.Name = "TEditForm2RC", .Caption = "EditForm2RC", .ClientWidth = 376,
                              .ClientHeight = 350, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

}  // namespace

const forms::Form& EditForm2RCLayout() { return kLayout; }

void TEditForm2RC::Click(IFormWindow& window, std::string_view control) {
  if (control == "SpeedButton1") {
    SpeedButton1Click(window);
  } else if (control == "SpeedButton2") {  // SpeedButton2Click: the result variable, whole
    Pick(window, "EditVar2", kRequestChooseVariable, PickRule::ReplaceField);
  }
}

}  // namespace kyt::editor
