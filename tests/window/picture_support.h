#pragma once
// Helpers for the picture-loading tests: a byte writer for hand-made files,
// encoders for test pictures (BMP, JPEG), a host with variables, temporary
// files, pixel comparison and the damage sweeps every decoder must survive.
#include <gtest/gtest.h>

#include <stdio.h>

#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "core/Error.h"
#include "host/HostInterface.h"

namespace kyt::pictest {

class ByteWriter {
 public:
  std::vector<uint8_t> data;

  ByteWriter& U8(unsigned v) {
    data.push_back(uint8_t(v));
    return *this;
  }
  ByteWriter& U16(unsigned v) { return U8(v & 0xFF).U8((v >> 8) & 0xFF); }
  ByteWriter& U32(uint32_t v) { return U16(v & 0xFFFF).U16(v >> 16); }
  ByteWriter& I32(int32_t v) { return U32(uint32_t(v)); }
  ByteWriter& Bytes(std::initializer_list<uint8_t> more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
  }
  ByteWriter& Bytes(const std::vector<uint8_t>& more) {
    data.insert(data.end(), more.begin(), more.end());
    return *this;
  }
  ByteWriter& Text(const std::string& text) {
    data.insert(data.end(), text.begin(), text.end());
    return *this;
  }
  ByteWriter& Zeros(size_t count) {
    data.insert(data.end(), count, 0);
    return *this;
  }
  void Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) data.at(at + size_t(i)) = uint8_t(v >> (8 * i));
  }
  size_t Size() const { return data.size(); }
};

// A picture with distinct colours in every pixel (so that a swapped row,
// column or channel shows).
inline Bitmap MakeTestPicture(int32_t width, int32_t height) {
  Bitmap b(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      b.SetPixel(x, y, MakeColor(uint8_t(x * 37 + y * 11), uint8_t(y * 53 + 7), uint8_t((x ^ y) * 29 + 100)));
  return b;
}

// Smooth picture for lossy coding: flat blocks of colour.
inline Bitmap MakeBlockPicture(int32_t width, int32_t height) {
  Bitmap b(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      const int block = (x / 16 + y / 16) % 4;
      const Color colours[4] = {MakeColor(255, 0, 0), MakeColor(0, 160, 0), MakeColor(20, 40, 220),
                                MakeColor(250, 250, 250)};
      b.SetPixel(x, y, colours[block]);
    }
  return b;
}

// A plain 24-bit bottom-up Windows bitmap file.
inline std::vector<uint8_t> MakeBmp24(const Bitmap& picture) {
  const uint32_t stride = (uint32_t(picture.Width()) * 3 + 3) / 4 * 4;
  const uint32_t imageSize = stride * uint32_t(picture.Height());
  ByteWriter w;
  w.Text("BM").U32(54 + imageSize).U32(0).U32(54);
  w.U32(40).I32(picture.Width()).I32(picture.Height()).U16(1).U16(24).U32(0).U32(imageSize);
  w.U32(2835).U32(2835).U32(0).U32(0);
  for (int32_t y = picture.Height() - 1; y >= 0; --y) {
    for (int32_t x = 0; x < picture.Width(); ++x) {
      const Color c = picture.Pixel(x, y);
      w.U8(BlueOf(c)).U8(GreenOf(c)).U8(RedOf(c));
    }
    w.Zeros(stride - uint32_t(picture.Width()) * 3);
  }
  return w.data;
}

struct JpegOptions {
  int Quality = 95;
  bool Progressive = false;
  bool Gray = false;
};

// Encodes with libjpeg (RGB, or grey from the red channel).
inline std::vector<uint8_t> MakeJpeg(const Bitmap& picture, const JpegOptions& options = {}) {
  jpeg_compress_struct info;
  jpeg_error_mgr errors;
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(picture.Width());
  info.image_height = JDIMENSION(picture.Height());
  info.input_components = options.Gray ? 1 : 3;
  info.in_color_space = options.Gray ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, options.Quality, TRUE);
  // No chroma subsampling: colour edges stay sharp, so tests can compare closely.
  info.comp_info[0].h_samp_factor = 1;
  info.comp_info[0].v_samp_factor = 1;
  if (options.Progressive) jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(size_t(picture.Width()) * size_t(info.input_components));
  for (int32_t y = 0; y < picture.Height(); ++y) {
    for (int32_t x = 0; x < picture.Width(); ++x) {
      const Color c = picture.Pixel(x, y);
      if (options.Gray) {
        row[size_t(x)] = RedOf(c);
      } else {
        row[3 * size_t(x)] = RedOf(c);
        row[3 * size_t(x) + 1] = GreenOf(c);
        row[3 * size_t(x) + 2] = BlueOf(c);
      }
    }
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::vector<uint8_t> out(buffer, buffer + size);
  std::free(buffer);
  return out;
}

// Largest difference of any channel of any pixel; -1 when the sizes differ.
inline int MaxChannelDifference(const Bitmap& a, const Bitmap& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
  int worst = 0;
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x) {
      const Color p = a.Pixel(x, y), q = b.Pixel(x, y);
      worst = std::max({worst, std::abs(RedOf(p) - RedOf(q)), std::abs(GreenOf(p) - GreenOf(q)),
                        std::abs(BlueOf(p) - BlueOf(q))});
    }
  return worst;
}

