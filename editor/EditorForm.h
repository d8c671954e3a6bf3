#pragma once
// What the five editor forms share: the modal life of a form, the activation
// handler, and for the four properties forms the OK and Cancel buttons, the
// host's pickers and the rules by which a picked text enters a field.
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/Cp1251Text.h"
#include "platform/Forms.h"

namespace kyt::editor {

using forms::IFormWindow;
using namespace kyt::text;

// The host's pickers, reached through HostInterfaceAccess.
class IPickerHost {
 public:
  virtual ~IPickerHost() = default;
  virtual bool HasInterfaceAccess() const = 0;
  // `data` is handed to the host as a fresh host string and holds its answer
  // afterwards (nullopt for a null pointer); the host's block is released
  // whatever the answer was. The result is the host's.
  virtual bool InterfaceAccess(int32_t request, std::optional<std::string>& data) = 0;
};

constexpr int32_t kRequestChooseObject = 8;
constexpr int32_t kRequestChooseEmbedded = 13;
constexpr int32_t kRequestChooseVariable = 14;

// The fonts and colours of the host's dialogs.
constexpr forms::FontSpec kFormFont{"MS Sans Serif", 11, forms::kColorWindowText};
constexpr forms::FontSpec kEditFont{"Arial", 12, forms::kColorWindowText};
constexpr uint32_t kHelpBoxColor = forms::Rgb(255, 255, 225);
constexpr int16_t kEditHeight = 23;

// One form, alive for one modal showing: created hidden with the texts of its
// layout, filled, shown, read back, destroyed.
class TEditorForm : public forms::IFormEvents {
 public:
  explicit TEditorForm(const forms::Form& layout) : layout_(layout) { texts_.Reset(layout); }
  TEditorForm(const TEditorForm&) = delete;
  TEditorForm& operator=(const TEditorForm&) = delete;

  const forms::Form& Layout() const { return layout_; }
  forms::FormTexts& Texts() { return texts_; }
  // Shows the form modally, parented to the active window; the modal result.
  int32_t ShowModal();

  // WMActivate: on becoming active the form goes to the top of the window order.
  void Activated(IFormWindow& window, bool active) override;
  void Click(IFormWindow&, std::string_view) override {}
  void MouseMove(IFormWindow&, std::string_view) override {}

 private:
  const forms::Form& layout_;
  forms::FormTexts texts_;
};

// How a picked text enters its field.
enum class PickRule {
  ReplaceField,   // the field becomes the text
  InsertAtCaret,  // the text goes in at the caret or over the selection
  EmbeddedName,   // the field becomes the text with its embedded prefix rewritten
};

// A button that asks the host for a text and puts the answer into its field.
struct PickerButton {
  const char* Button;
  const char* Field;
  int32_t Request;
  PickRule Rule;
};

// SpeedButton1Click of every properties form: host request 8 on Edit1.
inline constexpr PickerButton kChooseObject{"SpeedButton1", "Edit1", kRequestChooseObject, PickRule::ReplaceField};

// The four properties forms: their picker buttons, each by its table entry,
// and the choose-file button of the forms that have one.
class TEditForm : public TEditorForm {
 public:
  TEditForm(const forms::Form& layout, IPickerHost* host, std::span<const PickerButton> pickers)
      : TEditorForm(layout), host_(host), pickers_(pickers) {}

  // A picker button asks the host; SpeedButtonFon2 shows the form's file dialog.
  void Click(IFormWindow& window, std::string_view control) override;

 protected:
  // SpeedButtonFon2Click: the file dialog the form shows for EditVar2, set
  // anew for each showing; nullopt: the form has no choose-file button.
  virtual std::optional<forms::OpenFileRequest> FileDialog() const { return std::nullopt; }

 private:
  // Asks the host through the button's request with the field's text and
  // applies the answer by the button's rule when the host says yes. Without
  // the host's interface access nothing happens.
  void Pick(IFormWindow& window, const PickerButton& button);

