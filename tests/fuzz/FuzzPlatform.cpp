// Every harness runs on the headless platform, installed before the first
// input as the program that starts the library installs its platform.
#include "platform/Platform.h"
#include "platform/headless/HeadlessPlatform.h"

namespace {

struct InstallHeadless {
  InstallHeadless() {
    static kyt::HeadlessPlatform platform;
    kyt::InstallPlatform(&platform);
  }
} g_installHeadless;

}  // namespace
