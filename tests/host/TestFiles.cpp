#include "TestFiles.h"

#include <cstring>

namespace kyt::test {

namespace {

void PutInt(std::vector<uint8_t>& out, int32_t v) {
  const uint32_t u = uint32_t(v);
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(u >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float f) {
  uint32_t u;
  std::memcpy(&u, &f, 4);
  PutInt(out, int32_t(u));
}

}  // namespace

std::vector<uint8_t> KnowledgeBaseBytes(int32_t inputRows, int32_t inputCols, int32_t outputRows, int32_t outputCols,
                                        int32_t hiddenCount, const std::vector<std::string>& names) {
  const int32_t inputs = inputRows * inputCols, outputs = outputRows * outputCols;
  std::vector<uint8_t> out;
  for (int32_t v : {inputRows, inputCols, outputRows, outputCols, hiddenCount}) PutInt(out, v);
  for (int32_t i = 0; i < hiddenCount * (inputs + 1); ++i) PutFloat(out, 0.0f);
  for (int32_t i = 0; i < outputs * (hiddenCount + 1); ++i) PutFloat(out, 0.0f);
  PutInt(out, int32_t(names.size()));
  for (size_t n = 0; n < names.size(); ++n) {
    PutInt(out, 1);
    for (int32_t i = 0; i < inputs; ++i) PutFloat(out, -1.0f);
    for (int32_t o = 1; o <= outputs; ++o) PutFloat(out, size_t(o) == n + 1 ? 1.0f : -1.0f);
    PutInt(out, int32_t(names[n].size()));
    out.insert(out.end(), names[n].begin(), names[n].end());
  }
  for (float f : {0.001f, 0.5f, 1.0f, -1.0f, 0.01f}) PutFloat(out, f);
  for (int32_t v : {10000, 0, 0}) PutInt(out, v);
  PutFloat(out, 0.0f);
  return out;
}

std::vector<uint8_t> BmpBytes(const Bitmap& picture) {
  const int32_t w = picture.Width(), h = picture.Height();
  const int32_t stride = (w * 3 + 3) & ~3;
  std::vector<uint8_t> out;
  auto put16 = [&](uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
  };
  out.push_back('B');
  out.push_back('M');
  PutInt(out, 54 + stride * h);
  PutInt(out, 0);
  PutInt(out, 54);
  PutInt(out, 40);
  PutInt(out, w);
  PutInt(out, h);
  put16(1);
  put16(24);
  PutInt(out, 0);
  PutInt(out, stride * h);
  PutInt(out, 2835);
  PutInt(out, 2835);
  PutInt(out, 0);
  PutInt(out, 0);
  for (int32_t y = h - 1; y >= 0; --y) {
    for (int32_t x = 0; x < w; ++x) {
      const Color c = picture.Pixel(x, y);
      out.push_back(BlueOf(c));
      out.push_back(GreenOf(c));
      out.push_back(RedOf(c));
    }
    for (int32_t p = w * 3; p < stride; ++p) out.push_back(0);
  }
  return out;
}

std::string Base64(const std::vector<uint8_t>& bytes) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
    for (int s = 18; s >= 0; s -= 6) out += alphabet[(v >> s) & 63];
  }
  if (i + 1 == bytes.size()) {
    const uint32_t v = uint32_t(bytes[i]) << 16;
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += "==";
  } else if (i + 2 == bytes.size()) {
    const uint32_t v = (uint32_t(bytes[i]) << 16) | (uint32_t(bytes[i + 1]) << 8);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    out += alphabet[(v >> 6) & 63];
    out += '=';
  }
  return out;
}

}  // namespace kyt::test
