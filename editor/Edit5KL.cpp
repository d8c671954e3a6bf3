#include "editor/Edit5KL.h"

namespace kyt::editor {

namespace {

constexpr auto kControls = Joined(
    ButtonsAndObjectPanel(538),
    std::array{
        Panel("NeoBookPanel2", 8, 168, 65, 3, "NeoBookPanel2"),
        EditField("EditVar2", "NeoBookPanel2", 245),
        GlyphButton("SpeedButtonFon2", "NeoBookPanel2", 264, 24, forms::PictureId::ChooseFile, kHintChooseFile),
        GlyphButton("SpeedButtonEmb2", "NeoBookPanel2", 296, 24, forms::PictureId::ChooseEmbedded,
                    kHintChooseEmbedded),
        GlyphButton("SpeedButton2", "NeoBookPanel2", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        // The tab order runs through the fourth panel before the third, and the
        // fifth comes after the command box.
        Panel("NeoBookPanel3", 8, 240, 65, 5, "NeoBookPanel3"),
        EditField("EditVar3", "NeoBookPanel3", 309),
        GlyphButton("SpeedButton3", "NeoBookPanel3", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        Panel("NeoBookPanel4", 8, 312, 65, 4, "NeoBookPanel4"),
        EditField("EditVar4", "NeoBookPanel4", 309),
        GlyphButton("SpeedButton4", "NeoBookPanel4", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        Panel("NeoBookPanel5", 7, 382, 65, 7, "NeoBookPanel5"),
        EditField("EditVar5", "NeoBookPanel5", 309),
        GlyphButton("SpeedButton5", "NeoBookPanel5", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        CommandBox(458, 6),
        CommandLabel(),
    });

// SpeedButton1Click; SpeedButton2Click: a variable into the file name;
// SpeedButton3Click to SpeedButton5Click: the number fields, whole;
// SpeedButtonEmb2Click: the embedded file's name.
constexpr PickerButton kPickers[] = {
    kChooseObject,
    {"SpeedButton2", "EditVar2", kRequestChooseVariable, PickRule::InsertAtCaret},
    {"SpeedButton3", "EditVar3", kRequestChooseVariable, PickRule::ReplaceField},
    {"SpeedButton4", "EditVar4", kRequestChooseVariable, PickRule::ReplaceField},
    {"SpeedButton5", "EditVar5", kRequestChooseVariable, PickRule::ReplaceField},
    {"SpeedButtonEmb2", "EditVar2", kRequestChooseEmbedded, PickRule::EmbeddedName},
};

constexpr forms::Form kLayout{.Name = "TEditForm5KL", .Caption = "EditForm5KL", .ClientWidth = 376,
                              .ClientHeight = 570, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

}  // namespace

const forms::Form& EditForm5KLLayout() { return kLayout; }

TEditForm5KL::TEditForm5KL(IPickerHost* host) : TEditForm(EditForm5KLLayout(), host, kPickers) {}

// SpeedButtonFon2Click: OpenDialog1 with the knowledge-base filter, set anew each time.
std::optional<forms::OpenFileRequest> TEditForm5KL::FileDialog() const {
  forms::OpenFileRequest dialog;
  dialog.Filter = kKnowledgeBaseFilter;
  return dialog;
}

}  // namespace kyt::editor
