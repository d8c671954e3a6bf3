#include "editor/Edit5KL.h"

namespace kyt::editor {

namespace {

constexpr forms::Control kControls[] = {
    OkButton(232, 538, 65),
    CancelButton(304, 538, 65),
    ObjectPanel(),
    EditField("Edit1", "NeoBookPanel1", 309),
    ChooseObjectButton(),
    ObjectHelpBox(),
    HelpPicture("Image2"),
    ObjectHelpLabel(),
    Panel("NeoBookPanel2", 8, 168, 65, 3, "NeoBookPanel2"),
    EditField("EditVar2", "NeoBookPanel2", 245),
    GlyphButton("SpeedButtonFon2", "NeoBookPanel2", 264, 24, forms::PictureId::ChooseFile, kHintChooseFile),
    GlyphButton("SpeedButtonEmb2", "NeoBookPanel2", 296, 24, forms::PictureId::ChooseEmbedded,
                kHintChooseEmbedded),
    GlyphButton("SpeedButton2", "NeoBookPanel2", 328, 24, forms::PictureId::InsertVariable, kHintInsertVariable),
    // The tab order runs through the fourth panel before the third, and the
    // fifth comes after the command box.
    Panel("NeoBookPanel3", 8, 240, 65, 5, "NeoBookPanel3"),
    EditField("EditVar3", "NeoBookPanel3", 309),
    GlyphButton("SpeedButton3", "NeoBookPanel3", 328, 24, forms::PictureId::InsertVariable, kHintInsertVariable),
    Panel("NeoBookPanel4", 8, 312, 65, 4, "NeoBookPanel4"),
    EditField("EditVar4", "NeoBookPanel4", 309),
    GlyphButton("SpeedButton4", "NeoBookPanel4", 328, 24, forms::PictureId::InsertVariable, kHintInsertVariable),
    Panel("NeoBookPanel5", 7, 382, 65, 7, "NeoBookPanel5"),
    EditField("EditVar5", "NeoBookPanel5", 309),
    GlyphButton("SpeedButton5", "NeoBookPanel5", 328, 24, forms::PictureId::InsertVariable, kHintInsertVariable),
    CommandBox(458, 6),
    CommandLabel(),
};

constexpr forms::Form kLayout{.Name = "TEditForm5KL", .Caption = "EditForm5KL", .ClientWidth = 376,
                              .ClientHeight = 570, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

}  // namespace

const forms::Form& EditForm5KLLayout() { return kLayout; }

void TEditForm5KL::Click(IFormWindow& window, std::string_view control) {
  if (control == "SpeedButton1") {
    SpeedButton1Click(window);
  } else if (control == "SpeedButton2") {  // SpeedButton2Click: a variable into the file name
    Pick(window, "EditVar2", kRequestChooseVariable, PickRule::InsertAtCaret);
  } else if (control == "SpeedButton3") {
    Pick(window, "EditVar3", kRequestChooseVariable, PickRule::ReplaceField);
  } else if (control == "SpeedButton4") {
    Pick(window, "EditVar4", kRequestChooseVariable, PickRule::ReplaceField);
  } else if (control == "SpeedButton5") {
    Pick(window, "EditVar5", kRequestChooseVariable, PickRule::ReplaceField);
  } else if (control == "SpeedButtonEmb2") {  // SpeedButtonEmb2Click
    Pick(window, "EditVar2", kRequestChooseEmbedded, PickRule::EmbeddedName);
  } else if (control == "SpeedButtonFon2") {  // SpeedButtonFon2Click: the filter is set anew each time
    forms::OpenFileRequest dialog;
    dialog.Filter = kKnowledgeBaseFilter;
    ChooseFile(window, "EditVar2", dialog);
  }
}

}  // namespace kyt::editor
