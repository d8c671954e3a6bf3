// The test programs' main: the headless platform is installed, as a program
// that starts the library would install its own, then every test runs.
#include <gtest/gtest.h>

#include "platform/Platform.h"
#include "platform/headless/HeadlessPlatform.h"

int main(int argc, char** argv) {
  kyt::HeadlessPlatform platform;
  kyt::InstallPlatform(&platform);
  testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  kyt::InstallPlatform(nullptr);
  return result;
}
