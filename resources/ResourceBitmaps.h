#pragma once
// The plug-in's bitmap resources as compiled into builds without a resource
// section (the headless build). The Windows build carries the same pictures
// as bitmap resources of the DLL; both are made from the XPM files of this
// folder at build time.
#include <cstdint>
#include <string_view>

namespace kyt::resources {

struct BitmapData {
  const char* name;
  int32_t width, height;
  const uint32_t* pixels;  // 0x00BBGGRR (red in the low byte), top row first
};

// The bitmap of that resource name, or null.
const BitmapData* FindBitmap(std::string_view name);

}  // namespace kyt::resources
