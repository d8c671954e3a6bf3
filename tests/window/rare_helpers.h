#pragma once
// Helpers for the tests of the less common picture formats: a byte writer for
// building test files by hand, pixel comparison, and the truncation and
// mutation sweeps that every decoder must survive with kyt::Error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "core/Error.h"

namespace kyt::test {

class Bytes {
 public:
  std::vector<uint8_t> data;

  Bytes& U8(unsigned v) {
    data.push_back(uint8_t(v));
    return *this;
  }
  Bytes& U16LE(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  Bytes& U16BE(unsigned v) { return U8((v >> 8) & 0xFF).U8(v & 0xFF); }
  Bytes& U32LE(uint32_t v) { return U16LE(v & 0xFFFF).U16LE(v >> 16); }
  Bytes& U32BE(uint32_t v) { return U16BE(v >> 16).U16BE(v & 0xFFFF); }
  Bytes& Fill(size_t count, unsigned v = 0) {
    data.insert(data.end(), count, uint8_t(v));
    return *this;
  }
  Bytes& Append(const std::vector<uint8_t>& more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
  }
  Bytes& Append(std::initializer_list<uint8_t> more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
  }
  Bytes& Text(const std::string& text) {
    data.insert(data.end(), text.begin(), text.end());
    return *this;
  }
  // Pads with zeros up to `size` bytes.
  Bytes& PadTo(size_t size) {
    if (data.size() < size) data.resize(size, 0);
    return *this;
  }
  size_t Size() const { return data.size(); }
  void PutU16LE(size_t at, unsigned v) {
    data.at(at) = uint8_t(v);
    data.at(at + 1) = uint8_t(v >> 8);
  }
  void PutU32LE(size_t at, uint32_t v) {
    PutU16LE(at, v & 0xFFFF);
    PutU16LE(at + 2, v >> 16);
  }
  void PutU16BE(size_t at, unsigned v) {
    data.at(at) = uint8_t(v >> 8);
    data.at(at + 1) = uint8_t(v);
  }
  void PutU32BE(size_t at, uint32_t v) {
    PutU16BE(at, v >> 16);
    PutU16BE(at + 2, v & 0xFFFF);
  }
};

using Decoder = std::function<Bitmap(const std::vector<uint8_t>&)>;

// The pixels of a picture, row by row.
inline std::vector<Color> PixelsOf(const Bitmap& b) {
  std::vector<Color> out;
  for (int32_t y = 0; y < b.Height(); ++y)
    for (int32_t x = 0; x < b.Width(); ++x) out.push_back(b.Pixel(x, y));
  return out;
}

inline ::testing::AssertionResult PictureIs(const Bitmap& b, int32_t width, int32_t height,
                                            const std::vector<Color>& pixels) {
  if (b.Width() != width || b.Height() != height)
    return ::testing::AssertionFailure() << "size " << b.Width() << "x" << b.Height() << ", expected " << width
                                         << "x" << height;
  const std::vector<Color> got = PixelsOf(b);
  for (size_t i = 0; i < got.size() && i < pixels.size(); ++i)
    if (got[i] != pixels[i])
      return ::testing::AssertionFailure() << "pixel (" << i % size_t(width) << ", " << i / size_t(width)
                                           << ") is 0x" << std::hex << got[i] << ", expected 0x" << pixels[i];
  if (got.size() != pixels.size()) return ::testing::AssertionFailure() << "expected pixel list has wrong length";
  return ::testing::AssertionSuccess();
}

// Runs the decoder and reports whether it raised kyt::Error; any other
// exception fails the test.
inline bool RaisesError(const Decoder& decode, const std::vector<uint8_t>& bytes, std::string* message = nullptr) {
  try {
    decode(bytes);
  } catch (const Error& e) {
    if (message) *message = e.what();
    return true;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "unexpected exception: " << e.what();
    return true;
  }
  return false;
}

// Every proper prefix of a complete test file (that ends with its pixel data)
// is refused with kyt::Error.
inline void ExpectEveryTruncationRefused(const Decoder& decode, const std::vector<uint8_t>& file) {
  for (size_t length = 0; length < file.size(); ++length) {
    std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
    EXPECT_TRUE(RaisesError(decode, cut)) << "a file cut to " << length << " of " << file.size()
                                          << " bytes was accepted";
  }
}

// Random byte changes: the decoder either returns a picture or raises
// kyt::Error (the sanitizer build catches any stray access). The environment
// variable KYT_FUZZ_SCALE multiplies the rounds for longer soak runs.
inline void SurviveMutations(const Decoder& decode, const std::vector<uint8_t>& file, unsigned rounds = 400,
                             size_t from = 0) {
  if (const char* scale = std::getenv("KYT_FUZZ_SCALE")) rounds *= unsigned(std::max(1, std::atoi(scale)));
  std::mt19937 random(12345);
  for (unsigned round = 0; round < rounds; ++round) {
    std::vector<uint8_t> bytes = file;
    const unsigned changes = 1 + random() % 4;
    for (unsigned i = 0; i < changes && bytes.size() > from; ++i) {
      const size_t at = from + random() % (bytes.size() - from);
      bytes[at] = (random() % 3 == 0) ? uint8_t(0xFF) : uint8_t(random());
    }
    try {
      const Bitmap b = decode(bytes);
      EXPECT_FALSE(b.Empty());
    } catch (const Error&) {
    }
  }
}

}  // namespace kyt::test
