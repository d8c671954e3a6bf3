#include "core/ProcessorFeatures.h"

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>
#endif
#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace kyt {

namespace {

ProcessorFeatures Find() {
  ProcessorFeatures f;
#if defined(__i386__) || defined(__x86_64__)
  // On 32-bit x86, __get_cpuid first finds out whether there is a CPUID
  // instruction at all (a 486 may lack it) and answers false then.
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
    // The XMM state is saved on task switches only by a system that uses
    // FXSAVE, which the FXSR bit offers.
    const bool fxsr = (edx & bit_FXSAVE) != 0;
    f.sse = fxsr && (edx & bit_SSE) != 0;
    f.sse2 = f.sse && (edx & bit_SSE2) != 0;
    f.popcnt = (ecx & bit_POPCNT) != 0;
  }
#if defined(_WIN32)
  // The system's word that it saves the XMM registers and has SSE enabled.
  f.sse = f.sse && IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE);
  f.sse2 = f.sse && f.sse2 && IsProcessorFeaturePresent(PF_XMMI64_INSTRUCTIONS_AVAILABLE);
#endif
#if defined(__x86_64__)
  // Part of the 64-bit architecture.
  f.sse = f.sse2 = true;
#endif
#endif
  return f;
}

}  // namespace

const ProcessorFeatures& Processor() {
  static const ProcessorFeatures features = Find();
  return features;
}

}  // namespace kyt
