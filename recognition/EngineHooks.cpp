#include "recognition/EngineHooks.h"

#include <utility>

namespace kyt {

namespace {
EngineHooks& Installed() {
  static EngineHooks hooks;
  return hooks;
}
}  // namespace

void SetEngineHooks(EngineHooks hooks) { Installed() = std::move(hooks); }
const EngineHooks& CurrentEngineHooks() { return Installed(); }

}  // namespace kyt
