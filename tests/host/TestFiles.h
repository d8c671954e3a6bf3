#pragma once
// Files the host tests feed the plug-in, written byte by byte here so that the
// tests do not lean on the library's own writers.
#include <cstdint>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace kyt::test {

// A knowledge base with the given dimensions, zero weights, and one pattern per
// name (one sample of -1 values, target +1 at the pattern's own output unit).
std::vector<uint8_t> KnowledgeBaseBytes(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols,
                                        int32_t hiddenCount, const std::vector<std::string>& names);
// A 24-bit Windows bitmap file of the picture.
std::vector<uint8_t> BmpBytes(const Bitmap& picture);
// Standard base64 with "=" padding.
std::string Base64(const std::vector<uint8_t>& bytes);

}  // namespace kyt::test
