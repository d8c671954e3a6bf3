#pragma once
// What the engine asks of whoever runs it, without knowing who that is: a
// chance to handle the pending window messages between training samples, and
// a busy sign (the hourglass) while recognition runs. The program that starts
// the engine installs them; without hooks the engine just computes.
#include <functional>

namespace kyt {

struct EngineHooks {
  std::function<void()> ProcessMessages;  // after every training sample
  std::function<void(bool busy)> Busy;    // true when recognition starts, false when it ends
};

void SetEngineHooks(EngineHooks hooks);
const EngineHooks& CurrentEngineHooks();

}  // namespace kyt
