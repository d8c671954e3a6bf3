// Base64 decoding: the block decoder fed the text in chunks of sizes the input
// chooses, and the stream decoder, against a reference decoder written
// independently (the whole text at once: alphabet characters only, groups of
// four give three bytes, a last group of two or three characters one or two).
#include <sstream>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "window/DIMime.h"
#include "window/DIMimeStreams.h"

namespace {

int Sextet(uint8_t c) {
  static const std::string kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  const size_t at = kAlphabet.find(char(c));
  return c != 0 && at != std::string::npos ? int(at) : -1;
}

std::vector<uint8_t> Reference(const std::string& text) {
  std::vector<int> values;
  for (char c : text)
    if (Sextet(uint8_t(c)) >= 0) values.push_back(Sextet(uint8_t(c)));
  std::vector<uint8_t> out;
  size_t i = 0;
  for (; i + 4 <= values.size(); i += 4) {
    const uint32_t group = uint32_t(values[i] << 18 | values[i + 1] << 12 | values[i + 2] << 6 | values[i + 3]);
    out.push_back(uint8_t(group >> 16));
    out.push_back(uint8_t(group >> 8));
    out.push_back(uint8_t(group));
  }
  const size_t tail = values.size() - i;
  if (tail >= 2) out.push_back(uint8_t(values[i] << 2 | values[i + 1] >> 4));
  if (tail == 3) out.push_back(uint8_t((values[i + 1] & 15) << 4 | values[i + 2] >> 2));
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kyt::fuzz::Check;
  kyt::fuzz::Input in(data, size);
  // The first bytes choose the chunk sizes, the rest is the text.
  const size_t cuts = in.Small(0, 8);
  std::vector<size_t> sizes;
  for (size_t i = 0; i < cuts; ++i) sizes.push_back(in.Small(0, 255));
  const std::vector<uint8_t> rest = in.Rest();
  const std::string text(rest.begin(), rest.end());
  const std::vector<uint8_t> expected = Reference(text);

  std::vector<uint8_t> decoded;
  kyt::Base64DecodeState state;
  size_t at = 0, k = 0;
  while (at < text.size()) {
    size_t n = sizes.empty() ? text.size() : sizes[k++ % sizes.size()];
    if (n > text.size() - at) n = text.size() - at;
    std::vector<uint8_t> block(kyt::Base64MaxDecodedSize(n));
    const size_t written = kyt::Base64DecodeChunk(text.data() + at, n, block.data(), state);
    Check(written <= block.size(), "a block writes no more than its bound");
    decoded.insert(decoded.end(), block.begin(), block.begin() + std::ptrdiff_t(written));
    at += n;
    if (sizes.empty()) break;
    if (n == 0 && k > 1000) break;  // only empty chunks: the text stays undecoded, as asked
  }
  if (at == text.size()) {
    uint8_t last[2];
    const size_t written = kyt::Base64DecodeFinish(last, state);
    Check(written <= 2, "the finish writes at most two bytes");
    decoded.insert(decoded.end(), last, last + written);
    Check(decoded == expected, "chunked decoding matches the reference decoder");
    Check(state.Remaining == 4 && state.Accumulator == 0, "the finish resets the state");
  }

  std::istringstream stream(text);
  std::vector<uint8_t> streamed = {0x55};  // the stream decoder appends
  kyt::Base64DecodeStream(stream, streamed);
  Check(streamed.size() == expected.size() + 1 && streamed[0] == 0x55 &&
            std::equal(expected.begin(), expected.end(), streamed.begin() + 1),
        "stream decoding matches the reference decoder");
  return 0;
}
