// The 32-bit calling-convention glue (host/Exports.cpp, host/PlugInUtils.cpp)
// called by the host-side assembly of HostAsm.S as the authoring host calls a
// plug-in, and calling back into it through every kind of host callback.
// Built as a static i686 Linux program and run under qemu-i386.
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "tests/glue/FakePlugIn.h"
#include "tests/glue/HostAsm.h"
#include "tests/glue/HostSide.h"
#include "tests/glue/TestPlatform.h"

extern "C" {
// The exported entry points, taken as plain addresses: only the assembly calls them.
void nbRegisterPlugIn();
void nbInitPlugIn();
void nbMessage();
void nbRegisterScriptProcessor();
void nbRegisterInterfaceAccess();
void nbRegisterStreamAccess();
void nbExecAction();
void nbEditAction();
void nbAbout();
void kytDCRCmdList();
void kytDCRExec();
}

using namespace glue;

namespace {

int g_passed = 0, g_failed = 0;

bool Check(const std::string& name, bool ok, const std::string& detail = std::string()) {
  if (ok) {
    ++g_passed;
    std::printf("PASS %s\n", name.c_str());
  } else {
    ++g_failed;
    std::printf("FAIL %s%s%s\n", name.c_str(), detail.empty() ? "" : ": ", detail.c_str());
  }
  std::fflush(stdout);  // a crash later on must not swallow what was found
  return ok;
}

uint32_t U(const void* p) { return uint32_t(reinterpret_cast<uintptr_t>(p)); }
uint32_t U(void (*f)()) { return uint32_t(reinterpret_cast<uintptr_t>(f)); }

std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof(buf), "%08X", v);
  return buf;
}

// After every call: the callee removed exactly its stack arguments and kept
// the registers the host relies on.
void CheckCallEnd(const std::string& what) {
  const HostCallState& s = host_call_state;
  Check(what + ": stack balanced (the callee removed its arguments)", s.espAfter == s.espBefore,
        "ESP moved by " + std::to_string(int32_t(s.espAfter - s.espBefore)));
  Check(what + ": EBX, ESI, EDI, EBP preserved",
        s.ebx == kSentinelEbx && s.esi == kSentinelEsi && s.edi == kSentinelEdi && s.ebp == kSentinelEbp,
        Hex(s.ebx) + " " + Hex(s.esi) + " " + Hex(s.edi) + " " + Hex(s.ebp));
  Check(what + ": the host's x87 control word restored, no exception flag left",
        (s.cw & 0xFFFF) == (s.hostCw & 0xFFFF) && (s.sw & 0x3F) == 0, "CW " + Hex(s.cw) + " SW " + Hex(s.sw));
  if (s.useSse)
    Check(what + ": the host's MXCSR restored, no exception flag left", s.mxcsr == s.hostMxcsr,
          "MXCSR " + Hex(s.mxcsr) + ", the host's " + Hex(s.hostMxcsr));
}

uint32_t CallRegister(const std::string& what, void (*fn)(), std::initializer_list<uint32_t> args) {
  std::vector<uint32_t> a(args);
  const uint32_t eax = host_call_register(reinterpret_cast<const void*>(fn), a.data(), int32_t(a.size()));
  CheckCallEnd(what);
  return eax;
}

uint32_t CallStdcall(const std::string& what, void (*fn)(), std::initializer_list<uint32_t> args) {
  std::vector<uint32_t> a(args);
  const uint32_t eax = host_call_stdcall(reinterpret_cast<const void*>(fn), a.data(), int32_t(a.size()));
  CheckCallEnd(what);
  return eax;
}