inline ::testing::AssertionResult SamePicture(const Bitmap& got, const Bitmap& expected) {
  if (got.Width() != expected.Width() || got.Height() != expected.Height())
    return ::testing::AssertionFailure() << "size " << got.Width() << " x " << got.Height() << ", expected "
                                         << expected.Width() << " x " << expected.Height();
  for (int32_t y = 0; y < got.Height(); ++y)
    for (int32_t x = 0; x < got.Width(); ++x)
      if (got.Pixel(x, y) != expected.Pixel(x, y))
        return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is 0x" << std::hex
                                             << got.Pixel(x, y) << ", expected 0x" << expected.Pixel(x, y);
  return ::testing::AssertionSuccess();
}

// A picture given row by row.
inline Bitmap PictureOf(int32_t width, int32_t height, const std::vector<Color>& pixels) {
  Bitmap b(width, height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) b.SetPixel(x, y, pixels.at(size_t(y) * size_t(width) + size_t(x)));
  return b;
}

using Decoder = std::function<Bitmap(const std::vector<uint8_t>&)>;

// The message of the kyt::Error the decoder raised, or nullopt when it
// returned a picture. Any other exception fails the test.
inline std::optional<std::string> ErrorOf(const Decoder& decode, const std::vector<uint8_t>& bytes) {
  try {
    const Bitmap b = decode(bytes);
    EXPECT_FALSE(b.Empty()) << "a decoder returned an empty picture";
  } catch (const Error& e) {
    EXPECT_STRNE(e.what(), "") << "an error without text";
    return std::string(e.what());
  } catch (const std::exception& e) {
    ADD_FAILURE() << "unexpected exception: " << e.what();
    return std::string(e.what());
  }
  return std::nullopt;
}

// Cuts `file` to every length below `file.size()` (stepping by `step`) and
// counts the cuts that were accepted; each cut must end in a picture or kyt::Error.
inline size_t AcceptedTruncations(const Decoder& decode, const std::vector<uint8_t>& file, size_t step = 1,
                                  size_t* firstAccepted = nullptr) {
  size_t accepted = 0;
  for (size_t length = 0; length < file.size(); length += step) {
    const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
    if (!ErrorOf(decode, cut)) {
      if (accepted == 0 && firstAccepted) *firstAccepted = length;
      ++accepted;
    }
  }
  return accepted;
}

// Random byte changes with a fixed seed: each damaged file must end in a
// picture or kyt::Error (the sanitizer build catches stray accesses).
// Bytes in [keepFrom, keepTo) stay as they are.
inline void SurviveByteFlips(const Decoder& decode, const std::vector<uint8_t>& file, unsigned rounds,
                             size_t keepFrom = 0, size_t keepTo = 0, unsigned seed = 2024) {
  std::mt19937 random(seed);
  for (unsigned round = 0; round < rounds && !file.empty(); ++round) {
    std::vector<uint8_t> bytes = file;
    const unsigned changes = 1 + random() % 4;
    for (unsigned i = 0; i < changes; ++i) {
      const size_t at = random() % bytes.size();
      if (at >= keepFrom && at < keepTo) continue;
      switch (random() % 3) {
        case 0: bytes[at] = 0xFF; break;
        case 1: bytes[at] = 0x00; break;
        default: bytes[at] = uint8_t(random()); break;
      }
    }
    ErrorOf(decode, bytes);
  }
}

// A folder for the test's files, emptied at the start.
inline std::string TempFolder(const std::string& name) {
  const std::filesystem::path dir = std::filesystem::path(KYT_BINARY_DIR) / "test-pictures" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir.string();
}

inline void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ASSERT_TRUE(out.good()) << path;
}

inline std::vector<uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Base64 encoding done the plain way, for building test texts.
inline std::string Base64Encode(const std::vector<uint8_t>& bytes) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    for (int k = 3; k >= 0; --k) out += kAlphabet[(v >> (6 * k)) & 63];
  }
  if (bytes.size() - i == 1) {
    const uint32_t v = uint32_t(bytes[i]) << 16;
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += "==";
  } else if (bytes.size() - i == 2) {
    const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

// A host that only answers variables; it records every variable asked for.
class VariableHost : public IHost {
 public:
  std::map<std::string, std::string> Variables;
  std::vector<std::string> Asked;

  void AddAction(int32_t, const std::string&, const std::string&, const std::vector<uint8_t>&, uint8_t) override {}
  bool HasVariableAccess() const override { return true; }
  std::string GetVariable(const std::string& name) override {
    Asked.push_back(name);
    const auto it = Variables.find(name);
    return it == Variables.end() ? std::string() : it->second;
  }
  void SetVariable(const std::string& name, const std::string& value) override { Variables[name] = value; }
  bool HasInterfaceAccess() const override { return false; }
  bool InterfaceAccess(int32_t, std::optional<std::string>&) override { return false; }
  bool HasStreamAccess() const override { return false; }
  bool StreamAccess(const std::string&, std::vector<uint8_t>&) override { return false; }
};

}  // namespace kyt::pictest
