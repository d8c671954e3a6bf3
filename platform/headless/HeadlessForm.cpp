#include "platform/headless/HeadlessForm.h"

#include "core/Error.h"
#include "platform/headless/HeadlessPlatform.h"

namespace kyt {

HeadlessForm::HeadlessForm(HeadlessPlatform& platform, const forms::Form& form, forms::FormTexts& texts,
                           forms::IFormEvents& events)
    : platform_(platform), form_(form), texts_(texts), events_(events), state_(form.Controls.size()) {
  for (size_t i = 0; i < form.Controls.size(); ++i) state_[i].FontColor = form.Controls[i].Font.Color;
}

size_t HeadlessForm::At(std::string_view control) const {
  const int32_t i = forms::IndexOf(form_, control);
  if (i < 0) throw Error("The form " + std::string(form_.Name) + " has no control " + std::string(control) + ".");
  return size_t(i);
}

std::string HeadlessForm::Text(std::string_view control) const { return texts_.Controls[At(control)]; }

void HeadlessForm::SetText(std::string_view control, const std::string& text) {
  const size_t i = At(control);
  texts_.Controls[i] = text;
  // As an edit field does: the caret goes to the start, nothing selected.
  state_[i].SelStart = 0;
  state_[i].SelLength = 0;
}

void HeadlessForm::Selection(std::string_view control, int32_t& start, int32_t& length) const {
  const State& s = state_[At(control)];
  start = s.SelStart;
  length = s.SelLength;
}

void HeadlessForm::SetFontColor(std::string_view control, uint32_t color) { state_[At(control)].FontColor = color; }

void HeadlessForm::SetCursor(std::string_view control, forms::Cursor cursor) { state_[At(control)].Cursor = cursor; }

std::optional<std::string> HeadlessForm::OpenFile(const forms::OpenFileRequest& request) {
  platform_.FileDialogs.push_back(request);
  return platform_.FileDialogAnswer;
}

void HeadlessForm::ShellOpen(const std::string& address) { platform_.ShellOpened.push_back(address); }

void HeadlessForm::Type(std::string_view control, const std::string& text) {
  const size_t i = At(control);
  texts_.Controls[i] = text;
  state_[i].SelStart = int32_t(text.size());
  state_[i].SelLength = 0;
}

void HeadlessForm::Select(std::string_view control, int32_t start, int32_t length) {
  State& s = state_[At(control)];
  s.SelStart = start;
  s.SelLength = length;
}

void HeadlessForm::Click(std::string_view control) {
  const forms::Control& c = form_.Controls[At(control)];
  events_.Click(*this, control);
  if (c.Kind == forms::ControlKind::Button && c.ModalResult != forms::kModalNone) modalResult_ = c.ModalResult;
}

void HeadlessForm::MouseMove(std::string_view control) {
  if (!control.empty()) {
    if (!(form_.Controls[At(control)].Flags & forms::kNotifyMouse)) return;
  } else if (!form_.NotifyMouse) {
    return;
  }
  events_.MouseMove(*this, control);
}

void HeadlessForm::PressEnter() {
  for (const forms::Control& c : form_.Controls)
    if (c.Flags & forms::kDefaultButton) return Click(c.Name);
}

void HeadlessForm::PressEscape() {
  for (const forms::Control& c : form_.Controls)
    if (c.Flags & forms::kCancelButton) return Click(c.Name);
}

void HeadlessForm::Close() { modalResult_ = forms::kModalCancel; }

void HeadlessForm::Deactivate() { events_.Activated(*this, false); }

uint32_t HeadlessForm::FontColor(std::string_view control) const { return state_[At(control)].FontColor; }

forms::Cursor HeadlessForm::CursorOf(std::string_view control) const { return state_[At(control)].Cursor; }

}  // namespace kyt
