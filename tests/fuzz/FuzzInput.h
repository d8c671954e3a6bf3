#pragma once
// Helpers of the fuzz harnesses: reading choices out of the fuzzer's bytes,
// and stopping with a message when a property that must hold does not.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace kyt::fuzz {

// Takes values from the front of the input; once it is used up every value is 0.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  size_t Left() const { return size_ - pos_; }
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  uint32_t U32() {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v = (v << 8) | Byte();
    return v;
  }
  // A value in [low, high].
  uint32_t Range(uint32_t low, uint32_t high) { return low + (high > low ? U32() % (high - low + 1) : 0); }
  uint32_t Small(uint32_t low, uint32_t high) { return low + (high > low ? Byte() % (high - low + 1) : 0); }
  // `count` bytes (fewer when the input runs out).
  std::vector<uint8_t> Bytes(size_t count) {
    const size_t n = count < Left() ? count : Left();
    std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
    pos_ += n;
    return out;
  }
  std::vector<uint8_t> Rest() { return Bytes(Left()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A property that must hold: stops the run (the fuzzer keeps the input) when it does not.
inline void Check(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "property broken: %s\n", what);
  std::abort();
}

inline void Check(bool holds, const std::string& what) { Check(holds, what.c_str()); }

}  // namespace kyt::fuzz
