#pragma once
// The host's calling conventions. On 32-bit x86 the nb entry points and the host
// callbacks use the host's register convention: the first three arguments in
// EAX, EDX and ECX, the rest pushed left to right, removed by the callee. That
// is GCC's regparm(3) with stdcall, with the stack parameters declared in
// reverse order. The script interface uses plain stdcall. Elsewhere (x86_64,
// Linux script hosts) both are the platform's own C convention.
#include <cstdint>

#if defined(__i386__)
#define NB_REGISTER __attribute__((regparm(3), stdcall))
#define NB_STDCALL __attribute__((stdcall))
#else
#define NB_REGISTER
#define NB_STDCALL
#endif

#if defined(_WIN32)
#define NB_EXPORT
#else
#define NB_EXPORT __attribute__((visibility("default")))
#endif

namespace kyt {

struct ComStream;

// Host callbacks as the host calls them. Stack parameters are in reverse.
// HostAddAction(number, name, description, type codes (address, highest index), count)
using HostAddActionProc = void(NB_REGISTER*)(int32_t number, const char* name, const char* description,
                                             uint8_t count, int32_t highIndex, const uint8_t* typeCodes);
using HostGetVariableProc = void(NB_REGISTER*)(const char* name, char** value);
using HostSetVariableProc = void(NB_REGISTER*)(const char* name, const char* value);
// Boolean results are one byte (AL).
using HostInterfaceAccessFunc = uint8_t(NB_REGISTER*)(int32_t request, char** data);
using HostStreamAccessFunc = uint8_t(NB_REGISTER*)(const char* name, ComStream** stream);

}  // namespace kyt