void Registration() {
  Fake() = FakeLog{};
  CallRegister("nbRegisterPlugIn", nbRegisterPlugIn,
               {U(host_add_action), U(host_add_file), U(host_get_variable), U(host_set_variable)});
  Check("nbRegisterPlugIn: reaches the plug-in with the host attached",
        !Fake().calls.empty() && Fake().calls.back() == "RegisterPlugIn" && Fake().hostSet);
  const auto& a = Received().actions;
  if (!Check("HostAddAction: two registrations arrived", a.size() == 2, std::to_string(a.size()))) return;
  Check("HostAddAction: group entry in EAX/EDX/ECX (0, \"DCR\", empty text not null)",
        a[0].number == 0 && a[0].name == "DCR" && a[0].description.empty() && !a[0].descriptionNull);
  Check("HostAddAction: group entry's open array (address, highest index 0) and count 0 on the stack",
        a[0].codes == std::vector<uint8_t>{0} && a[0].highIndex == 0 && a[0].count == 0);
  Check("HostAddAction: action 3 number, name and description in registers",
        a[1].number == 3 && a[1].name == "kytDcrLoadKnowledgebase" && a[1].description == "Load it");
  Check("HostAddAction: action 3 codes 1,1,3,3,3 with highest index 4, 8-bit count 5 in the last slot",
        a[1].codes == std::vector<uint8_t>{1, 1, 3, 3, 3} && a[1].highIndex == 4 && a[1].count == 5,
        "high " + std::to_string(a[1].highIndex) + " count " + std::to_string(a[1].count));
}

void InitPlugIn() {
  char* title = HostAlloc("old title");
  char* publisher = nullptr;
  char* hint = HostAlloc("old hint");
  const size_t before = LiveHostStrings().size();
  CallRegister("nbInitPlugIn", nbInitPlugIn, {0x00C0FFEE, U(&title), U(&publisher), U(&hint)});
  const FakeLog& f = Fake();
  Check("nbInitPlugIn: the three slot addresses arrive (two in EDX/ECX, one on the stack)",
        f.title == &title && f.publisher == &publisher && f.hint == &hint);
  Check("nbInitPlugIn: slots hold the new texts",
        title && std::string(title) == "kytDCR 1.01" && publisher && std::string(publisher) == "Publisher" && hint &&
            std::string(hint) == "Hint");
  Check("nbInitPlugIn: the old strings were released (two released, three new)",
        LiveHostStrings().size() == before + 1, std::to_string(LiveHostStrings().size()) + " blocks");
  Check("nbInitPlugIn: the new strings are host-string blocks",
        LiveHostStrings().count(title) && LiveHostStrings().count(publisher) && LiveHostStrings().count(hint));
  for (char* p : {title, publisher, hint}) HostFree(p);
}

void Variables() {
  CallRegister("nbMessage(1)", nbMessage, {1});
  const auto& sets = Received().sets;
  Check("HostSetVariable: name in EAX, value in EDX",
        !sets.empty() && sets.back().first == "[*/*kytDCRDllName]" && sets.back().second == "/glue/kytDCR.nbp");
  Check("nbMessage: code in EAX", Fake().code == 1);

  const size_t before = LiveHostStrings().size();
  CallRegister("nbMessage(7)", nbMessage, {7});
  Check("HostGetVariable: name in EAX, slot in EDX, the host's answer read",
        !Received().gets.empty() && Received().gets.back() == "[Answer]" && Fake().variable == "42 answers",
        Fake().variable);
  Check("HostGetVariable: the slot is null on entry", Received().getSlotsNotNull == 0);
  Check("HostGetVariable: the host's answer is released", LiveHostStrings().size() == before);
  CallRegister("nbMessage(8)", nbMessage, {8});
  Check("HostGetVariable: an unanswered variable reads as empty", Fake().variable.empty());
}

void Requests() {
  CallRegister("nbRegisterInterfaceAccess", nbRegisterInterfaceAccess, {U(host_interface_access)});
  CallRegister("nbRegisterStreamAccess", nbRegisterStreamAccess, {U(host_stream_access)});
  CallRegister("nbRegisterScriptProcessor", nbRegisterScriptProcessor, {U(host_script_processor)});

  const size_t before = LiveHostStrings().size();
  char* params[1] = {HostAlloc("Rect1")};
  const uint32_t eax = CallRegister("nbExecAction(1)", nbExecAction, {1, U(params), 0});
  Check("nbExecAction: result true in AL", (eax & 0xFF) == 1, Hex(eax));
  const FakeLog& f = Fake();
  Check("nbExecAction: action in EAX, parameter array in EDX, highest index in ECX",
        f.action == 1 && f.params == params && f.highIndex == 0 && f.paramTexts == std::vector<std::string>{"Rect1"});
  const auto& rq = Received().requests;
  if (Check("HostInterfaceAccess: two requests arrived", rq.size() == 2)) {
    Check("HostInterfaceAccess: request 6 in EAX with a null data slot", rq[0].code == 6 && rq[0].dataNull);
    Check("HostInterfaceAccess: request 7 with a host-string copy of the name",
          rq[1].code == 7 && rq[1].data == "Rect1" && rq[1].dataWasHostBlock);
  }
  Check("HostInterfaceAccess: a result of 0xFFFFFF01 reads as true, the answer as given",
        f.request6Result && f.request6Answer == std::string("yes"));
  Check("HostInterfaceAccess: a result of 0x12345600 reads as false (one-byte boolean)",
        !f.request7Result && f.request7Answer == std::string("123456"));
  HostFree(params[0]);
  Check("HostInterfaceAccess: every answer released", LiveHostStrings().size() == before);
}

