#pragma once
// The platform of the real plug-in: the Windows user interface, GDI, the
// kernel's global memory for host strings and the profile-string API.
#include <windows.h>

#include "platform/Platform.h"

namespace kyt::win32 {

class Win32Platform final : public IPlatform {
 public:
  // `module` is the plug-in's own module (paths, window classes, dialogs).
  explicit Win32Platform(HMODULE module) : module_(module) {}

  void SetCursor(int32_t cursor) override;
  void ShowMessage(const std::string& text) override;
  void ProcessMessages() override;
  char* AllocHostString(size_t bytes) override;
  void FreeHostString(char* text) override;
  std::string ModulePath() override;
  bool FileExists(const std::string& path) override;
  std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                               const std::string& key) override;
  bool GetClientRect(uint32_t window, Rect& rect) override;
  std::unique_ptr<IWindowPeer> CreateDcrWindow(IDcrWindow& window, uint32_t parent) override;
  void UseHintWindowWithoutShadow() override;
  bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) override;
  int32_t ShowModalForm(const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events) override;

  HMODULE Module() const { return module_; }

 private:
  HMODULE module_;
};

// A 32-bit window handle as the host passes it (handles are sign-extended on 64-bit Windows).
inline HWND WindowFromHost(uint32_t handle) {
  return reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(handle)));
}

// The caption of the plug-in's message and About boxes.
inline constexpr const wchar_t kPlugInTitle[] = L"kytDCR";

}  // namespace kyt::win32
