#pragma once
// A form realised without a screen: its controls' texts, selections, font
// colours and cursors are kept in memory, a driver (a test or a headless
// host) works it as an author would, and it can be painted into a bitmap.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/Forms.h"

namespace kyt {

class HeadlessPlatform;

class HeadlessForm final : public forms::IFormWindow {
 public:
  HeadlessForm(HeadlessPlatform& platform, const forms::Form& form, forms::FormTexts& texts,
               forms::IFormEvents& events);

  // --- IFormWindow, for the form's own code. ---
  std::string Text(std::string_view control) const override;
  void SetText(std::string_view control, const std::string& text) override;
  void Selection(std::string_view control, int32_t& start, int32_t& length) const override;
  void SetFontColor(std::string_view control, uint32_t color) override;
  void SetCursor(std::string_view control, forms::Cursor cursor) override;
  void BringToTop() override { ++BringToTopCalls; }
  std::optional<std::string> OpenFile(const forms::OpenFileRequest& request) override;
  void ShellOpen(const std::string& address) override;

  // --- What the driver does. ---
  const forms::Form& Layout() const { return form_; }
  std::string Caption() const { return texts_.Caption; }
  // Typing into a field: the text replaced, the caret after it.
  void Type(std::string_view control, const std::string& text);
  void Select(std::string_view control, int32_t start, int32_t length);
  // A click on a control: a button with a modal result closes the form with
  // it; every click reaches the form's code.
  void Click(std::string_view control);
  // The mouse over a control (empty: the form's background).
  void MouseMove(std::string_view control);
  void PressEnter();   // the default button
  void PressEscape();  // the cancel button
  void Close();        // the window's close box
  void Deactivate();
  bool Closed() const { return modalResult_ != forms::kModalNone; }
  int32_t ModalResult() const { return modalResult_; }
  uint32_t FontColor(std::string_view control) const;
  forms::Cursor CursorOf(std::string_view control) const;
  int32_t BringToTopCalls = 0;

 private:
  struct State {
    int32_t SelStart = 0, SelLength = 0;
    uint32_t FontColor = forms::kParentColor;
    forms::Cursor Cursor = forms::Cursor::Default;
  };
  size_t At(std::string_view control) const;

  HeadlessPlatform& platform_;
  const forms::Form& form_;
  forms::FormTexts& texts_;
  forms::IFormEvents& events_;
  std::vector<State> state_;
  int32_t modalResult_ = forms::kModalNone;
};

}  // namespace kyt
