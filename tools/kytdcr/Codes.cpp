#include "Codes.h"

#include <bit>

#include "core/Error.h"

namespace kytdcr {

int32_t DefaultCodeLength(int32_t patterns) {
  int32_t n = 16;
  while (2 * (n - 1) < patterns) n *= 2;
  return n;
}

std::vector<kyt::TLayer> CodeTargets(int32_t count, int32_t length) {
  if (length < 2 || !std::has_single_bit(uint32_t(length))) {
    throw kyt::Error("the output count must be a power of two, not " + std::to_string(length));
  }
  if (count > 2 * (length - 1)) {
    throw kyt::Error(std::to_string(count) + " patterns need more than " + std::to_string(length) + " outputs");
  }
  std::vector<kyt::TLayer> targets;
  for (int32_t k = 0; k < count; ++k) {
    // Row 0 is all +1 and carries no information against the others; skip it.
    const uint32_t row = uint32_t(k % (length - 1)) + 1;
    const float sign = k < length - 1 ? 1.0f : -1.0f;
    kyt::TLayer t(size_t(length) + 1, 0.0f);
    for (int32_t j = 0; j < length; ++j) {
      const bool odd = std::popcount(row & uint32_t(j)) % 2 != 0;
      t[size_t(j) + 1] = odd ? -sign : sign;
    }
    targets.push_back(std::move(t));
  }
  return targets;
}

std::pair<int32_t, int32_t> OutputShape(int32_t length) {
  int32_t rows = 1;
  for (int32_t r = 1; r * r <= length; ++r)
    if (length % r == 0) rows = r;
  return {rows, length / rows};
}

}  // namespace kytdcr
