#pragma once
// The host side written in assembly (HostAsm.S): calling the plug-in's entry
// points exactly as the host does, and the host's callbacks, which record the
// registers and stack slots they were called with before a C++ handler runs.
#include <cstdint>

extern "C" {

// What the last host_call_* saw.
struct HostCallState {
  uint32_t espBefore;  // ESP before the stack arguments were pushed
  uint32_t espAfter;   // ESP after the callee returned
  uint32_t eax;        // EAX at return
  uint32_t ebx, esi, edi, ebp;  // callee-saved registers at return
  uint32_t target, savedEbp, savedEsp;  // scratch of the caller
  uint32_t hostCw;  // x87 control word loaded before the call (set by the test)
  uint32_t cw;      // x87 control word at return
  uint32_t sw;      // x87 status word at return
  uint32_t savedCw;
  uint32_t hostMxcsr;  // MXCSR loaded before the call when useSse (set by the test)
  uint32_t mxcsr;      // MXCSR at return
  uint32_t savedMxcsr;
  uint32_t useSse;     // the host sets and checks MXCSR (the processor has SSE)
};
extern HostCallState host_call_state;

// The sentinels loaded into EBX, ESI, EDI and EBP before each call.
constexpr uint32_t kSentinelEbx = 0x0B0B0B0B;
constexpr uint32_t kSentinelEsi = 0x05150515;
constexpr uint32_t kSentinelEdi = 0x0D1D0D1D;
constexpr uint32_t kSentinelEbp = 0x0EB00EB0;

// The host's register convention: args[0..2] in EAX, EDX, ECX, the rest pushed
// left to right, removed by the callee. The callee is entered with a stack
// that is 4-byte but not 16-byte aligned, as the host leaves it. Returns EAX.
uint32_t host_call_register(const void* fn, const uint32_t* args, int32_t count);
// stdcall: all arguments pushed right to left, removed by the callee. EAX,
// EDX and ECX hold garbage on entry.
uint32_t host_call_stdcall(const void* fn, const uint32_t* args, int32_t count);

// One callback as it arrived.
struct CallbackRecord {
  uint32_t id;
  uint32_t eax, edx, ecx;
  uint32_t stack[6];  // [ESP+4], [ESP+8], ... at entry
  uint32_t entryEsp;
  uint32_t stackCount;  // how many stack slots the callback removes on return
};

// Implemented in C++: handles a callback and gives the value for EAX.
uint32_t host_callback(CallbackRecord* record);

// Callback ids.
enum : uint32_t {
  kCbAddAction = 1,
  kCbGetVariable = 2,
  kCbSetVariable = 3,
  kCbInterfaceAccess = 4,
  kCbStreamAccess = 5,
  kCbAddFile = 6,
  kCbScriptProcessor = 7,
  kCbQueryInterface = 10,
  kCbAddRef = 11,
  kCbRelease = 12,
  kCbRead = 13,
  kCbWrite = 14,
  kCbSeek = 15,
  kCbOtherStreamMethod = 16,
};

// The host callbacks (register convention) and the COM stream methods (stdcall).
void host_add_action();
void host_get_variable();
void host_set_variable();
void host_interface_access();
void host_stream_access();
void host_add_file();
void host_script_processor();
void stream_query_interface();
void stream_add_ref();
void stream_release();
void stream_read();
void stream_write();
void stream_seek();
void stream_set_size();
void stream_copy_to();
void stream_commit();
void stream_revert();
void stream_lock_region();
void stream_unlock_region();
void stream_stat();
void stream_clone();
}
