// Time per glyph of the forward pass and the ranking at each dispatch level
// the processor offers, on the bundled latin knowledge base with its own
// training samples: the 32-bit build's figures (run under qemu they are
// indicative only, the x87 code suffering most from the emulation). Each level
// runs for about `seconds` (default 2) and at least 3 glyphs.
//
//   qemu-i386-static -L /usr/i686-linux-gnu build-kernels32/kernels32_speed [seconds]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "recognition/BackPropCls.h"
#include "recognition/ForwardKernels.h"

int main(int argc, char** argv) {
  using namespace kyt;
  const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
  TBackProp net(std::string(KYT_SOURCE_DIR) + "/data/kb/latin.dcr");
  std::vector<const TLayer*> samples;
  for (const TTrainingPairs& pattern : net.TrainingSet)
    for (const TLayer& sample : pattern.Samples) samples.push_back(&sample);
  if (samples.empty()) return 1;
  std::printf("latin %d-%d-%d, %zu samples\n", net.InputCount, net.HiddenCount, net.OutputCount, samples.size());
  TBackProp::FixedNetwork fixed(net);  // as recognition holds it
  for (int i = 0; i < kernels::kLevelCount; ++i) {
    const kernels::Level level = kernels::Level(i);
    if (!kernels::Available(level)) continue;
    kernels::ForceLevel(level);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    size_t glyphs = 0;
    double elapsed = 0;
    std::string name;
    do {
      const TLayer& sample = *samples[glyphs % samples.size()];
      std::copy(sample.begin() + 1, sample.end(), net.InputLayer.begin() + 1);
      net.Propagate();
      net.Recognize(name);
      ++glyphs;
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (glyphs < 3 || elapsed < seconds);
    std::printf("%-7s %10.1f us/glyph (Propagate + Recognize, %zu glyphs)\n", kernels::LevelName(level),
                elapsed * 1e6 / double(glyphs), glyphs);
  }
  kernels::ForceLevel(std::nullopt);
  return 0;
}
