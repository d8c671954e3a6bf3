#include "host/NameMatching.h"

namespace kyt {

namespace {
unsigned char FoldLatin(unsigned char c) { return c >= 'a' && c <= 'z' ? static_cast<unsigned char>(c - 'a' + 'A') : c; }
}  // namespace

bool SameObjectName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (FoldLatin(static_cast<unsigned char>(a[i])) != FoldLatin(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

}  // namespace kyt
