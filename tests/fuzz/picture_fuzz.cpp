// Picture decoding by extension, as the picture-loading action does it. The
// extension comes from the build (one harness per decoder). A decode either
// yields a picture within the memory budget for its input, made of 24-bit
// colours, or raises kyt::Error with a text; anything else (another
// exception, a sanitizer report, memory beyond the fuzzer's limits) is a fault.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "core/Error.h"
#include "window/PictureLoader.h"
#include "core/DecodeBudget.h"

#ifndef KYT_FUZZ_EXTENSION
#error "KYT_FUZZ_EXTENSION names the picture format of the harness"
#endif

namespace {

// A Photo-CD image pac keeps its picture at 0x30000 and needs 589824 bytes
// there: the input is spread over a buffer of that size so that the decoder
// reaches its image data. The input, after its first byte, covers the header
// from 0x800 on and, repeated, the image data. The whole buffer is kept for
// one input in 64 (by the sum of its bytes, so whatever inputs the fuzzer
// keeps): each such run converts the whole 768 x 512 picture, which has no
// branches that depend on the pixels and costs as much as a hundred of the
// other runs. Otherwise the first byte chooses how much is kept: a length
// anywhere from 0 to the whole, or for its top sixteen values a little less
// than the whole, so that the runs mostly try the header and the refusals of
// every part. Only what is kept is built.
std::vector<uint8_t> PhotoCdBuffer(const uint8_t* data, size_t size) {
  constexpr size_t kImage = 0x30000, kFull = kImage + 768 * 512 * 3 / 2;
  if (size == 0) return std::vector<uint8_t>(kFull, 0);
  unsigned sum = 0;
  for (size_t i = 0; i < size; ++i) sum += data[i];
  const uint8_t choice = data[0];
  ++data, --size;
  size_t kept = kFull;
  if (sum % 64 != 0) kept = choice >= 0xF0 ? kFull - size_t(choice - 0xEF) * 4099 : size_t(choice) * kFull / 0xF0;
  std::vector<uint8_t> buffer(kept, 0);
  const auto put = [&](size_t at, const void* from, size_t count) {
    if (at < kept) std::memcpy(buffer.data() + at, from, std::min(count, kept - at));
  };
  put(0x800, "PCD_IPI", 7);
  const size_t header = size < 0x800 ? size : 0x800;
  put(0x800, data, header);
  if (size > header && kept > kImage) {
    // The rest of the input, then copies of what is filled so far, doubling.
    const size_t area = kept - kImage;
    const size_t period = std::min(size - header, area);
    std::memcpy(buffer.data() + kImage, data + header, period);
    for (size_t filled = period; filled < area; filled *= 2)
      std::memcpy(buffer.data() + kImage + filled, buffer.data() + kImage, std::min(filled, area - filled));
  }
  return buffer;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using kyt::fuzz::Check;
  const std::string extension = KYT_FUZZ_EXTENSION;
  const std::vector<uint8_t> bytes =
      extension == "pcd" ? PhotoCdBuffer(data, size) : std::vector<uint8_t>(data, data + size);
  try {
    const kyt::Bitmap picture = kyt::DecodePicture(bytes, extension);
    Check(picture.Width() > 0 && picture.Height() > 0, "a decoded picture has pixels");
    Check(kyt::budget::WithinPixelBudget(uint64_t(picture.Width()), uint64_t(picture.Height()), bytes.size()),
          "a decoded picture keeps within the memory budget of its input");
    for (int32_t y = 0; y < picture.Height(); ++y) {
      const kyt::Color* row = picture.Row(y);
      kyt::Color high = 0;
      for (int32_t x = 0; x < picture.Width(); ++x) high |= row[x];
      Check((high >> 24) == 0, "pixels are 24-bit colours");
    }
  } catch (const kyt::Error& e) {
    Check(std::strlen(e.what()) > 0, "a refusal says why");
  }
  return 0;
}