void Streams() {
  FakeStream& kb = KnowledgeStream();
  kb.content.resize(150000);
  for (size_t i = 0; i < kb.content.size(); ++i) kb.content[i] = uint8_t(i * 7 + 3);
  const size_t recordsBefore = Received().records.size();
  char* params[5] = {HostAlloc("Rect1"), HostAlloc("embedded:\\\\\\kb.dcr"), HostAlloc("196"), HostAlloc("10"),
                     HostAlloc("22")};
  uint32_t eax = CallRegister("nbExecAction(3)", nbExecAction, {3, U(params), 4});
  Check("nbExecAction(3): result true", (eax & 0xFF) == 1, Hex(eax));
  Check("HostStreamAccess: the name in EAX", !Received().streamNames.empty() &&
                                                 Received().streamNames.back() == "embedded:\\\\\\kb.dcr");
  Check("HostStreamAccess: true in AL with a stream: the whole content copied",
        Fake().streamFound && Fake().streamContent == kb.content,
        std::to_string(Fake().streamContent.size()) + " bytes");
  bool seekOk = false, readsOk = true;
  int reads = 0;
  for (size_t i = recordsBefore; i < Received().records.size(); ++i) {
    const CallbackRecord& r = Received().records[i];
    if (r.id == kCbSeek)
      seekOk = r.stack[0] == U(&kb) && r.stack[1] == 0 && r.stack[2] == 0 && r.stack[3] == 0;
    if (r.id == kCbRead) {
      ++reads;
      if (r.stack[0] != U(&kb) || r.stack[1] == 0 || r.stack[2] == 0 || r.stack[3] == 0) readsOk = false;
    }
  }
  Check("IStream::Seek (stdcall): this, a 64-bit move of 0 and origin 0 on the stack", seekOk);
  Check("IStream::Read (stdcall): this, buffer, count, read-count address; repeated to the end",
        readsOk && reads >= 3, std::to_string(reads) + " reads");
  Check("IStream::Release: the stream released once", kb.refs == 0, std::to_string(kb.refs) + " references");

  for (char*& p : params) HostFree(p);

  FakeStream& refused = RefusedStream();
  char* one[1] = {HostAlloc("x")};
  eax = CallRegister("nbExecAction(5)", nbExecAction, {5, U(one), 0});
  Check("HostStreamAccess: 0x7F000100 reads as false", !Fake().streamFound);
  Check("HostStreamAccess: a stream handed with false is released", refused.refs == 0,
        std::to_string(refused.refs) + " references");
  CallRegister("nbExecAction(6)", nbExecAction, {6, U(one), 0});
  Check("HostStreamAccess: true without a stream is an error, not a crash", !Fake().streamError.empty());
  HostFree(one[0]);
  Check("IStream: no other method called", RecordsOf(kCbOtherStreamMethod).empty() &&
                                               RecordsOf(kCbWrite).empty() && RecordsOf(kCbQueryInterface).empty());
}

void Failures() {
  char* one[1] = {HostAlloc("Rect1")};
  CallRegister("nbExecAction(7) dividing by zero", nbExecAction, {7, U(one), 0});
  Check("nbExecAction: the plug-in runs with x87 exceptions masked and extended precision",
        (Fake().controlWord & 0x0F3F) == 0x033F, Hex(Fake().controlWord));
  if (host_call_state.useSse) {
    // The host's MXCSR unmasks every exception and flushes to zero: had the
    // entry point kept it, the SSE division by zero would have trapped and
    // the subnormal product come out as 0.
    Check("nbExecAction: the plug-in runs with MXCSR 0x1F80 (masked, nearest, no flush to zero)",
          (Fake().mxcsr & ~0x3Fu) == 0x1F80, Hex(Fake().mxcsr));
    Check("nbExecAction: SSE arithmetic in the plug-in keeps subnormals", Fake().sseSubnormal != 0.0f);
  }
  const uint32_t eax = CallRegister("nbExecAction(4) that raises", nbExecAction, {4, U(one), 0});
  Check("nbExecAction: an error inside gives false, nothing escapes", (eax & 0xFF) == 0, Hex(eax));
  HostFree(one[0]);
}

