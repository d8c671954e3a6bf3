#include "InkInput.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/Error.h"
#include "window/decoders/PngReading.h"
#include "window/decoders/TiffReading.h"

namespace kytdcr {

namespace {

// Binarize's verdict on a colour.
uint64_t InkOf(kyt::Color color, int32_t threshold) {
  return double(threshold) > kyt::TDCRFrame::Luminance(color) ? 1 : 0;
}

// The verdict on each grey level a map's sample becomes: the map decoder
// scales a sample v of maximum m to (255 v + m / 2) / m.
std::array<uint64_t, 256> GreyVerdicts(int32_t threshold) {
  std::array<uint64_t, 256> ink{};
  for (uint32_t v = 0; v < 256; ++v) ink[v] = InkOf(kyt::MakeColor(uint8_t(v), uint8_t(v), uint8_t(v)), threshold);
  return ink;
}

uint8_t Scale(uint32_t value, uint32_t maxValue) { return uint8_t((uint64_t(value) * 255u + maxValue / 2) / maxValue); }

// Any fault of the file: the caller decodes it the usual way, which names it.
struct NotForInk {};

bool IsBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// The text of a portable map, read as its decoder reads it.
class MapText {
 public:
  explicit MapText(const std::vector<uint8_t>& bytes) : p_(bytes.data()), end_(bytes.data() + bytes.size()) {}

  void SkipBlanks() {
    while (p_ < end_) {
      if (IsBlank(*p_)) {
        ++p_;
      } else if (*p_ == '#') {
        while (p_ < end_ && *p_ != '\n' && *p_ != '\r') ++p_;
      } else {
        break;
      }
    }
  }
  uint32_t Number(uint32_t limit) {
    SkipBlanks();
    if (p_ == end_ || !IsDigit(*p_)) throw NotForInk{};
    uint64_t value = 0;
    while (p_ < end_ && IsDigit(*p_)) {
      value = value * 10 + uint64_t(*p_++ - '0');
      if (value > limit) throw NotForInk{};
    }
    return uint32_t(value);
  }
  uint32_t Bit() {
    SkipBlanks();
    if (p_ == end_ || (*p_ != '0' && *p_ != '1')) throw NotForInk{};
    return uint32_t(*p_++ - '0');
  }
  void HeaderEnd() {
    if (p_ == end_ || !IsBlank(*p_)) throw NotForInk{};
    ++p_;
  }
  void Skip(size_t n) { p_ += n; }
  uint64_t Left() const { return uint64_t(end_ - p_); }
  const uint8_t* Take(uint64_t count) {
    if (Left() < count) throw NotForInk{};
    const uint8_t* at = p_;
    p_ += count;
    return at;
  }

 private:
  const uint8_t* p_;
  const uint8_t* end_;
};

// Turns a 64 x 64 block of bits around: bit c of a[r] becomes bit r of a[c].
// Each round swaps the off-diagonal halves of every block of 2j x 2j bits.
void Transpose64(uint64_t* a) {
  uint64_t m = 0x00000000FFFFFFFFull;
  for (int j = 32; j != 0; j >>= 1, m ^= m << j) {
    for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
      const uint64_t t = ((a[k] >> j) ^ a[k | j]) & m;
      a[k] ^= t << j;
      a[k | j] ^= t;
    }
  }
}

// The ink of 8-bit samples (rows of `width` bytes, `stride` apart) into the
// bands of `image`, when a sample is ink exactly below `below` (0 to 256): 64
// rows by 64 columns at a time, each row's ink gathered as the bits of one
// word, the block then turned into the columns' words. Returns the largest
// sample seen.
uint8_t GreyBandsBelow(const uint8_t* samples, size_t stride, uint32_t width, uint32_t height, uint32_t below,
                       kyt::TImageArray& image) {
  constexpr uint32_t kRows = uint32_t(kyt::TImageArray::kBandRows);
  uint8_t largest = 0;
  uint64_t block[64];
  for (uint32_t top = 0; top < height; top += kRows) {
    const uint32_t rows = std::min(kRows, height - top);
    uint64_t* band = image.Band(int32_t(top / kRows));
    for (uint32_t left = 0; left < width; left += 64) {
      const uint32_t columns = std::min(64u, width - left);
      for (uint32_t r = 0; r < 64; ++r) {
        uint64_t bits = 0;
        if (r < rows) {
          const uint8_t* row = samples + size_t(top + r) * stride + left;
          uint32_t c = 0;
#if defined(__SSE2__)
          if (below >= 1 && below <= 255) {
            // v < below exactly when min(v, below - 1) == v.
            const __m128i limit = _mm_set1_epi8(char(below - 1));
            __m128i high = _mm_setzero_si128();
            for (; c + 16 <= columns; c += 16) {
              const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + c));
              high = _mm_max_epu8(high, v);
              const uint32_t ink = uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(v, limit), v)));
              bits |= uint64_t(ink) << c;
            }
            alignas(16) uint8_t lanes[16];
            _mm_store_si128(reinterpret_cast<__m128i*>(lanes), high);
            largest = std::max(largest, *std::max_element(lanes, lanes + 16));
          }
#endif
          for (; c < columns; ++c) {
            largest = std::max(largest, row[c]);
            bits |= uint64_t(row[c] < below) << c;
          }
        }
        block[r] = bits;
      }
      Transpose64(block);
      std::memcpy(band + left, block, columns * sizeof(uint64_t));
    }
  }
  return largest;
}

