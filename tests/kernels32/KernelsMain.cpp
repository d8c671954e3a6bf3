// The 32-bit kernel tests' main: names the processor's dispatch levels first,
// which scripts/test-windows.sh compares with what the emulated processor
// should offer, then runs every test.
#include <gtest/gtest.h>

#include <cstdio>

#include "core/ProcessorFeatures.h"
#include "recognition/ForwardKernels.h"

int main(int argc, char** argv) {
  std::printf("levels:");
  for (int i = 0; i < kyt::kernels::kLevelCount; ++i)
    if (kyt::kernels::Available(kyt::kernels::Level(i))) std::printf(" %s", kyt::kernels::LevelName(kyt::kernels::Level(i)));
  std::printf("\nprocessor: sse %d sse2 %d popcnt %d\n", kyt::Processor().sse, kyt::Processor().sse2,
              kyt::Processor().popcnt);
  std::fflush(stdout);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
