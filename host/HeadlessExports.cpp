// Entry points for script hosts that drive libkytDCR.so without a screen.
#include "host/HeadlessExports.h"

#if !defined(_WIN32)

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "core/Bitmap.h"
#include "core/Guard.h"
#include "host/DcrRegistry.h"
#include "host/PlugInUtils.h"
#include "platform/Platform.h"
#include "platform/headless/HeadlessPlatform.h"
#include "window/PictureLoader.h"
#include "window/kytForm.h"

namespace kyt {
namespace {

constexpr intptr_t kSubCodePaint = 5;

// The shared library runs on the headless platform, installed when it is loaded.
struct InstallHeadless {
  InstallHeadless() {
    static HeadlessPlatform platform;
    InstallPlatform(&platform);
  }
} g_installHeadless;

HeadlessPlatform* Headless() { return dynamic_cast<HeadlessPlatform*>(&Platform()); }

TTkytForm* WindowOf(const char* objectName) {
  const int32_t index = FindDcrWindow(HostText(objectName));
  return index < 0 ? nullptr : &DcrWindowAt(index);
}

template <typename Body>
int32_t Guarded(Body&& body) noexcept {
  return Guard(std::forward<Body>(body), int32_t(0));
}

}  // namespace
}  // namespace kyt

using namespace kyt;

extern "C" {

NB_EXPORT int32_t kytDCRHeadlessDefineWindow(uint32_t handle, int32_t width, int32_t height) {
  return Guarded([&] {
    HeadlessPlatform* platform = Headless();
    if (!platform || handle == 0 || width < 0 || height < 0) return 0;
    platform->DefineWindow(handle, width, height);
    return 1;
  });
}

NB_EXPORT int32_t kytDCRHeadlessRemoveWindow(uint32_t handle) {
  return Guarded([&] {
    HeadlessPlatform* platform = Headless();
    if (!platform) return 0;
    platform->RemoveWindow(handle);
    return 1;
  });
}

NB_EXPORT int32_t kytDCRHeadlessNotify(const char* objectName, uintptr_t wParam, intptr_t lParam) {
  return Guarded([&] {
    if (lParam == kSubCodePaint && wParam != 0) return 0;  // no device context can come from a script
    TTkytForm* window = WindowOf(objectName);
    if (!window) return 0;
    window->HostNotifyMessage(wParam, lParam);
    return 1;
  });
}

NB_EXPORT int32_t kytDCRHeadlessPaintPng(const char* objectName, const char* fileName) {
  return Guarded([&] {
    TTkytForm* window = WindowOf(objectName);
    if (!window || !fileName || !Headless()) return 0;
    Bitmap canvas;
    window->HostNotifyMessage(reinterpret_cast<uintptr_t>(&canvas), kSubCodePaint);
    if (canvas.Empty()) return 0;
    SavePng(canvas, fileName);
    return 1;
  });
}

NB_EXPORT int32_t kytDCRHeadlessWindowBounds(const char* objectName, int32_t* left, int32_t* top, int32_t* width,
                                             int32_t* height) {
  return Guarded([&] {
    TTkytForm* window = WindowOf(objectName);
    if (!window) return 0;
    const Rect bounds = window->Peer().Bounds();
    if (left) *left = bounds.Left;
    if (top) *top = bounds.Top;
    if (width) *width = bounds.Width();
    if (height) *height = bounds.Height();
    return 1;
  });
}

NB_EXPORT int32_t kytDCRHeadlessMessageCount() {
  return Guarded([] {
    HeadlessPlatform* platform = Headless();
    return platform ? int32_t(platform->Messages.size()) : 0;
  });
}

NB_EXPORT int32_t kytDCRHeadlessMessage(int32_t index, char* buffer, int32_t size) {
  return Guard([&] {
    HeadlessPlatform* platform = Headless();
    if (!platform || index < 0 || size_t(index) >= platform->Messages.size()) return -1;
    const std::string& text = platform->Messages[size_t(index)];
    if (buffer && size > 0) {
      const size_t n = std::min(text.size(), size_t(size) - 1);
      std::memcpy(buffer, text.data(), n);
      buffer[n] = '\0';
    }
    return int32_t(text.size());
  }, int32_t(-1));
}

}  // extern "C"

#endif  // !_WIN32