// P1, P2, P4 and P5; P3 and P6 (colour) are left to the decoder.
std::optional<kyt::TImageArray> PortableMapInk(const std::vector<uint8_t>& bytes, int32_t threshold) {
  if (bytes.size() < 2 || bytes[0] != 'P') return std::nullopt;
  const int kind = bytes[1] - '0';
  if (kind != 1 && kind != 2 && kind != 4 && kind != 5) return std::nullopt;
  MapText in(bytes);
  in.Skip(2);
  const uint32_t width = in.Number(uint32_t(kyt::Bitmap::kMaxPixels));
  const uint32_t height = in.Number(uint32_t(kyt::Bitmap::kMaxPixels));
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(kyt::Bitmap::kMaxPixels)) return std::nullopt;
  const bool bitmap = kind == 1 || kind == 4;
  const uint32_t maxValue = bitmap ? 1 : in.Number(65535);
  if (maxValue == 0) return std::nullopt;
  const bool plain = kind <= 2;
  const uint64_t pixels = uint64_t(width) * height;
  const uint32_t sampleBytes = maxValue < 256 ? 1 : 2;
  uint64_t needed = pixels;  // a plain map takes at least one character per sample
  if (!plain) {
    in.HeaderEnd();
    needed = kind == 4 ? (uint64_t(width) + 7) / 8 * height : pixels * sampleBytes;
  }
  if (in.Left() < needed) return std::nullopt;

  const std::array<uint64_t, 256> grey = GreyVerdicts(threshold);
  // The ink of each sample value (a bitmap's 1 is black).
  std::array<uint64_t, 256> ink{};
  if (bitmap) {
    ink[0] = grey[255];
    ink[1] = grey[0];
  } else {
    for (uint32_t v = 0; v <= maxValue && v < 256; ++v) ink[v] = grey[Scale(v, maxValue)];
  }
  kyt::TImageArray image{int32_t(width), int32_t(height)};
  if (kind == 5 && sampleBytes == 1) {
    // The grey verdicts fall from ink to background once as the level rises
    // (a grey's luminance is its level), and so do those of the samples,
    // whose scaling to levels keeps their order: the ink is the samples below
    // a bound. Should the verdicts not be of that form, the rows below read
    // them one sample at a time.
    uint32_t below = 0;
    while (below < 256 && ink[below]) ++below;
    bool ordered = true;
    for (uint32_t v = below; v < 256; ++v) ordered &= ink[v] == 0;
    if (ordered) {
      const uint8_t* samples = in.Take(uint64_t(width) * height);
      if (GreyBandsBelow(samples, width, width, height, below, image) > maxValue) return std::nullopt;
      return image;
    }
  }
  for (uint32_t y = 0; y < height; ++y) {
    uint64_t* band = image.Band(int32_t(y / kyt::TImageArray::kBandRows));
    const int shift = int(y % kyt::TImageArray::kBandRows);
    if (kind == 1) {
      for (uint32_t x = 0; x < width; ++x) band[x] |= ink[in.Bit()] << shift;
    } else if (kind == 2) {
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = in.Number(maxValue);
        band[x] |= (maxValue < 256 ? ink[v] : grey[Scale(v, maxValue)]) << shift;
      }
    } else if (kind == 4) {
      const uint8_t* src = in.Take((uint64_t(width) + 7) / 8);
      for (uint32_t x = 0; x < width; ++x) band[x] |= ink[(src[x / 8] >> (7 - x % 8)) & 1u] << shift;
    } else if (sampleBytes == 1) {
      const uint8_t* src = in.Take(width);
      for (uint32_t x = 0; x < width; ++x) band[x] |= ink[src[x]] << shift;
      // A byte cannot exceed 255; below that the decoder refuses larger samples.
      if (maxValue < 255 && *std::max_element(src, src + width) > maxValue) return std::nullopt;
    } else {
      const uint8_t* src = in.Take(uint64_t(width) * 2);
      for (uint32_t x = 0; x < width; ++x) {
        const uint32_t v = (uint32_t(src[2 * x]) << 8) | src[2 * x + 1];
        if (v > maxValue) return std::nullopt;
        band[x] |= grey[Scale(v, maxValue)] << shift;
      }
    }
  }
  return image;
}

