// The library's start and end: the Win32 platform is installed when the
// library is loaded; nothing else happens then.
#include <windows.h>

#include <share.h>
#include <cstdio>

#include "core/WholeFile.h"
#include "platform/Platform.h"
#include "platform/win32/Win32Forms.h"
#include "platform/win32/Win32HintWindow.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32WindowPeer.h"

namespace {

kyt::win32::Win32Platform* g_platform = nullptr;

// Files are read while others may read them too, but not write them.
std::FILE* OpenDenyingWriters(const char* fileName) { return _fsopen(fileName, "rb", _SH_DENYWR); }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  switch (reason) {
    case DLL_PROCESS_ATTACH: {
      static kyt::win32::Win32Platform platform(instance);
      g_platform = &platform;
      kyt::InstallPlatform(g_platform);
      kyt::SetFileOpener(OpenDenyingWriters);
      DisableThreadLibraryCalls(instance);
      break;
    }
    case DLL_PROCESS_DETACH:
      // On FreeLibrary (not at process end) the window classes go with the
      // code of their window procedures, so that a reloaded library can
      // register them again. Classes with live windows stay registered.
      if (!reserved) {
        kyt::win32::UnregisterDcrWindowClasses(instance);
        kyt::win32::UnregisterHintWindowClass(instance);
        kyt::win32::UnregisterFormClasses(instance);
      }
      kyt::InstallPlatform(nullptr);
      kyt::SetFileOpener(nullptr);
      break;
    default:
      break;
  }
  return TRUE;
}
