#pragma once
// Whole numbers read from texts (action parameters, host answers, script
// commands): any number of leading blanks, an optional "+" or "-", then decimal
// digits, or hexadecimal digits after "$", "x", "X", "0x" or "0X". Nothing may
// follow the digits. Decimal values must lie in the signed range of the target
// width; hexadecimal digits give the bit pattern of the target width, so
// "$FFFFFFFF" is -1 as a 32-bit number (a sign then negates that pattern).
#include <cstdint>
#include <optional>
#include <string>

namespace kyt {

// nullopt when the text is not such a number or does not fit.
std::optional<int32_t> TryParseInt32(const std::string& text);
std::optional<int64_t> TryParseInt64(const std::string& text);

// The same, raising kyt::Error "'<text>' is not a valid integer value" on failure.
int32_t ParseInt32(const std::string& text);
int64_t ParseInt64(const std::string& text);

}  // namespace kyt
