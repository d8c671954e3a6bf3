#pragma once
// The forward-pass dispatch levels as the kernel tests walk them: every level
// this processor can run, and a scope that forces one.
#include <optional>
#include <vector>

#include "recognition/ForwardKernels.h"

namespace kyt::kerneltest {

// The levels this machine runs, from `first` up (0 is the x87 reference).
inline std::vector<kernels::Level> AvailableLevels(int first) {
  std::vector<kernels::Level> levels;
  for (int i = first; i < kernels::kLevelCount; ++i)
    if (kernels::Available(kernels::Level(i))) levels.push_back(kernels::Level(i));
  return levels;
}

// Forces one level while it lives.
class Forced {
 public:
  explicit Forced(kernels::Level level) { kernels::ForceLevel(level); }
  ~Forced() { kernels::ForceLevel(std::nullopt); }
  Forced(const Forced&) = delete;
  Forced& operator=(const Forced&) = delete;
};

}  // namespace kyt::kerneltest
