#include "platform/Platform.h"

#include "core/Error.h"
#include "recognition/EngineHooks.h"

namespace kyt {

namespace {
IPlatform* g_installed = nullptr;
IPlatform* g_standIn = nullptr;
}  // namespace

IPlatform& Platform() {
  if (g_standIn) return *g_standIn;
  if (g_installed) return *g_installed;
  throw Error("No platform is installed.");
}

void InstallPlatform(IPlatform* platform) {
  g_installed = platform;
  if (!platform) {
    SetEngineHooks({});
    return;
  }
  // The hooks ask for the platform each time, so that a stand-in is heard too.
  SetEngineHooks(EngineHooks{[] { Platform().ProcessMessages(); },
                             [](bool busy) { Platform().SetCursor(busy ? kCursorHourglass : kCursorDefault); }});
}

void SetPlatform(IPlatform* platform) { g_standIn = platform; }

}  // namespace kyt