// Grey pictures of up to 8 bits without transparency or colour space chunks
// are read as one grey byte a pixel, which are the levels the decoder's RGB
// triples repeat; anything else as the decoder reads it, RGB over white. The
// decoder's checks come first (BeginPngRead), with the chunks that could
// change a grey picture's levels noted.
std::optional<kyt::TImageArray> PngInk(const std::vector<uint8_t>& bytes, int32_t threshold) {
  bool plainGrey = true;
  kyt::PngImage image;
  const kyt::PngLayout layout = kyt::BeginPngRead(bytes, image, [&plainGrey](const uint8_t* type) {
    for (const char* colour : {"tRNS", "gAMA", "sRGB", "iCCP", "cHRM", "sBIT"})
      if (std::memcmp(type, colour, 4) == 0) plainGrey = false;
  });
  if (!layout.endChunkSeen) return std::nullopt;
  const uint32_t width = layout.width, height = layout.height;

  const bool grey = plainGrey && layout.colourType == 0 && layout.bitDepth <= 8;
  image.get()->format = grey ? PNG_FORMAT_GRAY : PNG_FORMAT_RGB;
  const size_t stride = size_t(width) * (grey ? 1 : 3);
  std::vector<uint8_t> samples(stride * height);
  png_color white{255, 255, 255};
  if (!png_image_finish_read(image.get(), &white, samples.data(), static_cast<png_int_32>(stride), nullptr))
    return std::nullopt;

  kyt::TImageArray ink{int32_t(width), int32_t(height)};
  const std::array<uint64_t, 256> greyInk = GreyVerdicts(threshold);
  kyt::Color last = 0;
  uint64_t lastInk = InkOf(last, threshold);
  for (uint32_t y = 0; y < height; ++y) {
    const uint8_t* src = samples.data() + stride * y;
    uint64_t* band = ink.Band(int32_t(y / kyt::TImageArray::kBandRows));
    const int shift = int(y % kyt::TImageArray::kBandRows);
    if (grey) {
      for (uint32_t x = 0; x < width; ++x) band[x] |= greyInk[src[x]] << shift;
      continue;
    }
    for (uint32_t x = 0; x < width; ++x, src += 3) {
      const kyt::Color colour = kyt::MakeColor(src[0], src[1], src[2]);
      if (colour != last) {
        last = colour;
        lastInk = InkOf(colour, threshold);
      }
      band[x] |= lastInk << shift;
    }
  }
  return ink;
}

#if defined(KYT_HAVE_TIFF)

