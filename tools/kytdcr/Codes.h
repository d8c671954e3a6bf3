#pragma once
// Target vectors of the patterns of a knowledge base. Recognition scores a
// pattern by the share of output units on its target's side of zero, so targets
// are rows of a Sylvester-Hadamard matrix (+1/-1): any two differ in half of
// their units, and a glyph must get half the units wrong before it is taken
// for another pattern. Past the rows come their complements.
#include <cstdint>
#include <vector>

#include "recognition/BackPropCls.h"

namespace kytdcr {

// The smallest power of two n (at least 16) whose rows 1..n-1 and their
// complements give each of `patterns` patterns a target of its own.
int32_t DefaultCodeLength(int32_t patterns);

// `count` targets of `length` + 1 elements (element 0 unused). `length` must be
// a power of two and `count` at most 2 * (length - 1); raises kyt::Error otherwise.
std::vector<kyt::TLayer> CodeTargets(int32_t count, int32_t length);

// Output grid rows x cols for a code length (as square as possible).
std::pair<int32_t, int32_t> OutputShape(int32_t length);

}  // namespace kytdcr
