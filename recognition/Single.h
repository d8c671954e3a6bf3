#pragma once
// Rounding to Single where the compiler might not.
//
// With x87 arithmetic (32-bit x86 without SSE math) GCC's C++ front end knows
// only -fexcess-precision=fast (before GCC 13): a float held in a register may
// carry the 64-bit significand of the computation. GCC also rewrites
// float(long double(a) op long double(b)) for Singles a and b as one float
// operation, which is exact under IEEE rules, but on the x87 that float
// operation leaves its result unrounded in a register; only a store to memory
// rounds it. A value used again after such a step (an error term multiplied
// later, a running total) then carries extra bits, and the results differ from
// the convention's (every step rounded to Single) in the last bit. Single()
// forces the store where that can happen.
namespace kyt {

inline float Single(long double x) {
#if defined(__FLT_EVAL_METHOD__) && __FLT_EVAL_METHOD__ != 0 && __FLT_EVAL_METHOD__ != 1
  volatile float stored = static_cast<float>(x);
  return stored;
#else
  return static_cast<float>(x);
#endif
}

}  // namespace kyt
