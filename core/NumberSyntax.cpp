#include "core/NumberSyntax.h"

#include "core/Error.h"

namespace kyt {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads the text as a number of `bits` bits (32 or 64), as a 64-bit value.
std::optional<int64_t> Parse(const std::string& text, int bits) {
  size_t i = 0;
  const size_t n = text.size();
  while (i < n && text[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return std::nullopt;  // no digits at all

  const uint64_t widthMask = bits == 64 ? ~uint64_t(0) : (uint64_t(1) << bits) - 1;
  uint64_t magnitude = 0;
  if (hex) {
    for (; i < n; ++i) {
      const int d = HexValue(text[i]);
      if (d < 0) return std::nullopt;
      if (magnitude > (widthMask >> 4)) return std::nullopt;  // more digits than the width holds
      magnitude = (magnitude << 4) | uint64_t(d);
    }
    uint64_t pattern = negative ? (~magnitude + 1) & widthMask : magnitude;
    if (bits == 32) return int64_t(int32_t(uint32_t(pattern)));
    return int64_t(pattern);
  }

  // Decimal: the limit is the largest magnitude the signed width can take.
  const uint64_t limit = (uint64_t(1) << (bits - 1)) - (negative ? 0 : 1);
  for (; i < n; ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    const uint64_t d = uint64_t(c - '0');
    if (magnitude > (limit - d) / 10) return std::nullopt;
    magnitude = magnitude * 10 + d;
  }
  if (!negative) return int64_t(magnitude);
  return magnitude == (uint64_t(1) << 63) ? INT64_MIN : -int64_t(magnitude);
}

[[noreturn]] void Invalid(const std::string& text) {
  throw Error("'" + text + "' is not a valid integer value");
}

}  // namespace

std::optional<int32_t> TryParseInt32(const std::string& text) {
  const auto v = Parse(text, 32);
  if (!v) return std::nullopt;
  return int32_t(*v);
}

std::optional<int64_t> TryParseInt64(const std::string& text) { return Parse(text, 64); }

int32_t ParseInt32(const std::string& text) {
  const auto v = TryParseInt32(text);
  if (!v) Invalid(text);
  return *v;
}

int64_t ParseInt64(const std::string& text) {
  const auto v = TryParseInt64(text);
  if (!v) Invalid(text);
  return *v;
}

}  // namespace kyt
