#include "host/NameMatching.h"

#include "core/AsciiCase.h"

namespace kyt {

bool SameObjectName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiUpper(a[i]) != AsciiUpper(b[i])) return false;
  return true;
}

}  // namespace kyt
