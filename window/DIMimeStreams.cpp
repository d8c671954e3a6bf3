#include "window/DIMimeStreams.h"

#include <array>

#include "core/Error.h"
#include "window/DIMime.h"

namespace kyt {

void Base64DecodeStream(std::istream& text, std::vector<uint8_t>& bytes) {
  std::array<char, kBase64StreamBlock> block;
  std::array<uint8_t, Base64MaxDecodedSize(kBase64StreamBlock)> decoded;
  Base64DecodeState state;
  for (;;) {
    text.read(block.data(), static_cast<std::streamsize>(block.size()));
    const std::streamsize got = text.gcount();
    if (text.bad()) throw Error("The base64 text could not be read");
    if (got <= 0) break;
    const size_t n = Base64DecodeChunk(block.data(), static_cast<size_t>(got), decoded.data(), state);
    bytes.insert(bytes.end(), decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(n));
    if (text.eof()) break;
  }
  const size_t n = Base64DecodeFinish(decoded.data(), state);
  bytes.insert(bytes.end(), decoded.begin(), decoded.begin() + static_cast<std::ptrdiff_t>(n));
}

}  // namespace kyt
