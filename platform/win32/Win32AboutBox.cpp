#include "platform/win32/Win32Dialogs.h"

#include "platform/win32/Win32DialogTemplate.h"
#include "platform/win32/Win32Text.h"

namespace kyt::win32 {

namespace {

// "О плагине kytDCR"
constexpr const char kAboutCaption[] = "\xCE \xEF\xEB\xE0\xE3\xE8\xED\xE5 kytDCR";
// "kytDCR 1.01", a blank line, "Плагин для распознавания символов."
constexpr const char kAboutText[] =
    "kytDCR 1.01\r\n\r\n\xCF\xEB\xE0\xE3\xE8\xED \xE4\xEB\xFF \xF0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xE2\xE0\xED\xE8\xFF "
    "\xF1\xE8\xEC\xE2\xEE\xEB\xEE\xE2.";

INT_PTR CALLBACK AboutProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(window, kModalOk);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void RunAboutBox(HMODULE module) {
  DialogTemplate t(FromCp1251(kAboutCaption), 180, 80);
  t.AddStatic(kIdAboutText, FromCp1251(kAboutText), 10, 10, 160, 40);
  t.AddButton(IDOK, L"OK", 65, 58, 50, 14, true);
  RunModal(module, t, AboutProc, 0);
}

}  // namespace kyt::win32
