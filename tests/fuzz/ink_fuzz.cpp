// The command-line tool's straight-to-ink reader (DecodeInk: P1, P2, P4, P5,
// PNG, one-bit TIFF) against the picture decoder and Binarize. The first byte
// of the input chooses the black/white threshold, the rest is the file, its
// format told by its first bytes as the tool tells it. What must hold:
// whenever DecodeInk gives ink, the picture loader decodes the same file and
// Binarize of that picture at the same threshold is the ink, bit for bit;
// whenever the loader refuses the file, DecodeInk gives none; and for the
// kinds of file the ink reader takes whole (the four grey and bit maps, and
// PNG with its end chunk), a file the loader decodes gives ink.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "InkInput.h"
#include "PictureInput.h"
#include "core/Error.h"
#include "recognition/DCRFra.h"
#include "window/PictureLoader.h"

namespace {

using kyt::fuzz::Check;

// The threshold of the first byte: every value from 0 to 247, and beyond
// them those at and past the ends of the luminance scale.
int32_t Threshold(uint8_t choice) {
  static const int32_t kEnds[] = {-5, 256, 1000, -1000000, 255, 1, 0x7FFFFFFF, -0x7FFFFFFF - 1};
  return choice < 0xF8 ? int32_t(choice) : kEnds[choice - 0xF8];
}

// Whether the chunks, walked from the signature on by their lengths, reach
// the end chunk within the file.
bool EndChunkReached(const std::vector<uint8_t>& bytes) {
  for (uint64_t at = 8; at + 8 <= bytes.size();) {
    const uint8_t* p = bytes.data() + at;
    const uint64_t length = (uint64_t(p[0]) << 24) | (uint64_t(p[1]) << 16) | (uint64_t(p[2]) << 8) | p[3];
    if (std::memcmp(p + 4, "IEND", 4) == 0) return at + 12 + length <= bytes.size();
    at += 12 + length;
  }
  return false;
}

// Whether the ink reader takes every such file the decoder decodes.
bool TakenWhole(const std::vector<uint8_t>& bytes, const std::string& format) {
  if (format == "ppm") return bytes[1] == '1' || bytes[1] == '2' || bytes[1] == '4' || bytes[1] == '5';
  return format == "png" && EndChunkReached(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int32_t threshold = Threshold(data[0]);
  kytdcr::PictureFile file{std::vector<uint8_t>(data + 1, data + size), ""};
  file.format = kytdcr::SniffPictureFormat(file.bytes);
  if (file.format != "ppm" && file.format != "png" && file.format != "tif") return 0;

  const std::optional<kyt::TImageArray> ink = kytdcr::DecodeInk(file, threshold);
  kyt::Bitmap picture;
  try {
    picture = kyt::DecodePicture(file.bytes, file.format);
  } catch (const kyt::Error&) {
    Check(!ink.has_value(), "no ink from a file the picture loader refuses");
    return 0;
  }
  if (!ink) {
    Check(!TakenWhole(file.bytes, file.format), "ink from every grey or bit map and PNG the picture loader decodes");
    return 0;
  }
  kyt::TDCRFrame frame;
  frame.AssignPicture(picture);
  frame.BWThreshold = threshold;
  frame.Binarize();
  Check(ink->Width() == frame.ImageArray.Width() && ink->Height() == frame.ImageArray.Height(),
        "the ink is as large as the decoded picture");
  Check(*ink == frame.ImageArray, "the ink is Binarize's ink of the decoded picture at the same threshold");
  return 0;
}
