#pragma once
// PNG files for the test host: reading the sample pictures and saving what
// the plug-in painted and what the screen showed.
#include <cstdint>
#include <string>
#include <vector>

namespace kyt::testhost {

// Pixels as 0x00RRGGBB, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

bool ReadPng(const std::string& path, Image& image, std::string& error);
bool WritePng(const std::string& path, const Image& image, std::string& error);

}  // namespace kyt::testhost