  IPickerHost* host_;
  std::span<const PickerButton> pickers_;
};

// `value` in place of the `length` characters of `text` after its first `start`
// ones (inserted at `start` when `length` is 0); out-of-range positions are clamped.
std::string InsertAtSelection(const std::string& text, int32_t start, int32_t length, const std::string& value);
// Every "embedded:\\\", in any letter case, replaced by "[Embedded]".
std::string RewriteEmbeddedPrefix(const std::string& text);

// --- Controls that several forms share. ---

constexpr forms::Control OkButton(int16_t left, int16_t top, int16_t width) {
  return {.Name = "OKBtn", .Kind = forms::ControlKind::Button, .Left = left, .Top = top, .Width = width,
          .Height = 25, .Text = "OK", .TabOrder = 0, .Flags = forms::kDefaultButton,
          .ModalResult = int8_t(forms::kModalOk)};
}

constexpr forms::Control CancelButton(int16_t left, int16_t top, int16_t width) {
  return {.Name = "CancelBtn", .Kind = forms::ControlKind::Button, .Left = left, .Top = top, .Width = width,
          .Height = 25, .Text = "Отменить"_cp1251, .TabOrder = 1, .Flags = forms::kCancelButton,
          .ModalResult = int8_t(forms::kModalCancel)};
}

constexpr forms::Control Panel(const char* name, int16_t left, int16_t top, int16_t height, int8_t tabOrder,
                               const char* caption) {
  return {.Name = name, .Kind = forms::ControlKind::Panel, .Left = left, .Top = top, .Width = 361,
          .Height = height, .Text = caption, .TabOrder = tabOrder, .Color = forms::kColorBtnFace};
}

constexpr forms::Control EditField(const char* name, const char* parent, int16_t width) {
  return {.Name = name, .Kind = forms::ControlKind::Edit, .Parent = parent, .Left = 12, .Top = 28,
          .Width = width, .Height = kEditHeight, .Text = name, .TabOrder = 0, .Font = kEditFont,
          .Color = forms::kColorWindow};
}

constexpr forms::Control GlyphButton(const char* name, const char* parent, int16_t left, int16_t width,
                                     forms::PictureId glyph, const char* hint) {
  return {.Name = name, .Kind = forms::ControlKind::GlyphButton, .Parent = parent, .Left = left, .Top = 28,
          .Width = width, .Height = 24, .Hint = hint, .TabOrder = -1, .Picture = glyph,
          .Flags = forms::kFlat | forms::kShowHint};
}

inline constexpr const char* kHintChooseObject = "Выбрать объект из списка"_cp1251;
inline constexpr const char* kHintInsertVariable = "Вставить переменную"_cp1251;
inline constexpr const char* kHintChooseFile = "Выбрать файл"_cp1251;
inline constexpr const char* kHintChooseEmbedded = "Выбрать вложенный файл"_cp1251;
inline constexpr const char* kHelpCaption = "Подсказка"_cp1251;
inline constexpr const char* kObjectHelp =
    "Объект должен иметь тип Прямоугольник (Rectangle). Использование другого объекта не рекомендуется. "
    "Требуется версия NeoBook 4.0.9 или выше."_cp1251;

// The command box at `top` with CommandLabel in it; its tab order among the form's controls.
constexpr forms::Control CommandBox(int16_t top, int8_t tabOrder) {
  return {.Name = "NeoBookCommandBox", .Kind = forms::ControlKind::HelpBox, .Left = 8, .Top = top, .Width = 361,
          .Height = 73, .Text = "NeoBookCommandBox", .TabOrder = tabOrder, .Color = kHelpBoxColor};
}

constexpr forms::Control CommandLabel() {
  return {.Name = "CommandLabel", .Kind = forms::ControlKind::Label, .Parent = "NeoBookCommandBox", .Left = 8,
          .Top = 24, .Width = 345, .Height = 41, .Text = "CommandLabel", .TabOrder = -1,
          .Color = forms::kColorInfoBk, .Flags = forms::kWordWrap};
}

// The object panel of TEditForm2FL, TEditForm2RC and TEditForm5KL, 153 high,
// with its field, choose-object button and help box (picture Image2, label Label1).
constexpr forms::Control ObjectPanel() {
  return Panel("NeoBookPanel1", 8, 8, 153, 2, "NeoBookPanel1");
}
constexpr forms::Control ObjectHelpBox() {
  return {.Name = "NeoBookHelpBox1", .Kind = forms::ControlKind::HelpBox, .Parent = "NeoBookPanel1", .Left = 12,
          .Top = 64, .Width = 349, .Height = 81, .Text = kHelpCaption, .TabOrder = 1, .Color = kHelpBoxColor};
}
constexpr forms::Control HelpPicture(const char* name) {
  return {.Name = name, .Kind = forms::ControlKind::Image, .Parent = "NeoBookHelpBox1", .Left = 4, .Top = 26,
          .Width = 37, .Height = 39, .TabOrder = -1, .Picture = forms::PictureId::Hint,
          .Flags = forms::kCenter | forms::kTransparent};
}
constexpr forms::Control ObjectHelpLabel() {
  return {.Name = "Label1", .Kind = forms::ControlKind::Label, .Parent = "NeoBookHelpBox1", .Left = 40, .Top = 24,
          .Width = 305, .Height = 49, .Text = kObjectHelp, .TabOrder = -1, .Font = kFormFont,
          .Color = forms::kColorInfoBk, .Flags = forms::kWordWrap};
}
constexpr forms::Control ChooseObjectButton() {
  return GlyphButton("SpeedButton1", "NeoBookPanel1", 328, 25, forms::PictureId::ChooseObject, kHintChooseObject);
}

// OK and Cancel at the foot (`top`) of TEditForm2FL, TEditForm2RC and
// TEditForm5KL, then their object panel with its field, button and help box.
constexpr std::array<forms::Control, 8> ButtonsAndObjectPanel(int16_t top) {
  return {OkButton(232, top, 65),   CancelButton(304, top, 65), ObjectPanel(),        EditField("Edit1", "NeoBookPanel1", 309),
          ChooseObjectButton(),     ObjectHelpBox(),            HelpPicture("Image2"), ObjectHelpLabel()};
}

// The controls of `parts` one after the other, for a form's table.
template <size_t... N>
constexpr std::array<forms::Control, (N + ...)> Joined(const std::array<forms::Control, N>&... parts) {
  std::array<forms::Control, (N + ...)> out{};
  size_t next = 0;
  ((std::copy(parts.begin(), parts.end(), out.begin() + next), next += N), ...);
  return out;
}

}  // namespace kyt::editor
