#pragma once
// What the processor, and for the SSE registers the operating system, lets
// the library use beyond the target's baseline instruction set, found once
// with CPUID. Asking executes no SSE instruction: the answers say whether
// the callers may (the kernels' dispatch, the entry points' MXCSR guard).
namespace kyt {

struct ProcessorFeatures {
  bool sse = false;     // SSE with the XMM state saved by the system: MXCSR can be read and set
  bool sse2 = false;    // SSE2 as well: the SSE2 kernels may run
  bool popcnt = false;  // the POPCNT instruction
};

// This processor's features, found on the first call.
const ProcessorFeatures& Processor();

}  // namespace kyt
