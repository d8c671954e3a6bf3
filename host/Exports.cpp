// The exported entry points: the host's calling conventions on one side, the
// portable plug-in (host/kytDCR.h) on the other. This layer only converts
// arguments, keeps the host's callbacks and lets nothing escape.
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Error.h"
#include "core/Guard.h"
#include "core/ProcessorFeatures.h"
#include "host/ComStream.h"
#include "host/HostCallConv.h"
#include "host/HostInterface.h"
#include "host/PlugInUtils.h"
#include "host/kytDCR.h"
#include "platform/Platform.h"

namespace kyt {
namespace {

// An embedded file larger than this is refused rather than copied.
constexpr size_t kMaxStreamBytes = size_t(1) << 30;

class RawHost final : public IHost {
 public:
  HostAddActionProc addAction = nullptr;
  void* addFile = nullptr;  // kept, never called
  HostGetVariableProc getVariable = nullptr;
  HostSetVariableProc setVariable = nullptr;
  HostInterfaceAccessFunc interfaceAccess = nullptr;
  HostStreamAccessFunc streamAccess = nullptr;
  void* scriptProcessor = nullptr;  // kept, never called

  void AddAction(int32_t number, const std::string& name, const std::string& description,
                 const std::vector<uint8_t>& typeCodes, uint8_t count) override {
    if (!addAction) return;
    static const uint8_t kNoCode = 0;
    const uint8_t* codes = typeCodes.empty() ? &kNoCode : typeCodes.data();
    const int32_t high = typeCodes.empty() ? 0 : int32_t(typeCodes.size()) - 1;
    addAction(number, name.c_str(), description.c_str(), count, high, codes);
  }

  bool HasVariableAccess() const override { return getVariable && setVariable; }

  std::string GetVariable(const std::string& name) override {
    if (!getVariable) return std::string();
    char* value = nullptr;
    getVariable(name.c_str(), &value);
    std::string text = HostText(value);
    FreeHostString(&value);
    return text;
  }

  void SetVariable(const std::string& name, const std::string& value) override {
    if (setVariable) setVariable(name.c_str(), value.c_str());
  }

  bool HasInterfaceAccess() const override { return interfaceAccess != nullptr; }

  bool InterfaceAccess(int32_t request, std::optional<std::string>& data) override {
    if (!interfaceAccess) {
      data.reset();
      return false;
    }
    char* slot = data ? NewHostString(*data) : nullptr;
    const bool result = interfaceAccess(request, &slot) != 0;
    if (slot)
      data = std::string(slot);
    else
      data.reset();
    FreeHostString(&slot);
    return result;
  }

  bool HasStreamAccess() const override { return streamAccess != nullptr; }

  bool StreamAccess(const std::string& name, std::vector<uint8_t>& content) override {
    if (!streamAccess) return false;
    ComStream* stream = nullptr;
    const bool found = streamAccess(name.c_str(), &stream) != 0;
    if (!found) {
      if (stream) stream->lpVtbl->Release(stream);
      return false;
    }
    if (!stream) throw Error("The host gave no stream for \"" + name + "\".");
    struct Releaser {
      ComStream* s;
      ~Releaser() { s->lpVtbl->Release(s); }
    } releaser{stream};
    stream->lpVtbl->Seek(stream, 0, kStreamSeekSet, nullptr);
    content.clear();
    std::vector<uint8_t> block(64 * 1024);
    for (;;) {
      uint32_t got = 0;
      const int32_t hr = stream->lpVtbl->Read(stream, block.data(), uint32_t(block.size()), &got);
      if (hr < 0) throw Error("The embedded file \"" + name + "\" cannot be read.");
      if (got > block.size()) throw Error("The embedded file \"" + name + "\" cannot be read.");
      if (got == 0) break;
      if (content.size() + got > kMaxStreamBytes) throw Error("The embedded file \"" + name + "\" is too large.");
      content.insert(content.end(), block.begin(), block.begin() + got);
    }
    return true;
  }
};

RawHost& TheHost() {
  static RawHost host;
  return host;
}

void Attach() { plugin::SetHost(&TheHost()); }

// Hosts may run with floating-point exceptions unmasked or a lowered x87
// precision (hosts written in Delphi unmask them), or with SSE exceptions
// unmasked, flush-to-zero or another rounding in MXCSR. The engine computes in
// extended precision with every exception masked, and its SSE2 kernels with
// every exception masked, rounding to nearest and no flush-to-zero or
// denormals-are-zero; so each entry point sets that state and gives the
// host's back. MXCSR is touched only where the processor and the system have
// SSE: on a 32-bit processor without it LDMXCSR is an invalid instruction.
class FloatingPointState {
 public:
  FloatingPointState() noexcept {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ __volatile__("fnstcw %0" : "=m"(x87_));
    __asm__ __volatile__("fnclex");
    const uint16_t engine = 0x037F;  // all exceptions masked, 64-bit mantissa, round to nearest
    __asm__ __volatile__("fldcw %0" : : "m"(engine));
    sse_ = Processor().sse;
    if (sse_) {
      __asm__ __volatile__("stmxcsr %0" : "=m"(mxcsr_));
      const uint32_t masked = 0x1F80;  // all exceptions masked, round to nearest, no FTZ or DAZ
      __asm__ __volatile__("ldmxcsr %0" : : "m"(masked));
    }
#endif
  }
  ~FloatingPointState() {
#if defined(__i386__) || defined(__x86_64__)
    __asm__ __volatile__("fnclex");
    __asm__ __volatile__("fldcw %0" : : "m"(x87_));
    if (sse_) {
      // Keep the host's control bits, drop the flags raised while we ran.
      const uint32_t restored = mxcsr_ & ~uint32_t(0x3F);
      __asm__ __volatile__("ldmxcsr %0" : : "m"(restored));
    }
#endif
  }
  FloatingPointState(const FloatingPointState&) = delete;
  FloatingPointState& operator=(const FloatingPointState&) = delete;

