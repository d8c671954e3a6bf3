#pragma once
// What the portable core needs from the system it runs on: windows, painting,
// the cursor, the message box, dialogs, host-string memory and the INI file.
// The Win32 layer implements it for the real plug-in; the headless layer for
// Linux builds and tests.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "platform/Forms.h"

namespace kyt {

constexpr int32_t kCursorDefault = 0;
constexpr int32_t kCursorHourglass = -11;

// The host's notification to a DCR window (wParam an argument, lParam the sub-code).
constexpr uint32_t kHostNotifyMessage = 0x04FA;
constexpr uint32_t kWmGetDlgCode = 0x0087;
constexpr intptr_t kDlgcWantArrows = 1;

// How a DCR window looks: its title panel above the picture, and the size of
// the window before it is attached to its host object.
struct DcrWindowLook {
  const char* TitleCaption;  // code page 1251
  int32_t TitleHeight;
  Color TitleColor;
  Color TitleFontColor;
  int32_t DesignWidth;
  int32_t DesignHeight;
};

// A DCR window as its system window sees it; the window model implements it.
class IDcrWindow {
 public:
  virtual ~IDcrWindow() = default;
  virtual const Bitmap& Picture() const = 0;
  virtual const DcrWindowLook& Look() const = 0;
  // The client area of the frame (the window's client area).
  virtual int32_t ClientWidth() const = 0;
  virtual int32_t ClientHeight() const = 0;
  // The system window's client area changed size.
  virtual void ClientResized(int32_t width, int32_t height) = 0;
  // Message 0x04FA: lParam the sub-code, wParam its argument.
  virtual intptr_t HostNotifyMessage(uintptr_t wParam, intptr_t lParam) = 0;
  // WM_GETDLGCODE, given what the default window procedure answered.
  virtual intptr_t DialogCode(intptr_t defaultResult) const = 0;
};

// The system window that shows one DCR window.
class IWindowPeer {
 public:
  virtual ~IWindowPeer() = default;
  // Position relative to the parent, at the top of the z-order, shown.
  virtual void SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) = 0;
  virtual void SetSize(int32_t width, int32_t height) = 0;
  virtual Rect Bounds() const = 0;
  virtual bool Visible() const = 0;
  // Paints the window with its child controls into the device context `dc` at (0, 0).
  virtual void PaintTo(uintptr_t dc) = 0;
  // The frame's picture changed: repaint and update the scroll ranges.
  virtual void PictureChanged() = 0;
  virtual uintptr_t Handle() const = 0;
};

class IPlatform {
 public:
  virtual ~IPlatform() = default;

  virtual void SetCursor(int32_t cursor) = 0;
  // Modal message box with an OK button; the text is code page 1251.
  virtual void ShowMessage(const std::string& text) = 0;
  // Handles the pending window messages of this thread (used by training).
  virtual void ProcessMessages() = 0;

  // Host-string memory: GlobalAlloc(GMEM_FIXED) / GlobalFree on Windows.
  virtual char* AllocHostString(size_t bytes) = 0;
  virtual void FreeHostString(char* text) = 0;

  // Full path of the library's own module.
  virtual std::string ModulePath() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Profile-string rules; nullopt when the file, section or key is absent.
  virtual std::optional<std::string> ReadProfileString(const std::string& file, const std::string& section,
                                                       const std::string& key) = 0;

  // Client rectangle of a foreign (host) window; false when it is no window.
  virtual bool GetClientRect(uint32_t window, Rect& rect) = 0;
  // Creates the system window of a DCR window as a child of `parent`; raises kyt::Error on failure.
  virtual std::unique_ptr<IWindowPeer> CreateDcrWindow(IDcrWindow& window, uint32_t parent) = 0;
  // Hints of the plug-in's windows are shown without a drop shadow from now on.
  virtual void UseHintWindowWithoutShadow() = 0;

  // Draws a Windows metafile (wmf, emf) into `out`; false when this platform cannot draw metafiles.
  virtual bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) = 0;

  // Realises `form` with `texts`, parented to the active window of this
  // thread, and shows it modally; `events` hears its activation, clicks and
  // mouse moves. When it closes, `texts` holds what its controls showed.
  // Returns the modal result (kModalCancel when the window was closed).
  virtual int32_t ShowModalForm(const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events) = 0;
};

// The platform in use. Whoever starts the program (the DLL's entry, the shared
// library, the tool, a test program) installs one; installing also connects
// the engine's hooks (message processing, hourglass) to it. SetPlatform puts a
// stand-in in front of the installed platform (tests), null removes it.
// Platform() raises kyt::Error when there is none.
IPlatform& Platform();
void InstallPlatform(IPlatform* platform);
void SetPlatform(IPlatform* platform);

}  // namespace kyt
