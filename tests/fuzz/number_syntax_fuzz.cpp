// Number syntax against a reference written independently: blanks, a sign,
// then decimal digits or hexadecimal digits after "$", "x", "X", "0x" or "0X",
// nothing after them. The reference strips leading zeros and counts digits
// (decimal values are compared in 128 bits, hexadecimal ones may have as many
// significant digits as the width holds and give its bit pattern, a sign
// negating that pattern). Numbers that were printed are read back.
#include <optional>
#include <string>

#include "FuzzInput.h"
#include "core/Error.h"
#include "core/NumberSyntax.h"

namespace {

using kyt::fuzz::Check;

std::optional<int64_t> Reference(const std::string& text, int bits) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string::npos) return std::nullopt;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int base = 10;
  if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0) base = 16, i += 2;
  else if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) base = 16, i += 1;
  std::string digits = text.substr(i);
  if (digits.empty()) return std::nullopt;
  const std::string allowed = base == 10 ? "0123456789" : "0123456789abcdefABCDEF";
  if (digits.find_first_not_of(allowed) != std::string::npos) return std::nullopt;
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
  if (base == 16) {
    if (digits.size() > size_t(bits / 4)) return std::nullopt;
    const unsigned __int128 pattern = digits.empty() ? 0 : std::stoull(digits, nullptr, 16);
    const unsigned __int128 mask = (unsigned __int128)(1) << bits;
    unsigned __int128 value = negative ? (mask - pattern) % mask : pattern;
    if (value >= mask / 2) return int64_t(value - mask);  // the top bit is the sign
    return int64_t(value);
  }
  if (digits.size() > 25) return std::nullopt;
  __int128 value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  if (negative) value = -value;
  const __int128 low = -((__int128)(1) << (bits - 1)), high = ((__int128)(1) << (bits - 1)) - 1;
  if (value < low || value > high) return std::nullopt;
  return int64_t(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::optional<int64_t> wide = kyt::TryParseInt64(text);
  const std::optional<int32_t> narrow = kyt::TryParseInt32(text);
  Check(wide == Reference(text, 64), "64-bit reading matches the reference");
  const std::optional<int64_t> narrowExpected = Reference(text, 32);
  Check(narrow.has_value() == narrowExpected.has_value() && (!narrow || *narrow == *narrowExpected),
        "32-bit reading matches the reference");
  // The raising forms agree with the trying ones, with the error text naming the text.
  try {
    Check(kyt::ParseInt32(text) == narrow.value(), "ParseInt32 gives TryParseInt32's value");
  } catch (const kyt::Error& e) {
    Check(!narrow, "ParseInt32 refuses what TryParseInt32 refuses");
    // The error text is a C string: a text with a zero byte shows up to it.
    const std::string message = "'" + text + "' is not a valid integer value";
    Check(std::string(e.what()) == message.substr(0, message.find('\0')), "the refusal names the text");
  }
  // Every value printed in decimal and in hexadecimal reads back.
  if (wide) {
    Check(kyt::TryParseInt64(std::to_string(*wide)) == wide, "a printed number reads back");
    char hex[32];
    std::snprintf(hex, sizeof hex, "  0X%llx", (unsigned long long)*wide);
    Check(kyt::TryParseInt64(hex) == wide, "a hexadecimal bit pattern reads back");
  }
  return 0;
}
