#include "host/PlugInUtils.h"

#include <cstring>

#include "platform/Platform.h"

namespace kyt {

char* NewHostString(const std::string& text) {
  char* block = Platform().AllocHostString(text.size() + 1);
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

void SetHostString(char** slot, const std::string& text) {
  if (!slot) return;
  char* fresh = NewHostString(text);  // allocate first: a failure leaves the slot as it was
  if (*slot) Platform().FreeHostString(*slot);
  *slot = fresh;
}

void FreeHostString(char** slot) {
  if (!slot || !*slot) return;
  Platform().FreeHostString(*slot);
  *slot = nullptr;
}

}  // namespace kyt