void Editing() {
  char* slots[1] = {HostAlloc("Rect1")};
  const void* old = slots[0];
  uint32_t eax = CallRegister("nbEditAction(1)", nbEditAction, {1, U(slots), 0});
  Check("nbEditAction: action, slots and highest index arrive", Fake().action == 1 &&
                                                                   Fake().params == slots && Fake().highIndex == 0);
  Check("nbEditAction: true in AL, the slot rewritten with a new block",
        (eax & 0xFF) == 1 && slots[0] != old && std::string(slots[0]) == "edited" && !LiveHostStrings().count(old));
  eax = CallRegister("nbEditAction(2)", nbEditAction, {2, U(slots), 0});
  Check("nbEditAction: false in AL", (eax & 0xFF) == 0, Hex(eax));
  HostFree(slots[0]);
  CallRegister("nbAbout", nbAbout, {});
  Check("nbAbout: reaches the plug-in", Fake().calls.back() == "About");
}

void ScriptInterface() {
  char buffer[64] = "untouched";
  uint32_t eax = CallStdcall("kytDCRCmdList", kytDCRCmdList, {U("reserved"), U("lisp"), U(buffer)});
  Check("kytDCRCmdList (stdcall): format and destination arrive, the 32-bit result comes back",
        Fake().format == "lisp" && !Fake().formatNull && Fake().destination == buffer &&
            std::string(buffer) == "LIST" && eax == 0x12345678,
        Hex(eax));
  CallStdcall("kytDCRCmdList with a null format", kytDCRCmdList, {0, 0, U(buffer)});
  Check("kytDCRCmdList: a null format arrives as null", Fake().formatNull);

  const char* texts[12] = {"reserved", "3", "p1", "p2", "p3", "p4", "p5", "r1", "r2", "r3", "r4", "r5"};
  eax = CallStdcall("kytDCRExec", kytDCRExec,
                    {U(texts[0]), U(texts[1]), U(texts[2]), U(texts[3]), U(texts[4]), U(texts[5]), U(texts[6]),
                     U(texts[7]), U(texts[8]), U(texts[9]), U(texts[10]), U(texts[11])});
  Check("kytDCRExec (stdcall, twelve texts): command and p1..p5 in order",
        Fake().command == "3" && Fake().execParams == std::vector<std::string>{"p1", "p2", "p3", "p4", "p5"});
  Check("kytDCRExec: true in AL", (eax & 0xFF) == 1, Hex(eax));
  texts[1] = "2";
  eax = CallStdcall("kytDCRExec false", kytDCRExec,
                    {U(texts[0]), U(texts[1]), U(texts[2]), U(texts[3]), U(texts[4]), U(texts[5]), U(texts[6]),
                     U(texts[7]), U(texts[8]), U(texts[9]), U(texts[10]), U(texts[11])});
  Check("kytDCRExec: false in AL", (eax & 0xFF) == 0, Hex(eax));
}

}  // namespace

int main() {
  // A host with SSE runs with a hostile MXCSR (HostAsm.S) and checks it after each call.
  host_call_state.useSse = __builtin_cpu_supports("sse") ? 1 : 0;
  std::printf("host MXCSR %s\n", host_call_state.useSse ? Hex(host_call_state.hostMxcsr).c_str() : "not used (no SSE)");
  Registration();
  InitPlugIn();
  Variables();
  Requests();
  Streams();
  Failures();
  Editing();
  ScriptInterface();
  Check("the second procedure and the script processor are never called",
        RecordsOf(kCbAddFile).empty() && RecordsOf(kCbScriptProcessor).empty());
  Check("host strings: no foreign or double releases", BadFrees() == 0, std::to_string(BadFrees()));
  Check("host strings: nothing left allocated", LiveHostStrings().empty(),
        std::to_string(LiveHostStrings().size()) + " blocks");
  std::printf("glue: %d passed, %d failed\n", g_passed, g_failed);
  return g_failed == 0 && g_passed > 0 ? 0 : 1;
}