 private:
  uint16_t x87_ = 0;
  bool sse_ = false;
  uint32_t mxcsr_ = 0;
};

// The portable entry points already catch everything; this is the last line
// of defence so that nothing ever unwinds into the host.
template <typename F, typename R>
R Guarded(F&& body, R failed) noexcept {
  FloatingPointState fpu;
  return Guard(std::forward<F>(body), failed);
}

}  // namespace
}  // namespace kyt

using namespace kyt;

extern "C" {

NB_EXPORT void NB_REGISTER nbRegisterPlugIn(void* addAction, void* addFile, void* getVariable, void* setVariable) {
  RawHost& host = TheHost();
  host.addAction = reinterpret_cast<HostAddActionProc>(addAction);
  host.addFile = addFile;
  host.getVariable = reinterpret_cast<HostGetVariableProc>(getVariable);
  host.setVariable = reinterpret_cast<HostSetVariableProc>(setVariable);
  Attach();
  Guarded([] { plugin::RegisterPlugIn(); return 0; }, 0);
}

NB_EXPORT void NB_REGISTER nbInitPlugIn(uint32_t /*hostWindow*/, char** title, char** publisher, char** hint) {
  Attach();
  Guarded([&] { plugin::InitPlugIn(title, publisher, hint); return 0; }, 0);
}

NB_EXPORT void NB_REGISTER nbMessage(int32_t code) {
  Attach();
  Guarded([&] { plugin::Message(code); return 0; }, 0);
}

NB_EXPORT void NB_REGISTER nbRegisterScriptProcessor(void* processor) {
  TheHost().scriptProcessor = processor;
  Attach();
}

NB_EXPORT void NB_REGISTER nbRegisterInterfaceAccess(void* access) {
  TheHost().interfaceAccess = reinterpret_cast<HostInterfaceAccessFunc>(access);
  Attach();
}

NB_EXPORT void NB_REGISTER nbRegisterStreamAccess(void* access) {
  TheHost().streamAccess = reinterpret_cast<HostStreamAccessFunc>(access);
  Attach();
}

NB_EXPORT uint8_t NB_REGISTER nbExecAction(int32_t action, char** params, int32_t highIndex) {
  Attach();
  return Guarded([&] { return uint8_t(plugin::ExecAction(action, params, highIndex) ? 1 : 0); }, uint8_t(0));
}

NB_EXPORT uint8_t NB_REGISTER nbEditAction(int32_t action, char** params, int32_t highIndex) {
  Attach();
  return Guarded([&] { return uint8_t(plugin::EditAction(action, params, highIndex) ? 1 : 0); }, uint8_t(0));
}

NB_EXPORT void NB_REGISTER nbAbout() {
  Attach();
  Guarded([] { plugin::About(); return 0; }, 0);
}

NB_EXPORT int32_t NB_STDCALL kytDCRCmdList(const char* /*reserved*/, const char* format, char* destination) {
  Attach();
  return Guarded([&] { return plugin::CmdList(format, destination); }, int32_t(0));
}

NB_EXPORT uint8_t NB_STDCALL kytDCRExec(const char* /*reserved*/, const char* command, const char* p1,
                                        const char* p2, const char* p3, const char* p4, const char* p5,
                                        const char* /*r1*/, const char* /*r2*/, const char* /*r3*/,
                                        const char* /*r4*/, const char* /*r5*/) {
  Attach();
  const char* const params[5] = {p1, p2, p3, p4, p5};
  return Guarded([&] { return uint8_t(plugin::Exec(command, params) ? 1 : 0); }, uint8_t(0));
}

}  // extern "C"
