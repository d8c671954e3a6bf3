#include "tests/glue/FakePlugIn.h"

#include <cstring>
#include <xmmintrin.h>
#include <stdexcept>

#include "core/ProcessorFeatures.h"
#include "host/HostInterface.h"
#include "host/PlugInUtils.h"
#include "host/kytDCR.h"

namespace glue {

FakeLog& Fake() {
  static FakeLog log;
  return log;
}

}  // namespace glue

namespace kyt::plugin {

namespace {

IHost* g_host = nullptr;

glue::FakeLog& Note(const char* call) {
  glue::FakeLog& log = glue::Fake();
  log.calls.push_back(call);
  log.hostSet = g_host != nullptr;
  uint16_t cw = 0;
  __asm__ __volatile__("fnstcw %0" : "=m"(cw));
  log.controlWord = cw;
  if (kyt::Processor().sse) __asm__ __volatile__("stmxcsr %0" : "=m"(log.mxcsr));
  return log;
}

// A division by zero in SSE registers (it traps unless MXCSR masks it) and a
// product below the normal range (0 when MXCSR flushes to zero).
__attribute__((target("sse"))) void SseDivisionAndSubnormal(glue::FakeLog& log) {
  volatile float one = 1.0f, zero = 0.0f, tiny = 1e-30f, small = 1e-15f;
  volatile float quotient = _mm_cvtss_f32(_mm_div_ss(_mm_set_ss(one), _mm_set_ss(zero)));
  (void)quotient;
  log.sseSubnormal = _mm_cvtss_f32(_mm_mul_ss(_mm_set_ss(tiny), _mm_set_ss(small)));
}

void ReadStream(glue::FakeLog& log, const std::string& name) {
  log.streamContent.clear();
  log.streamError.clear();
  try {
    log.streamFound = g_host->StreamAccess(name, log.streamContent);
  } catch (const std::exception& e) {
    log.streamFound = false;
    log.streamError = e.what();
  }
}

}  // namespace

void SetHost(IHost* host) { g_host = host; }
IHost* Host() { return g_host; }

void RegisterPlugIn() {
  Note("RegisterPlugIn");
  g_host->AddAction(0, "DCR", "", {0}, 0);
  g_host->AddAction(3, "kytDcrLoadKnowledgebase", "Load it", {1, 1, 3, 3, 3}, 5);
}

void InitPlugIn(char** title, char** publisher, char** hint) {
  glue::FakeLog& log = Note("InitPlugIn");
  log.title = title;
  log.publisher = publisher;
  log.hint = hint;
  SetHostString(title, "kytDCR 1.01");
  SetHostString(publisher, "Publisher");
  SetHostString(hint, "Hint");
}

void Message(int32_t code) {
  glue::FakeLog& log = Note("Message");
  log.code = code;
  if (code == 1) g_host->SetVariable("[*/*kytDCRDllName]", "/glue/kytDCR.nbp");
  if (code == 7) log.variable = g_host->GetVariable("[Answer]");
  if (code == 8) log.variable = g_host->GetVariable("[Unset]");
}

bool ExecAction(int32_t action, char* const* params, int32_t highIndex) {
  glue::FakeLog& log = Note("ExecAction");
  log.action = action;
  log.params = params;
  log.highIndex = highIndex;
  log.paramTexts.clear();
  for (int32_t i = 0; params && i <= highIndex; ++i) log.paramTexts.push_back(params[i] ? params[i] : "(null)");
  switch (action) {
    case 1: {
      std::optional<std::string> data;
      log.request6Result = g_host->InterfaceAccess(6, data);
      log.request6Answer = data;
      data = "Rect1";
      log.request7Result = g_host->InterfaceAccess(7, data);
      log.request7Answer = data;
      return true;
    }
    case 3:
      ReadStream(log, "embedded:\\\\\\kb.dcr");
      return log.streamFound;
    case 4:
      throw std::runtime_error("an error that must not reach the host");
    case 5:
      ReadStream(log, "refused");
      return false;
    case 6:
      ReadStream(log, "no stream");
      return true;
    case 7: {
      // A division by zero: harmless while exceptions are masked, but its flag
      // must not be left for the host, whose control word may unmask it.
      volatile double zero = 0.0;
      volatile double quotient = 1.0 / zero;
      if (kyt::Processor().sse) SseDivisionAndSubnormal(log);
      return quotient > 0.0;
    }
    default:
      return false;
  }
}

bool EditAction(int32_t action, char** params, int32_t highIndex) {
  glue::FakeLog& log = Note("EditAction");
  log.action = action;
  log.params = params;
  log.highIndex = highIndex;
  SetHostString(&params[0], "edited");
  return action == 1;
}

void About() { Note("About"); }

int32_t CmdList(const char* format, char* destination) {
  glue::FakeLog& log = Note("CmdList");
  log.formatNull = format == nullptr;
  log.format = format ? format : "";
  log.destination = destination;
  std::strcpy(destination, "LIST");
  return 0x12345678;
}

bool Exec(const char* command, const char* const params[5]) {
  glue::FakeLog& log = Note("Exec");
  log.command = command ? command : "(null)";
  log.execParams.clear();
  for (int i = 0; i < 5; ++i) log.execParams.push_back(params[i] ? params[i] : "(null)");
  return log.command == "3";
}

}  // namespace kyt::plugin
