#include "editor/EditorForm.h"

#include <algorithm>

#include "platform/Platform.h"

namespace kyt::editor {

int32_t TEditorForm::ShowModal() { return Platform().ShowModalForm(layout_, texts_, *this); }

void TEditorForm::Activated(IFormWindow& window, bool active) {
  if (active) window.BringToTop();
}

void TEditForm::Click(IFormWindow& window, std::string_view control) {
  for (const PickerButton& button : pickers_)
    if (control == button.Button) return Pick(window, button);
  if (control == "SpeedButtonFon2") {
    if (const std::optional<forms::OpenFileRequest> dialog = FileDialog())
      if (std::optional<std::string> path = window.OpenFile(*dialog)) window.SetText("EditVar2", *path);
  }
}

void TEditForm::Pick(IFormWindow& window, const PickerButton& button) {
  if (!host_ || !host_->HasInterfaceAccess()) return;
  const std::string_view field = button.Field;
  const std::string text = window.Text(field);
  int32_t start = 0, length = 0;
  if (button.Rule == PickRule::InsertAtCaret) window.Selection(field, start, length);
  std::optional<std::string> data = text;
  if (!host_->InterfaceAccess(button.Request, data)) return;
  const std::string answer = data.value_or(std::string());
  switch (button.Rule) {
    case PickRule::ReplaceField:
      window.SetText(field, answer);
      break;
    case PickRule::InsertAtCaret:
      window.SetText(field, InsertAtSelection(text, start, length, answer));
      break;
    case PickRule::EmbeddedName:
      window.SetText(field, RewriteEmbeddedPrefix(answer));
      break;
  }
}

std::string InsertAtSelection(const std::string& text, int32_t start, int32_t length, const std::string& value) {
  if (text.empty()) return value;
  const size_t s = std::min(size_t(std::max(start, 0)), text.size());
  const size_t n = std::min(size_t(std::max(length, 0)), text.size() - s);
  return text.substr(0, s) + value + text.substr(s + n);
}

std::string RewriteEmbeddedPrefix(const std::string& text) {
  static constexpr std::string_view kPrefix = "embedded:\\\\\\";
  static constexpr std::string_view kName = "[Embedded]";
  auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    bool match = i + kPrefix.size() <= text.size();
    for (size_t k = 0; match && k < kPrefix.size(); ++k) match = lower(text[i + k]) == kPrefix[k];
    if (match) {
      out += kName;
      i += kPrefix.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

}  // namespace kyt::editor
