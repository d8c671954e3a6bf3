#pragma once
// Drives the modal dialogs and message boxes that the plug-in shows while one
// of its calls runs. A thread timer fires inside the dialog's own message
// loop, finds the dialog among this thread's windows and hands it to a
// handler, which reads it, fills it in and closes it.
#include <windows.h>

#include <functional>
#include <set>
#include <string>

namespace kyt::testhost {

class DialogDriver {
 public:
  using Handler = std::function<void(HWND dialog)>;
  explicit DialogDriver(Handler handler);
  ~DialogDriver();
  DialogDriver(const DialogDriver&) = delete;
  DialogDriver& operator=(const DialogDriver&) = delete;

  int Handled() const { return int(handled_.size()); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
  void Poll();

  Handler handler_;
  UINT_PTR timer_ = 0;
  std::set<HWND> handled_;
};

std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int id);
void SetItemText(HWND dialog, int id, const std::wstring& text);
// Presses a button of the dialog as a click would.
void Press(HWND dialog, int id);

}  // namespace kyt::testhost
