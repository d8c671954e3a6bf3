#pragma once
// How host object names are compared: the same length and the same bytes once
// the letters a to z are mapped to A to Z. No other byte is folded, so Cyrillic
// letters (code page 1251) and everything else must match exactly.
#include <string>

namespace kyt {

bool SameObjectName(const std::string& a, const std::string& b);

}  // namespace kyt
