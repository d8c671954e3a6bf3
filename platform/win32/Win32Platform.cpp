#include "platform/win32/Win32Platform.h"

#include <vector>

#include "core/Error.h"
#include "platform/win32/Win32Forms.h"
#include "platform/win32/Win32HintWindow.h"
#include "platform/win32/Win32Metafile.h"
#include "platform/win32/Win32Text.h"
#include "platform/win32/Win32WindowPeer.h"

namespace kyt::win32 {

void Win32Platform::SetCursor(int32_t cursor) {
  ::SetCursor(LoadCursorA(nullptr, cursor == kCursorHourglass ? IDC_WAIT : IDC_ARROW));
}

void Win32Platform::ShowMessage(const std::string& text) {
  MessageBoxW(GetActiveWindow(), FromCp1251(text).c_str(), kPlugInTitle, MB_OK | MB_TASKMODAL);
}

void Win32Platform::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The host's own loop must still see it.
      PostQuitMessage(int(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

char* Win32Platform::AllocHostString(size_t bytes) {
  void* block = GlobalAlloc(GMEM_FIXED, bytes ? bytes : 1);
  if (!block) throw Error("Out of memory");
  return static_cast<char*>(block);
}

void Win32Platform::FreeHostString(char* text) {
  if (text) GlobalFree(text);
}

std::string Win32Platform::ModulePath() {
  // 255 characters hold every ordinary path; a longer one is read whole
  // rather than cut off.
  std::vector<char> buffer(255);
  for (;;) {
    const DWORD n = GetModuleFileNameA(module_, buffer.data(), DWORD(buffer.size()));
    if (n == 0) return std::string();
    if (n < buffer.size() || buffer.size() >= 32768) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);
  }
}

bool Win32Platform::FileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::optional<std::string> Win32Platform::ReadProfileString(const std::string& file, const std::string& section,
                                                            const std::string& key) {
  // The API gives the default for an absent file, section or key; a default
  // that no INI line can produce tells these apart from a present empty value.
  static const char kAbsent[] = "\x01kytDCR:absent\x01";
  std::vector<char> buffer(1024);
  for (;;) {
    const DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), kAbsent, buffer.data(),
                                             DWORD(buffer.size()), file.c_str());
    // n == size - 1 means the value may have been cut off: read again with more room.
    if (n + 1 < buffer.size() || buffer.size() >= (size_t(1) << 20)) {
      std::string value(buffer.data(), n);
      if (value == kAbsent) return std::nullopt;
      return value;
    }
    buffer.resize(buffer.size() * 4);
  }
}

bool Win32Platform::GetClientRect(uint32_t window, Rect& rect) {
  const HWND handle = WindowFromHost(window);
  if (!handle || !IsWindow(handle)) return false;
  RECT r;
  if (!::GetClientRect(handle, &r)) return false;
  rect = Rect{r.left, r.top, r.right, r.bottom};
  return true;
}

std::unique_ptr<IWindowPeer> Win32Platform::CreateDcrWindow(IDcrWindow& window, uint32_t parent) {
  return std::make_unique<Win32WindowPeer>(window, WindowFromHost(parent), module_);
}

void Win32Platform::UseHintWindowWithoutShadow() { RegisterHintWindowClass(module_); }

bool Win32Platform::DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) {
  out = RenderMetafile(bytes);
  return true;
}

int32_t Win32Platform::ShowModalForm(const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events) {
  return RunForm(module_, form, texts, events);
}

}  // namespace kyt::win32
