#include "tests/win32/DialogDriver.h"

namespace kyt::testhost {

namespace {

DialogDriver* g_active = nullptr;
constexpr UINT kPollMilliseconds = 20;

struct Search {
  std::set<HWND>* handled;
  HWND found = nullptr;
  HWND stale = nullptr;  // handled already but still open
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto& search = *reinterpret_cast<Search*>(param);
  wchar_t cls[64] = {};
  GetClassNameW(window, cls, 64);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  if (search.handled->count(window)) {
    search.stale = window;
    return TRUE;
  }
  search.found = window;
  return FALSE;
}

}  // namespace

DialogDriver::DialogDriver(Handler handler) : handler_(std::move(handler)) {
  g_active = this;
  timer_ = SetTimer(nullptr, 0, kPollMilliseconds, Tick);
}

DialogDriver::~DialogDriver() {
  KillTimer(nullptr, timer_);
  g_active = nullptr;
}

void CALLBACK DialogDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_active) g_active->Poll();
}

void DialogDriver::Poll() {
  Search search{&handled_};
  EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&search));
  if (search.found) {
    handled_.insert(search.found);
    handler_(search.found);
  } else if (search.stale) {
    // A handler that left its dialog open must not hang the run.
    Press(search.stale, IDCANCEL);
  }
}

std::wstring WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(size_t(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(size_t(got > 0 ? got : 0));
  return text;
}

std::wstring ItemText(HWND dialog, int id) {
  HWND item = GetDlgItem(dialog, id);
  return item ? WindowText(item) : std::wstring(L"(no such item)");
}

void SetItemText(HWND dialog, int id, const std::wstring& text) { SetDlgItemTextW(dialog, id, text.c_str()); }

void Press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

}  // namespace kyt::testhost
