#include "tests/glue/TestPlatform.h"

#include <cstdlib>
#include <cstring>

#include "core/Error.h"
#include "platform/Platform.h"

namespace glue {

namespace {

std::set<const void*> g_live;
int g_badFrees = 0;

class TestPlatform final : public kyt::IPlatform {
 public:
  void SetCursor(int32_t) override {}
  void ShowMessage(const std::string&) override {}
  void ProcessMessages() override {}
  char* AllocHostString(size_t bytes) override {
    char* p = static_cast<char*>(std::malloc(bytes ? bytes : 1));
    if (!p) throw kyt::Error("Out of memory");
    g_live.insert(p);
    return p;
  }
  void FreeHostString(char* text) override {
    if (!text) return;
    if (!g_live.erase(text)) {
      ++g_badFrees;
      return;
    }
    std::free(text);
  }
  std::string ModulePath() override { return "/glue/kytDCR.nbp"; }
  bool FileExists(const std::string&) override { return false; }
  std::optional<std::string> ReadProfileString(const std::string&, const std::string&, const std::string&) override {
    return std::nullopt;
  }
  bool GetClientRect(uint32_t, kyt::Rect&) override { return false; }
  std::unique_ptr<kyt::IWindowPeer> CreateDcrWindow(kyt::IDcrWindow&, uint32_t) override {
    throw kyt::Error("no windows here");
  }
  void UseHintWindowWithoutShadow() override {}
  bool DrawMetafile(const std::vector<uint8_t>&, kyt::Bitmap&) override { return false; }
  int32_t ShowModalForm(const kyt::forms::Form&, kyt::forms::FormTexts&, kyt::forms::IFormEvents&) override {
    return kyt::forms::kModalCancel;
  }
};

TestPlatform g_platform;

}  // namespace

const std::set<const void*>& LiveHostStrings() { return g_live; }
int BadFrees() { return g_badFrees; }

char* HostAlloc(const char* text) {
  char* p = g_platform.AllocHostString(std::strlen(text) + 1);
  std::memcpy(p, text, std::strlen(text) + 1);
  return p;
}

void HostFree(char* text) { g_platform.FreeHostString(text); }

}  // namespace glue

namespace kyt {
IPlatform& Platform() { return glue::g_platform; }
void SetPlatform(IPlatform*) {}
void InstallPlatform(IPlatform*) {}
}  // namespace kyt
