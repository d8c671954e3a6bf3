#include "platform/headless/HeadlessPlatform.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#if defined(__unix__)
#include <dlfcn.h>
#endif

#include "core/Error.h"
#include "platform/headless/ProfileReader.h"

namespace kyt {

HeadlessPlatform::HeadlessPlatform() = default;
HeadlessPlatform::~HeadlessPlatform() = default;

void HeadlessPlatform::SetCursor(int32_t cursor) {
  Cursor = cursor;
  CursorHistory.push_back(cursor);
}

void HeadlessPlatform::ShowMessage(const std::string& text) { Messages.push_back(text); }

void HeadlessPlatform::ProcessMessages() { ++ProcessMessagesCalls; }

char* HeadlessPlatform::AllocHostString(size_t bytes) {
  char* p = static_cast<char*>(std::malloc(bytes ? bytes : 1));
  if (!p) throw Error("Out of memory");
  ++LiveHostStrings;
  return p;
}

void HeadlessPlatform::FreeHostString(char* text) {
  if (!text) return;
  std::free(text);
  --LiveHostStrings;
}

std::string HeadlessPlatform::ModulePath() {
  if (!modulePath_.empty()) return modulePath_;
#if defined(__unix__)
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ReadProfileFile), &info) && info.dli_fname) {
    std::error_code ec;
    const auto p = std::filesystem::canonical(info.dli_fname, ec);
    if (!ec) return p.string();
    return info.dli_fname;
  }
#endif
  return "kytDCR";
}

bool HeadlessPlatform::FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

std::optional<std::string> HeadlessPlatform::ReadProfileString(const std::string& file, const std::string& section,
                                                               const std::string& key) {
  return ReadProfileFile(file, section, key);
}

void HeadlessPlatform::DefineWindow(uint32_t handle, int32_t width, int32_t height) {
  windows_[handle] = Rect{0, 0, width, height};
}

void HeadlessPlatform::RemoveWindow(uint32_t handle) { windows_.erase(handle); }

bool HeadlessPlatform::GetClientRect(uint32_t window, Rect& rect) {
  auto it = windows_.find(window);
  if (it == windows_.end()) return false;
  rect = it->second;
  return true;
}

std::unique_ptr<IWindowPeer> HeadlessPlatform::CreateDcrWindow(IDcrWindow& window, uint32_t parent) {
  if (!windows_.count(parent)) throw Error("Invalid window handle " + std::to_string(parent) + ".");
  return std::make_unique<HeadlessWindowPeer>(*this, window, parent, nextHandle_++);
}

HeadlessWindowPeer* HeadlessPlatform::PeerOf(uint32_t parent) const {
  for (auto* p : peers_)
    if (p->Parent() == parent) return p;
  return nullptr;
}

void HeadlessPlatform::UseHintWindowWithoutShadow() { HintWithoutShadow = true; }

bool HeadlessPlatform::DrawMetafile(const std::vector<uint8_t>&, Bitmap&) { return false; }

int32_t HeadlessPlatform::ShowModalForm(const forms::Form& form, forms::FormTexts& texts,
                                        forms::IFormEvents& events) {
  Forms.push_back(ShownForm{form.Name, texts});
  HeadlessForm window(*this, form, texts, events);
  events.Activated(window, true);
  if (FormDriver) FormDriver(window);
  return window.Closed() ? window.ModalResult() : forms::kModalCancel;
}

HeadlessWindowPeer::HeadlessWindowPeer(HeadlessPlatform& platform, IDcrWindow& window, uint32_t parent,
                                       uint32_t handle)
    : platform_(platform), window_(window), parent_(parent), handle_(handle) {
  platform_.peers_.push_back(this);
}

HeadlessWindowPeer::~HeadlessWindowPeer() {
  auto& v = platform_.peers_;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

void HeadlessWindowPeer::SetBounds(int32_t x, int32_t y, int32_t width, int32_t height) {
  bounds_ = Rect{x, y, x + width, y + height};
  visible_ = true;
  topmost_ = true;
  window_.ClientResized(width, height);
}

void HeadlessWindowPeer::SetSize(int32_t width, int32_t height) {
  bounds_.Right = bounds_.Left + width;
  bounds_.Bottom = bounds_.Top + height;
  window_.ClientResized(width, height);
}

void HeadlessWindowPeer::PaintTo(uintptr_t dc) {
  if (!dc) return;
  PaintDcrWindow(window_, *reinterpret_cast<Bitmap*>(dc));
}

void PaintDcrWindow(const IDcrWindow& window, Bitmap& target) {
  const DcrWindowLook& look = window.Look();
  const int32_t width = window.ClientWidth();
  const int32_t title = look.TitleHeight;
  target.SetSize(width, window.ClientHeight());
  target.Fill(kWhite);
  // Title panel: single border, raised inner bevel, cream face.
  target.FillRect(0, 0, width, title, kBlack);
  target.FillRect(1, 1, width - 1, title - 1, kWhite);
  target.FillRect(2, 2, width - 1, title - 1, 0x808080);
  target.FillRect(2, 2, width - 2, title - 2, look.TitleColor);
  // The picture, unscaled, below the title.
  target.Draw(window.Picture(), 0, title);
}

}  // namespace kyt
