#include "platform/Platform.h"

#include "platform/headless/HeadlessPlatform.h"

namespace kyt {

namespace {
IPlatform* g_platform = nullptr;
}

IPlatform& Platform() {
  if (g_platform) return *g_platform;
  static HeadlessPlatform fallback;
  return fallback;
}

void SetPlatform(IPlatform* platform) { g_platform = platform; }

}  // namespace kyt
