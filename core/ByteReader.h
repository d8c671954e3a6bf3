#pragma once
// The bounds-checked reader of every file the library reads from memory:
// picture files and knowledge bases. Every read is checked against the end of
// the buffer; running past it raises kyt::Error, so no reader touches memory
// outside the file. The wording of the three refusals lives here only:
//   "The <format> picture is truncated."
//   "The <format> picture is corrupt: <what>."
//   "Unsupported <format> picture: <what>."
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "core/Error.h"
#include "core/DecodeBudget.h"

namespace kyt {

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size, const char* format) : data_(data), size_(size), format_(format) {}
  ByteReader(const std::vector<uint8_t>& bytes, const char* format)
      : ByteReader(bytes.data(), bytes.size(), format) {}

  size_t Size() const { return size_; }
  size_t Position() const { return pos_; }
  size_t Remaining() const { return size_ - pos_; }
  bool AtEnd() const { return pos_ >= size_; }
  const uint8_t* Data() const { return data_; }
  const char* Format() const { return format_; }

  // Moves to an absolute position; the end of the buffer itself is allowed.
  void Seek(uint64_t position) {
    if (position > size_) Truncated();
    pos_ = size_t(position);
  }
  void Skip(uint64_t count) {
    if (count > Remaining()) Truncated();
    pos_ += size_t(count);
  }
  // Whether `count` more bytes are there to read.
  bool Has(uint64_t count) const { return count <= Remaining(); }

  uint8_t U8() {
    if (pos_ >= size_) Truncated();
    return data_[pos_++];
  }
  int8_t S8() { return int8_t(U8()); }
  uint16_t U16LE() {
    const uint8_t* p = Take(2);
    return uint16_t(p[0] | (p[1] << 8));
  }
  uint16_t U16BE() {
    const uint8_t* p = Take(2);
    return uint16_t((p[0] << 8) | p[1]);
  }
  int16_t S16LE() { return int16_t(U16LE()); }
  int16_t S16BE() { return int16_t(U16BE()); }
  uint32_t U32LE() {
    const uint8_t* p = Take(4);
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  }
  uint32_t U32BE() {
    const uint8_t* p = Take(4);
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
  }
  int32_t S32LE() { return int32_t(U32LE()); }
  int32_t S32BE() { return int32_t(U32BE()); }
  float F32LE() {
    const uint32_t bits = U32LE();
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
  }
  uint64_t U64BE() {
    uint64_t high = U32BE();
    return (high << 32) | U32BE();
  }

  // Reads at an absolute position without moving the reader.
  uint16_t U16LEAt(uint64_t at) const {
    if (at > size_ || size_ - at < 2) Truncated();
    return uint16_t(data_[at] | (data_[at + 1] << 8));
  }
  uint32_t U32LEAt(uint64_t at) const {
    if (at > size_ || size_ - at < 4) Truncated();
    const uint8_t* p = data_ + at;
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
  }
  // The byte at the reader's position without moving past it.
  uint8_t Peek() const {
    if (pos_ >= size_) Truncated();
    return data_[pos_];
  }

  // The next `count` bytes, in place; the reader moves past them.
  const uint8_t* Take(uint64_t count) {
    if (count > Remaining()) Truncated();
    const uint8_t* p = data_ + pos_;
    pos_ += size_t(count);
    return p;
  }

  [[noreturn]] void Truncated() const { Truncated(format_); }
  [[noreturn]] void Corrupt(const std::string& what) const { Corrupt(format_, what); }
  [[noreturn]] void Unsupported(const std::string& what) const { Unsupported(format_, what); }

  // The same refusals where no reader is at hand.
  [[noreturn]] static void Truncated(const char* format) {
    throw Error(std::string("The ") + format + " picture is truncated.");
  }
  [[noreturn]] static void Corrupt(const char* format, const std::string& what) {
    throw Error(std::string("The ") + format + " picture is corrupt: " + what + ".");
  }
  [[noreturn]] static void Unsupported(const char* format, const std::string& what) {
    throw Error(std::string("Unsupported ") + format + " picture: " + what + ".");
  }

  // Refuses dimensions that are zero, negative or too large for a Bitmap, and
  // pictures the whole buffer cannot hold (DecodeBudget.h).
  void CheckSize(int64_t width, int64_t height) const {
    if (width <= 0 || height <= 0) Corrupt("the picture has no pixels");
    if (width > INT32_MAX || height > INT32_MAX || width * height > Bitmap::kMaxPixels)
      Unsupported("the picture is too large");
    budget::CheckPixelBudget(format_, uint64_t(width), uint64_t(height), size_);
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  const char* format_;
};

}  // namespace kyt
