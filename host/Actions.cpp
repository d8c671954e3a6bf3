#include "host/Actions.h"

#include <exception>
#include <memory>
#include <optional>
#include <utility>

#include "core/ByteStreams.h"
#include "core/Cp1251Text.h"
#include "core/Error.h"
#include "core/Guard.h"
#include "core/NumberSyntax.h"
#include "host/ActionTable.h"
#include "host/DcrRegistry.h"
#include "host/HostInterface.h"
#include "recognition/BackPropCls.h"
#include "window/PictureLoader.h"
#include "window/kytForm.h"

namespace kyt {

namespace {

constexpr int32_t kRequestSupportsHandles = 6;

constexpr const char kEmbeddedMarker[] = "embedded:\\\\\\";
constexpr const char kNeedsNewerHost[] = "This function requires NeoBook 4.0.9 or higher.";
// "Объект с именем" + name + " не существует."
constexpr const char* kNoObjectBefore = "Объект с именем"_cp1251;
constexpr const char* kNoObjectAfter = " не существует."_cp1251;
constexpr const char kNoWindow[] = "There is no DCR control attached to an object named ";

void ReportError(IHost& host, const std::string& text) { host.SetVariable(kLastError, text); }

// The host's embedded files as the engine reads them.
class HostStreams final : public IByteStreams {
 public:
  explicit HostStreams(IHost& host) : host_(host) {}
  bool Read(const std::string& name, std::vector<uint8_t>& content) override {
    return host_.StreamAccess(name, content);
  }

 private:
  IHost& host_;
};

// The error guard of one action.
template <typename Body>
bool Guarded(IHost& host, Body&& body) noexcept {
  return Guard(std::forward<Body>(body), false, [&](const char* text) { ReportError(host, text); });
}

// The window for `name`, or null after reporting that there is none.
TTkytForm* WindowOrReport(IHost& host, const std::string& name) {
  const int32_t index = FindDcrWindow(name);
  if (index < 0) {
    ReportError(host, kNoWindow + name + ".");
    return nullptr;
  }
  return &DcrWindowAt(index);
}

TBackProp& Network() {
  TBackProp* network = DcrNetwork();
  if (!network) throw Error("The DCR window has no network.");
  return *network;
}

bool HostSupportsObjectHandles(IHost& host) {
  if (!host.HasInterfaceAccess()) return false;
  std::optional<std::string> data;
  host.InterfaceAccess(kRequestSupportsHandles, data);
  return data.has_value();
}

void RemoveWindowFor(const std::string& name) {
  const int32_t index = FindDcrWindow(name);
  if (index >= 0) RemoveDcrWindow(index);
}

}  // namespace

bool LoadFromHostStream(TBackProp& network, const std::string& name, IHost& host) {
  return Guarded(host, [&] {
    if (!host.HasStreamAccess()) throw Error("This feature requires NeoBook 5.0.0 or higher.");
    HostStreams streams(host);
    network.LoadFromStream(name, streams);
    return true;
  });
}

bool IsEmbeddedSource(const std::string& source) { return source.find(kEmbeddedMarker) != std::string::npos; }

bool DcrCreate(IHost& host, const std::string& name) {
  return Guarded(host, [&] {
    if (!HostSupportsObjectHandles(host)) {
      ReportError(host, kNeedsNewerHost);
      return false;
    }
    RemoveWindowFor(name);
    const uint32_t window = QueryObjectWindow(host, name);
    if (window == 0) {
      ReportError(host, kNoObjectBefore + name + kNoObjectAfter);
      return false;
    }
    auto form = std::make_unique<TTkytForm>(name, window, host);
    AppendDcrWindow(std::move(form));
    return true;
  });
}

bool DcrRemove(IHost& host, const std::string& name) {
  return Guarded(host, [&] {
    const int32_t index = FindDcrWindow(name);
    if (index < 0) return false;
    RemoveDcrWindow(index);
    return true;
  });
}

bool DcrLoadKnowledgebase(IHost& host, const std::string& name, const std::string& source, const std::string& bw,
                          const std::string& noise, const std::string& space) {
  return Guarded(host, [&] {
    TTkytForm* window = WindowOrReport(host, name);
    if (!window) return false;
    // The embedded loader reports its own failures in [LastError] and returns;
    // the parameters are stored all the same.
    if (IsEmbeddedSource(source))
      LoadFromHostStream(Network(), source, host);
    else
      Network().LoadFromFile(source);
    // In order: a bad text stops here, with the earlier fields already stored.
    window->DCR.BWThreshold = ParseInt32(bw);
    window->DCR.NoiseThreshold = ParseInt32(noise);
    window->DCR.SpaceWidth = ParseInt32(space);
    return true;
  });
}

bool DcrLoadPicture(IHost& host, const std::string& name, const std::string& source) {
  return Guarded(host, [&] {
    TTkytForm* window = WindowOrReport(host, name);
    if (!window) return false;
    LoadPicture(window->DCR, source, host);
    return true;
  });
}

bool DcrRecognize(IHost& host, const std::string& name, const std::string& variable) {
  return Guarded(host, [&] {
    TTkytForm* window = WindowOrReport(host, name);
    if (!window) return false;
    window->DCR.RecognizeText(Network());
    host.SetVariable("[" + variable + "]", window->DCR.ResultText);
    return true;
  });
}

bool RunAction(IHost& host, int32_t action, const std::string params[5]) {
  switch (action) {
    case kActionCreate:
      return DcrCreate(host, params[0]);
    case kActionRemove:
      return DcrRemove(host, params[0]);
    case kActionLoadKnowledgebase:
      return DcrLoadKnowledgebase(host, params[0], params[1], params[2], params[3], params[4]);
    case kActionLoadPicture:
      return DcrLoadPicture(host, params[0], params[1]);
    case kActionRecognize:
      return DcrRecognize(host, params[0], params[1]);
    default:
      return false;
  }
}

}  // namespace kyt