// The first page when it is a plain one-bit picture in strips, top row
// first; its strips must lie within the file and hold enough data for their
// codec, as the decoder demands before it reads anything.
std::optional<kyt::TImageArray> TiffInk(const std::vector<uint8_t>& bytes, int32_t threshold) {
  if (bytes.size() < 4 || !((bytes[0] == 'I' && bytes[1] == 'I') || (bytes[0] == 'M' && bytes[1] == 'M')))
    return std::nullopt;
  // A page libtiff cannot read goes to the decoder, which reports it.
  std::string ignored;
  kyt::TiffMessages quiet(ignored);
  kyt::TiffMemoryFile file{bytes.data(), bytes.size(), 0};
  const kyt::TiffHandle handle(kyt::OpenTiffInMemory(file));
  TIFF* tiff = handle.get();
  if (!tiff) return std::nullopt;
  uint32_t width = 0, height = 0;
  uint16_t bits = 0, samples = 0, photometric = 0, orientation = 0, extra = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ORIENTATION, &orientation);
  TIFFGetFieldDefaulted(tiff, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
  if (!TIFFGetField(tiff, TIFFTAG_PHOTOMETRIC, &photometric)) return std::nullopt;
  if (bits != 1 || samples != 1 || extra != 0 || orientation != ORIENTATION_TOPLEFT || TIFFIsTiled(tiff) ||
      (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK))
    return std::nullopt;
  if (width == 0 || height == 0 || uint64_t(width) * height > uint64_t(kyt::Bitmap::kMaxPixels)) return std::nullopt;

  kyt::CheckTiffDataPresent(tiff, file.Size, width, height);
  const uint64_t lineBytes = uint64_t(TIFFScanlineSize64(tiff));
  if (lineBytes < (uint64_t(width) + 7) / 8) return std::nullopt;

  // The decoder's colours: black where the bit says so, white elsewhere.
  const uint64_t black = InkOf(kyt::kBlack, threshold), white = InkOf(kyt::kWhite, threshold);
  const uint64_t ink[2] = {photometric == PHOTOMETRIC_MINISWHITE ? white : black,
                           photometric == PHOTOMETRIC_MINISWHITE ? black : white};
  // Strip by strip, each read whole as the decoder's RGBA reader reads it:
  // libtiff cuts a PackBits run that runs past the buffer it fills, so scan
  // lines read one by one could give other rows.
  uint32_t rowsPerStrip = 0;
  TIFFGetFieldDefaulted(tiff, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  rowsPerStrip = std::clamp<uint32_t>(rowsPerStrip, 1, height);
  std::vector<uint8_t> strip(static_cast<size_t>(lineBytes * rowsPerStrip));
  kyt::TImageArray image{int32_t(width), int32_t(height)};
  for (uint32_t top = 0; top < height; top += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, height - top);
    if (TIFFReadEncodedStrip(tiff, TIFFComputeStrip(tiff, top, 0), strip.data(), tmsize_t(lineBytes * rows)) < 0)
      return std::nullopt;
    for (uint32_t y = top; y < top + rows; ++y) {
      const uint8_t* line = strip.data() + lineBytes * (y - top);
      uint64_t* band = image.Band(int32_t(y / kyt::TImageArray::kBandRows));
      const int shift = int(y % kyt::TImageArray::kBandRows);
      for (uint32_t x = 0; x < width; ++x) band[x] |= ink[(line[x / 8] >> (7 - x % 8)) & 1u] << shift;
    }
  }
  return image;
}

#endif

}  // namespace

std::optional<kyt::TImageArray> DecodeInk(const PictureFile& file, int32_t bwThreshold) {
  try {
    if (file.format == "ppm" || file.format == "pgm" || file.format == "pbm") return PortableMapInk(file.bytes, bwThreshold);
    if (file.format == "png") return PngInk(file.bytes, bwThreshold);
#if defined(KYT_HAVE_TIFF)
    if (file.format == "tif" || file.format == "tiff" || file.format == "fax" || file.format == "stw")
      return TiffInk(file.bytes, bwThreshold);
#endif
  } catch (const NotForInk&) {
  } catch (const kyt::Error&) {
  }
  return std::nullopt;
}

}  // namespace kytdcr
