// The kernels of one instruction-set level. Included once by each of
// ForwardKernelsAvx512.cpp, ForwardKernelsAvx2.cpp and ForwardKernelsSse2.cpp,
// which define
//   KYT_LEVEL_NS       the namespace of the level,
//   KYT_VBYTES         the vector width in bytes (64, 32 or 16),
//   KYT_SIGN_BLOCK     float vectors summed side by side by the sign kernel,
//   KYT_GENERAL_BLOCK  double vectors summed side by side by the general kernel,
// and compile it with the matching instruction-set options.
//
// Why the results are the extended-precision ones, bit for bit
// ------------------------------------------------------------
// The convention: every step forms s + x * w in extended precision (64-bit
// significand) and rounds it to Single; Activation(x) is 2 / (1 + e^-x) - 1 in
// extended precision, rounded to Single.
//
// 1. Sign sums (inputs exactly +1 or -1). x * w is +-w exactly, so a step is
//    the extended sum of two Singles rounded to Single. Rounding an exact
//    result first to p' bits and then to p bits equals rounding it once to p
//    bits whenever p' >= 2p + 2 and the result is a sum of two p-bit numbers
//    (Figueroa, "When is double rounding innocuous?", 1995); here p = 24 and
//    p' = 64. Overflow behaves as rounding to the value 2^128 with an unbounded
//    exponent, covered by the same argument, and sums small enough to be
//    subnormal are exact in both. So one Single addition of +-w is the step.
//
// 2. General sums. x * w is exact in double (24 + 24 <= 53 significant bits,
//    exponents far inside double's range), so one double multiply-add, or a
//    multiply and an add, gives d = round53(v) for the exact v = s + x * w;
//    the extended step gives e = round64(v); the convention keeps
//    round24(e). Every midpoint m between two neighbouring Singles has 25
//    significant bits and is a double and an extended number. Rounding is
//    monotonic, so if v < m then d <= m and e <= m, if v > m then d >= m and
//    e >= m. Hence when d is no midpoint, d lies on the same side of every
//    midpoint as v, and round24(d) = round24(v). And e is then no midpoint
//    either: e = m with v != m needs |v - m| < ulp64(m) / 2 < ulp53(m) / 2,
//    which makes d = m. So round24(e) = round24(v) = round24(d). The kernel
//    marks a unit when some step's d is a midpoint (the low 29 of the 52
//    fraction bits are exactly 1 followed by zeros), when d is non-zero below
//    2^-126 (there the Single grid is coarser than the test assumes) and when
//    the final sum is not finite (infinities and NaNs carry their own rules);
//    such units are recomputed in extended precision. Steps whose input is
//    exactly +1 or -1 need no test: they add two Singles, and the argument of
//    1 holds for double as well (53 >= 2 x 24 + 2), so round24(d) = round24(v).
//    (Saturated hidden units make such steps common in the output layer.)
//
// 3. Activation. The double evaluation y below differs from the exact value
//    A(x) = 2 / (1 + e^-x) - 1 by at most 2^-48 (the exponential's relative
//    error is below 2^-49, the derivative of A with respect to the
//    exponential's value E is 2E/(1+E)^2 <= 1/2 times E's relative error, and
//    the three double operations add at most 2^-51). The extended evaluation
//    r differs from A(x) by less than 2^-58. So r lies in [y - 2^-44, y + 2^-44]
//    with room to spare, and if both ends of that interval round to the same
//    Single, so does r: that Single is the result. Otherwise, and for |x| >
//    11000 or NaN (where the extended exponential may overflow), the unit is
//    marked. For 80 < |x| <= 11000 the argument is clamped to +-80: there both
//    r and the clamped y are within 2^-100 of +-1 and round to +-1.
#include <immintrin.h>

#include <bit>
#include <cfloat>
#include <cstdint>
#include <limits>

#include "recognition/ForwardKernels.h"

namespace kyt::kernels::KYT_LEVEL_NS {
namespace {

typedef float vf __attribute__((vector_size(KYT_VBYTES)));
typedef double vd __attribute__((vector_size(KYT_VBYTES)));
typedef int32_t vi __attribute__((vector_size(KYT_VBYTES)));
typedef int64_t vl __attribute__((vector_size(KYT_VBYTES)));

constexpr int kF = KYT_VBYTES / 4;  // floats per vector
constexpr int kD = KYT_VBYTES / 8;  // doubles per vector

// Loads kD floats as doubles (exact); rounds doubles to Single and back;
// stores kD doubles rounded to Single. Loads and stores are aligned to kD
// floats. Rounding is to nearest, ties to even, as the engine keeps MXCSR.
#if KYT_VBYTES == 64
// GCC 12's conversion intrinsics fill a masked form's unused source with an
// "undefined" vector, which its own warnings then report as uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline vd Widen(const float* p) { return (vd)_mm512_cvtps_pd(_mm256_load_ps(p)); }
inline vd ToSingle(vd v) { return (vd)_mm512_cvtps_pd(_mm512_cvtpd_ps((__m512d)v)); }
inline void Narrow(float* p, vd v) { _mm256_store_ps(p, _mm512_cvtpd_ps((__m512d)v)); }
#pragma GCC diagnostic pop
inline vd SplatD(double x) { return (vd)_mm512_set1_pd(x); }
inline vl SplatL(int64_t x) { return (vl)_mm512_set1_epi64(x); }
inline vi SplatI(int32_t x) { return (vi)_mm512_set1_epi32(x); }
#elif KYT_VBYTES == 32
inline vd Widen(const float* p) { return (vd)_mm256_cvtps_pd(_mm_load_ps(p)); }
inline vd ToSingle(vd v) { return (vd)_mm256_cvtps_pd(_mm256_cvtpd_ps((__m256d)v)); }
inline void Narrow(float* p, vd v) { _mm_store_ps(p, _mm256_cvtpd_ps((__m256d)v)); }
inline vd SplatD(double x) { return (vd)_mm256_set1_pd(x); }
inline vl SplatL(int64_t x) { return (vl)_mm256_set1_epi64x(x); }
inline vi SplatI(int32_t x) { return (vi)_mm256_set1_epi32(x); }
#else
inline vd Widen(const float* p) {
  return (vd)_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
inline vd ToSingle(vd v) { return (vd)_mm_cvtps_pd(_mm_cvtpd_ps((__m128d)v)); }
inline void Narrow(float* p, vd v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(_mm_cvtpd_ps((__m128d)v)));
}
inline vd SplatD(double x) { return (vd)_mm_set1_pd(x); }
inline vl SplatL(int64_t x) { return (vl)_mm_set1_epi64x(x); }
inline vi SplatI(int32_t x) { return (vi)_mm_set1_epi32(x); }
#endif

inline vd Abs(vd v) { return (vd)((vl)v & SplatL(0x7FFFFFFFFFFFFFFFLL)); }

inline void MarkLanes(vl bad, uint8_t* suspect) {
  for (int j = 0; j < kD; ++j) suspect[j] = bad[j] != 0;
}

// ---- sign sums ----

template <int NB>
void SignBlock(const float* w, size_t stride, const uint32_t* signs, int32_t n, float* sums) {
  vf acc[NB];
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) acc[k] = vf{};  // +0, as the convention's sum starts
  for (int32_t i = 0; i < n; ++i) {
    const vi sign = SplatI(int32_t(signs[i]));
    const float* row = w + size_t(i) * stride;
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) acc[k] += (vf)(*reinterpret_cast<const vi*>(row + k * kF) ^ sign);
  }
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) *reinterpret_cast<vf*>(sums + k * kF) = acc[k];
}

template <int NB>
void SignTail(int rest, const float* w, size_t stride, const uint32_t* signs, int32_t n, float* sums) {
  if (rest == NB) {
    SignBlock<NB>(w, stride, signs, n, sums);
  } else if constexpr (NB > 1) {
    SignTail<NB - 1>(rest, w, stride, signs, n, sums);
  }
}

void SignSums(const PackedLayer& layer, const uint32_t* signs, float* sums) {
  const int vectors = int(layer.stride / kF);
  const float* w = layer.weights.data();
  int v = 0;
  for (; v + KYT_SIGN_BLOCK <= vectors; v += KYT_SIGN_BLOCK)
    SignBlock<KYT_SIGN_BLOCK>(w + v * kF, layer.stride, signs, layer.inputs, sums + v * kF);
  if (v < vectors) SignTail<KYT_SIGN_BLOCK>(vectors - v, w + v * kF, layer.stride, signs, layer.inputs, sums + v * kF);
}

// ---- general sums ----

template <int NB>
void GeneralBlock(const double* w, size_t stride, const float* in, int32_t n, float* sums, uint8_t* suspect) {
  const vl lowBits = SplatL(0x1FFFFFFF), half = SplatL(0x10000000);
  const vd tiny = SplatD(0x1p-126), zero = SplatD(0.0);
  vd s[NB];
  vl bad[NB];
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    s[k] = zero;
    bad[k] = SplatL(0);
  }
  for (int32_t i = 0; i < n; ++i) {
    const vd x = SplatD(double(in[i]));
    const double* row = w + size_t(i) * stride;
    if (in[i] == 1.0f || in[i] == -1.0f) {
      // Steps with an input of +-1 add two Singles: always exact (see 2).
      // Saturated hidden units make them most of the output layer's steps,
      // so they skip the tests rather than mask them off.
#pragma GCC unroll 16
      for (int k = 0; k < NB; ++k) s[k] = ToSingle(x * *reinterpret_cast<const vd*>(row + k * kD) + s[k]);
      continue;
    }
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) {
      const vd d = x * *reinterpret_cast<const vd*>(row + k * kD) + s[k];
      bad[k] |= (((vl)d & lowBits) == half) | ((Abs(d) < tiny) & (d != zero));
      s[k] = ToSingle(d);
    }
  }
  const vd largest = SplatD(FLT_MAX);
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    bad[k] |= ~(Abs(s[k]) <= largest);
    Narrow(sums + k * kD, s[k]);
    MarkLanes(bad[k], suspect + k * kD);
  }
}

// The fast form of the general sums: the same steps as GeneralBlock, so the
// same sums, with the per-step tests of 2 folded into one unsigned minimum
// over all NB vectors and no branch on the input. A step's test reads the
// double d as two 32-bit halves, y = (d & M) ^ X then y += A (per 32 bits):
//   low half:  (low 29 fraction bits) ^ 2^28, zero exactly when d is a
//              midpoint (the test of 2); A adds 0 there;
//   high half: (sign cleared) - 1. Non-zero d are multiples of 2^-298 (sums
//              of Singles and of products of two), so their high half is at
//              least 1, while 0 wraps to 2^32 - 1: the result is below
//              0x380FFFFF exactly when 0 < |d| < 2^-126 (2^-126 is
//              0x3810000000000000).
// Steps with an input of +-1 need no test (2): their M is 0 and their X all
// ones, which gives y = {2^32 - 1, 2^32 - 2}, never below either bound. So a
// block without a hit in the minimum has no step GeneralBlock would mark, and
// its sums are GeneralBlock's; a block with a hit is redone by GeneralBlock,
// which marks exactly its own units. Hits are rare (about 2^-29 per step), so
// the redone block costs nothing measurable.
#ifndef KYT_FAST_BLOCK
#define KYT_FAST_BLOCK KYT_GENERAL_BLOCK  // double vectors summed side by side by GeneralFast
#endif
typedef uint32_t vu __attribute__((vector_size(KYT_VBYTES)));

struct alignas(16) StepTest {
  uint64_t mask, flip;
};
constexpr StepTest kStepTests[2] = {{0x7FFFFFFF1FFFFFFFULL, 0x0000000010000000ULL},  // general input
                                    {0, ~0ULL}};                                     // +-1

template <int NB>
void GeneralFast(const double* w, size_t stride, const float* in, int32_t n, float* sums, uint8_t* suspect) {
  const vd zero = SplatD(0.0);
  const vu adjust = (vu)SplatL(int64_t(0xFFFFFFFF00000000ULL));
  vd s[NB];
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) s[k] = zero;
  vu least = (vu)SplatL(-1);
  for (int32_t i = 0; i < n; ++i) {
    const vd x = SplatD(double(in[i]));
    const double* row = w + size_t(i) * stride;
    const StepTest& test = kStepTests[(in[i] == 1.0f) | (in[i] == -1.0f)];
    const vu mask = (vu)SplatL(int64_t(test.mask)), flip = (vu)SplatL(int64_t(test.flip));
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) {
      const vd d = x * *reinterpret_cast<const vd*>(row + k * kD) + s[k];
      const vu y = (((vu)d & mask) ^ flip) + adjust;
      least = y < least ? y : least;
      s[k] = ToSingle(d);
    }
  }
  const vu bound = (vu)SplatL(int64_t(0x380FFFFF00000001ULL));  // high: tiny bound; low: 1 (midpoint is 0)
  const vl hit = (vl)(least < bound);
  bool any = false;
  for (int j = 0; j < kD; ++j) any |= hit[j] != 0;
  if (__builtin_expect(any, 0)) {
    GeneralBlock<NB>(w, stride, in, n, sums, suspect);
    return;
  }
  const vd largest = SplatD(FLT_MAX);
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    Narrow(sums + k * kD, s[k]);
    MarkLanes(~(Abs(s[k]) <= largest), suspect + k * kD);
  }
}

template <int NB>
void GeneralTail(int rest, const double* w, size_t stride, const float* in, int32_t n, float* sums, uint8_t* suspect) {
  if (rest == NB) {
    GeneralFast<NB>(w, stride, in, n, sums, suspect);
  } else if constexpr (NB > 1) {
    GeneralTail<NB - 1>(rest, w, stride, in, n, sums, suspect);
  }
}

void GeneralSums(const PackedLayer& layer, const float* in, float* sums, uint8_t* suspect) {
  const int vectors = int(layer.stride / kD);
  const double* w = layer.wide.data();
  int v = 0;
  for (; v + KYT_FAST_BLOCK <= vectors; v += KYT_FAST_BLOCK)
    GeneralFast<KYT_FAST_BLOCK>(w + v * kD, layer.stride, in, layer.inputs, sums + v * kD, suspect + v * kD);
  if (v < vectors)
    GeneralTail<KYT_FAST_BLOCK>(vectors - v, w + v * kD, layer.stride, in, layer.inputs, sums + v * kD,
                                   suspect + v * kD);
}

// ---- general sums in Single ----
//
// 6. Levels with a Single multiply-add (KYT_SINGLE_FMA) keep each unit's
//    running sum s as a Single and do a step as r = fma(x, w, s): the exact
//    v = s + x * w rounded once to Single. The convention keeps
//    round24(e), e = round64(v). By the argument of 2 (with 64 for 53) the
//    two differ only when e is a midpoint m between two neighbouring Singles
//    and v != m, so 0 < |v - m| <= 2^(E-64) where 2^E <= |m| < 2^(E+1) (a
//    midpoint is no power of 2, so E is v's binade too). Call such a step a
//    trap. Write x = X 2^a and w = W 2^b with integers 0 <= X, W < 2^24, so
//    x * w = +-P 2^L with P = X W < 2^48 and L = a + b; a Single s != 0 is a
//    multiple of 2^(S-23) where 2^S <= |s| < 2^(S+1), subnormal or not. With
//    s = 0 or x * w = 0 the step is exact. Otherwise a trap needs one of:
//
//    (a) |v| < 2^-90, so |r| <= 2^-90. This covers results below 2^-126,
//        where the Singles' grid is not the one below, and (c)'s tiny products.
//    (b) S <= E - 41, so |s| < 2^(E-40) <= 2^-40 |r|. For if S <= E - 2 then
//        |x * w| = |v - s| > 2^E - 2^(E-1), so L >= E - 48, and v, a multiple
//        of 2^min(L, S-23) below 2^(E+1), has at most 64 significant bits
//        (then e = v, no trap) unless S - 23 < E - 63.
//    (c) S >= E - 1. Then s is a multiple of 2^(E-24), and s != m (s is a
//        multiple of 2^(E-23) or below 2^E in magnitude), so with E >= -126
//        (else (a)) x * w = (m - s) + (v - m) = K' 2^(E-24) + D' with K' != 0
//        and 0 < |D'| <= 2^(E-64). If L >= E - 24, D' would be a multiple of
//        2^(E-24); so L < E - 24, D' is a multiple of 2^L, and L <= E - 64.
//        With A = E - 24 - L >= 40: P = K 2^A + D, K = +-K', D = +-D'/2^L,
//        0 < |D| <= 2^(A-40). As 0 <= P < 2^48, K >= 1 and A <= 48, so
//        |D| <= 2^8, P >= 2^39 and K 2^A, a multiple of 2^40 below
//        2^48 + 2^8, has at most 8 significant bits. Half the Singles' step at
//        P is at least 2^15 > |D|, so round24(P) = K 2^A: when
//        |x * w| >= 2^-126 the Single product p = x * w has the low 16 bits of
//        its fraction clear (an infinite p too). And |x * w| < 2^-126 with
//        |x * w| >= 2^39 2^L >= 2^(E-33) means |v| < 2^-92: case (a).
//        If X is a multiple of 2^9, so are P and K 2^A, and D cannot be: no
//        input of +-1, +-0 or a power of 2 needs this test (nor a NaN or an
//        infinity whose fraction ends so; they make the sum not finite).
//
//    Every sum of the convention, every s and r, is at most max(B, 2^-128)
//    in magnitude, with B = 1.125 Hmax Wsum, Hmax the largest |x| and Wsum
//    the unit's sum of |w| (absSums): a step's rounding grows a sum by a
//    factor of at most 1 + 2^-24, which 2^20 steps keep below 1.07, or, below
//    2^-126, by at most 2^-150, less than 2^-129 over 2^20 steps. So a step
//    whose |s| and |r| are at least T = max(2^-40 B, 2^-89) is not of (a) or
//    (b) (s = 0 needs no test), and one whose product, if its input needs the
//    test, has a low half that is not 0 is not of (c): it is the
//    convention's step. The kernel (SingleBlock) proves this for chunks of
//    steps at once with the least |s| and the least low half over the chunk;
//    a vector of units whose chunk it cannot prove takes the chunk again
//    step by step, each unproved step in extended precision (CheckedSingle).
//    A sum that is not finite is marked as in 2. With ordinary weights the
//    test of (c) fires about once in 2^16 steps whose input is not a power
//    of 2, and |s| stays far above T.
#if defined(KYT_SINGLE_FMA)
#if KYT_VBYTES == 64
// GCC 12's unmasked forms fill an "undefined" vector, as in Widen above.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline __m512 Fma(__m512 x, __m512 w, __m512 s) { return _mm512_fmadd_ps(x, w, s); }
// min(m, |r|), the sign cleared: VRANGEPS with "smaller magnitude, sign 0".
inline __m512 LeastMagnitude(__m512 m, __m512 r) { return _mm512_range_ps(m, r, 0x0A); }
// Where `tested` is all ones, the per-16-bit minimum of q and p's bits; else q.
typedef __mmask32 RowMask;
inline RowMask TestedRow(float x) { return (std::bit_cast<uint32_t>(x) & 0x1FF) ? ~RowMask(0) : RowMask(0); }
inline __m512i LeastHalves(__m512i q, RowMask tested, __m512 p) {
  return _mm512_mask_min_epu16(q, tested, q, _mm512_castps_si512(p));
}
// Bit j set where lane j's low half of q is 0 or m < t.
inline unsigned Hits(__m512i q, __m512 m, __m512 t) {
  return unsigned(_mm512_testn_epi32_mask(q, _mm512_set1_epi32(0xFFFF))) |
         unsigned(_mm512_cmp_ps_mask(m, t, _CMP_NGE_UQ));  // also a NaN m
}
inline unsigned NotFinite(__m512 s) {
  return unsigned(_mm512_cmp_ps_mask(_mm512_abs_ps(s), _mm512_set1_ps(FLT_MAX), _CMP_NLE_UQ));
}
typedef __m512 SV;
typedef __m512i SI;
inline SV SLoad(const float* p) { return _mm512_load_ps(p); }
inline void SStore(float* p, SV v) { _mm512_store_ps(p, v); }
inline SV SLoadU(const float* p) { return _mm512_loadu_ps(p); }
inline void SStoreU(float* p, SV v) { _mm512_storeu_ps(p, v); }
inline SV SSplat(float x) { return _mm512_set1_ps(x); }
inline SI SOnes() { return _mm512_set1_epi32(-1); }
inline SV SMax(SV a, SV b) { return _mm512_max_ps(a, b); }
// Lanes with |v| < t; lanes of p with the low 16 bits clear.
inline unsigned Below(SV v, SV t) { return unsigned(_mm512_cmp_ps_mask(_mm512_abs_ps(v), t, _CMP_LT_OQ)); }
inline unsigned LowHalfClear(SV p) {
  return unsigned(_mm512_testn_epi32_mask(_mm512_castps_si512(p), _mm512_set1_epi32(0xFFFF)));
}
#pragma GCC diagnostic pop
#else
inline __m256 Fma(__m256 x, __m256 w, __m256 s) { return _mm256_fmadd_ps(x, w, s); }
inline __m256 LeastMagnitude(__m256 m, __m256 r) {
  return _mm256_min_ps(m, _mm256_andnot_ps(_mm256_set1_ps(-0.0f), r));
}
// Where `tested` is 0, the per-16-bit minimum of q and p's bits; all ones
// leaves q.
typedef __m256i RowMask;
inline RowMask TestedRow(float x) {
  return _mm256_set1_epi32((std::bit_cast<uint32_t>(x) & 0x1FF) ? 0 : -1);
}
inline __m256i LeastHalves(__m256i q, RowMask tested, __m256 p) {
  return _mm256_min_epu16(q, _mm256_or_si256(tested, _mm256_castps_si256(p)));
}
inline unsigned Hits(__m256i q, __m256 m, __m256 t) {
  const __m256i zero = _mm256_cmpeq_epi32(_mm256_and_si256(q, _mm256_set1_epi32(0xFFFF)), _mm256_setzero_si256());
  // Not m >= t, so that a NaN least magnitude is a hit as well.
  return unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(zero))) |
         unsigned(_mm256_movemask_ps(_mm256_cmp_ps(m, t, _CMP_NGE_UQ)));
}
inline unsigned NotFinite(__m256 s) {
  const __m256 a = _mm256_andnot_ps(_mm256_set1_ps(-0.0f), s);
  return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(a, _mm256_set1_ps(FLT_MAX), _CMP_NLE_UQ)));
}
typedef __m256 SV;
typedef __m256i SI;
inline SV SLoad(const float* p) { return _mm256_load_ps(p); }
inline void SStore(float* p, SV v) { _mm256_store_ps(p, v); }
inline SV SLoadU(const float* p) { return _mm256_loadu_ps(p); }
inline void SStoreU(float* p, SV v) { _mm256_storeu_ps(p, v); }
inline SV SSplat(float x) { return _mm256_set1_ps(x); }
inline SI SOnes() { return _mm256_set1_epi32(-1); }
inline SV SMax(SV a, SV b) { return _mm256_max_ps(a, b); }
inline unsigned Below(SV v, SV t) {
  return unsigned(_mm256_movemask_ps(_mm256_cmp_ps(_mm256_andnot_ps(_mm256_set1_ps(-0.0f), v), t, _CMP_LT_OQ)));
}
inline unsigned LowHalfClear(SV p) {
  const __m256i low = _mm256_and_si256(_mm256_castps_si256(p), _mm256_set1_epi32(0xFFFF));
  return unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(low, _mm256_setzero_si256()))));
}
#endif

// What SingleSums works out once per call.
struct SingleStep {
  const float* in;
  int32_t n;    // inputs including the bias
  float scale;  // T = max(absSums * scale, 2^-89)
};

// Steps [begin, end) of one vector of units from the sums s, each step
// tested on its own: a step that passes the tests of 6 (|s| and |r| at least
// T, and for inputs that need it a product whose low half is not 0) is the
// convention's step; the lanes of any other step take the convention's step
// itself, in extended precision. So the sums it returns are the convention's.
SV CheckedSingle(const float* w, size_t stride, const SingleStep& step, int32_t begin, int32_t end, unsigned lanes,
                 SV t, SV s) {
  for (int32_t i = begin; i < end; ++i) {
    const float* row = w + size_t(i) * stride;
    const SV x = SSplat(step.in[i]), wv = SLoad(row);
    SV r = Fma(x, wv, s);
    unsigned hit = Below(s, t) | Below(r, t);
    if (std::bit_cast<uint32_t>(step.in[i]) & 0x1FF) hit |= LowHalfClear(x * wv);
    hit &= lanes;
    if (__builtin_expect(hit != 0, 0)) {
      // Unaligned: not every compiler aligns the stack beyond 16 bytes.
      float before[kF], after[kF];
      SStoreU(before, s);
      SStoreU(after, r);
      for (int j = 0; j < kF; ++j)
        if (hit & (1u << j)) after[j] = float(before[j] + static_cast<long double>(step.in[i]) * row[j]);
      r = SLoadU(after);
    }
    s = r;
  }
  return s;
}

// NB vectors of units side by side, in chunks of kChunk steps. A chunk keeps
// per lane the least |s| of its steps (the sum it starts from and every r)
// and the least low half of the tested products (6); a vector with a hit
// does the chunk again from its sums at the chunk's start, step by step
// (CheckedSingle). Those sums are the convention's, as every earlier chunk's
// were proved or done again.
template <int NB>
void SingleBlock(const PackedLayer& layer, size_t first, const SingleStep& step, float* sums, uint8_t* suspect) {
  constexpr int32_t kChunk = 64;
  const size_t stride = layer.stride;
  const float* w = layer.weights.data() + first;
  const size_t units = size_t(layer.units);
  const SV scale = SSplat(step.scale), floor = SSplat(0x1p-89f);
  SV s[NB];
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) s[k] = SSplat(0.0f);
  for (int32_t begin = 0; begin < step.n; begin += kChunk) {
    const int32_t end = step.n - begin > kChunk ? begin + kChunk : step.n;
    SV start[NB], m[NB];
    SI q[NB];
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) {
      start[k] = s[k];
      // The sum the chunk starts from is one of its steps' s; the first
      // chunk's, 0, needs no test.
      const SV none = SSplat(std::numeric_limits<float>::infinity());
      m[k] = begin > 0 ? LeastMagnitude(none, s[k]) : none;
      q[k] = SOnes();
    }
    for (int32_t i = begin; i < end; ++i) {
      const SV x = SSplat(step.in[i]);
      // All lanes or none: whether this input's products need the test of (c).
      const RowMask tested = TestedRow(step.in[i]);
      const float* row = w + size_t(i) * stride;
#pragma GCC unroll 16
      for (int k = 0; k < NB; ++k) {
        const SV wk = SLoad(row + k * kF);
        s[k] = Fma(x, wk, s[k]);
        m[k] = LeastMagnitude(m[k], s[k]);
        q[k] = LeastHalves(q[k], tested, x * wk);
      }
    }
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) {
      const size_t u = first + size_t(k) * kF;
      const unsigned lanes = u >= units ? 0u : units - u >= size_t(kF) ? (1u << kF) - 1 : (1u << (units - u)) - 1;
      const SV t = SMax(SLoad(layer.absSums.data() + u) * scale, floor);
      if (__builtin_expect(Hits(q[k], m[k], t) & lanes, 0)) {
        s[k] = CheckedSingle(w + size_t(k) * kF, stride, step, begin, end, lanes, t, start[k]);
        ++Fallbacks().blocks;
      }
    }
  }
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    SStore(sums + k * kF, s[k]);
    const unsigned bad = NotFinite(s[k]);
    for (int j = 0; j < kF; ++j) suspect[k * kF + j] = (bad >> j) & 1;
  }
}

template <int NB>
void SingleTail(int rest, const PackedLayer& layer, size_t first, const SingleStep& step, float* sums,
                uint8_t* suspect) {
  if (rest == NB) {
    SingleBlock<NB>(layer, first, step, sums, suspect);
  } else if constexpr (NB > 1) {
    SingleTail<NB - 1>(rest, layer, first, step, sums, suspect);
  }
}

void SingleSums(const PackedLayer& layer, const float* in, float* sums, uint8_t* suspect) {
  const int32_t n = layer.inputs;
  // The bound of 6 holds for up to 2^20 steps.
  if (n > (1 << 20)) return GeneralSums(layer, in, sums, suspect);
  float hmax = 0.0f;
  for (int32_t i = 0; i < n; ++i) {
    const float a = std::bit_cast<float>(std::bit_cast<uint32_t>(in[i]) & 0x7FFFFFFFu);
    hmax = a > hmax ? a : hmax;
    if (!(a <= FLT_MAX)) hmax = std::numeric_limits<float>::infinity();  // also NaN
  }
  // scale = 1.125 Hmax 2^-40, rounded up twice over (its own rounding to
  // Single and that of the product with absSums), at least 2^-126.
  const double c = 1.125 * double(hmax) * 0x1p-40 * (1.0 + 0x1p-20) * (1.0 + 0x1p-20);
  float scale = !(c <= double(FLT_MAX)) ? std::numeric_limits<float>::infinity() : float(c);
  if (scale < 0x1p-126f) scale = 0x1p-126f;
  const SingleStep step{in, n, scale};
  const int vectors = int(layer.stride / kF);
  int v = 0;
  for (; v + KYT_SINGLE_BLOCK <= vectors; v += KYT_SINGLE_BLOCK)
    SingleBlock<KYT_SINGLE_BLOCK>(layer, size_t(v) * kF, step, sums + v * kF, suspect + v * kF);
  if (v < vectors) SingleTail<KYT_SINGLE_BLOCK>(vectors - v, layer, size_t(v) * kF, step, sums + v * kF, suspect + v * kF);
}
#endif

// ---- activation ----

// e^t for |t| <= 80 with a relative error below 2^-49: t = k ln2 + r with
// |r| <= ln2 / 2 (ln2 in two parts, k ln2hi exact for |k| < 2^11), e^r by its
// Taylor polynomial to degree 12 (remainder below 2^-51 relative), then 2^k
// put into the exponent.
inline vd Exp(vd t) {
  const vd magic = SplatD(0x1.8p52);
  const vd km = t * SplatD(0x1.71547652b82fep0) + magic;  // k = round(t / ln2) in the low bits
  const vd k = km - magic;
  const vl ki = (vl)km - (vl)magic;
  vd r = t - k * SplatD(6.93147180369123816490e-01);  // ln2hi, 0x3FE62E42FEE00000
  r = r - k * SplatD(1.90821492927058770002e-10);     // ln2lo
  vd p = SplatD(1.0 / 479001600.0);                   // 1/12!
  p = p * r + SplatD(1.0 / 39916800.0);
  p = p * r + SplatD(1.0 / 3628800.0);
  p = p * r + SplatD(1.0 / 362880.0);
  p = p * r + SplatD(1.0 / 40320.0);
  p = p * r + SplatD(1.0 / 5040.0);
  p = p * r + SplatD(1.0 / 720.0);
  p = p * r + SplatD(1.0 / 120.0);
  p = p * r + SplatD(1.0 / 24.0);
  p = p * r + SplatD(1.0 / 6.0);
  p = p * r + SplatD(0.5);
  p = p * r + SplatD(1.0);
  p = p * r + SplatD(1.0);
  const vd scale = (vd)((ki + SplatL(1023)) << 52);
  return p * scale;
}

void Activate(const float* sums, float* out, int32_t count, uint8_t* suspect) {
  const vd one = SplatD(1.0), two = SplatD(2.0), eps = SplatD(0x1p-44);
  const vd limit = SplatD(11000.0), clampHi = SplatD(80.0), clampLo = SplatD(-80.0);
  for (int32_t u = 0; u < count; u += kD) {
    const vd x = Widen(sums + u);
    vl bad = ~(Abs(x) <= limit);  // also NaN
    vd t = -x;
    t = t > clampHi ? clampHi : t;
    t = t < clampLo ? clampLo : t;
    const vd y = two / (one + Exp(t)) - one;
    bad |= (vl)ToSingle(y - eps) != (vl)ToSingle(y + eps);
    Narrow(out + u, y);
    MarkLanes(bad, suspect + u);
  }
}

// ---- training ----
//
// 4. Weight changes. A change is Single(r * x) with r = LearningRate x delta
//    (two Singles: exact in double and in extended precision) and x a layer
//    value: the double product p = round53(r * x) plays the part of d in 2,
//    so Single(p) is the extended result unless p is a midpoint, non-zero
//    below 2^-126 or beyond the Singles' range; such elements are marked and
//    left alone. The new weight w + c adds two Singles, exact in double as in
//    1; a result that is not finite is marked too (NaN payloads may differ).
// 5. The hidden error sums run over the output units like the general sums
//    over their inputs (2), with the same marks.

// Unaligned loads and stores of kD floats.
#if KYT_VBYTES == 64
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline vd WidenU(const float* p) { return (vd)_mm512_cvtps_pd(_mm256_loadu_ps(p)); }
inline void NarrowU(float* p, vd v) { _mm256_storeu_ps(p, _mm512_cvtpd_ps((__m512d)v)); }
#pragma GCC diagnostic pop
#elif KYT_VBYTES == 32
inline vd WidenU(const float* p) { return (vd)_mm256_cvtps_pd(_mm_loadu_ps(p)); }
inline void NarrowU(float* p, vd v) { _mm_storeu_ps(p, _mm256_cvtpd_ps((__m256d)v)); }
#else
inline vd WidenU(const float* p) { return Widen(p); }
inline void NarrowU(float* p, vd v) { Narrow(p, v); }
#endif

// Lanes whose product p cannot be rounded to Single from double (see 4).
inline vl ProductBad(vd p) {
  const vd a = Abs(p);
  return (((vl)p & SplatL(0x1FFFFFFF)) == SplatL(0x10000000)) | ((a < SplatD(0x1p-126)) & (p != SplatD(0.0))) |
         ~(a <= SplatD(FLT_MAX));
}

// One element of the steps below, in scalar double arithmetic (the same
// operations as one lane).
inline bool ScalarStep(float& w, double p) {
  const double a = p < 0 ? -p : p;
  uint64_t bits;
  __builtin_memcpy(&bits, &p, sizeof bits);
  if ((bits & 0x1FFFFFFF) == 0x10000000 || (a < 0x1p-126 && p != 0.0) || !(a <= FLT_MAX)) return true;
  const float sum = float(double(w) + double(float(p)));
  if (!(sum - sum == 0.0f)) return true;
  w = sum;
  return false;
}

// The lanes of a mask (all bits set or clear per lane) as the low kD bits.
#if KYT_VBYTES == 64
inline unsigned LaneBits(vl v) { return _mm512_test_epi64_mask((__m512i)v, (__m512i)v); }
#elif KYT_VBYTES == 32
inline unsigned LaneBits(vl v) { return unsigned(_mm256_movemask_pd((__m256d)v)); }
#else
inline unsigned LaneBits(vl v) { return unsigned(_mm_movemask_pd((__m128d)v)); }
#endif

// 0, 1, ..., kD - 1.
inline vl LaneIndex() {
  vl v;
  for (int j = 0; j < kD; ++j) v[j] = j;
  return v;
}

// Sets bad[j] for the lanes of `lanes`; the others keep their (zero) byte.
inline bool MarkBad(unsigned lanes, uint8_t* bad) {
  if (!lanes) return false;
  for (int j = 0; j < kD; ++j)
    if (lanes & (1u << j)) bad[j] = 1;
  return true;
}

#if KYT_VBYTES >= 32
// kD Singles, and as many 32-bit lanes.
typedef float vh __attribute__((vector_size(KYT_VBYTES / 2)));
typedef int32_t vhi __attribute__((vector_size(KYT_VBYTES / 2)));

inline vh LoadH(const float* p) {
  vh v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}
inline void StoreH(float* p, vh v) { __builtin_memcpy(p, &v, sizeof v); }
// Lanes below m (0 < m < kD) from and to memory, the others 0 and not
// stored: masked loads and stores, which touch no memory beyond.
#if KYT_VBYTES == 64
inline vh LoadPartH(const float* p, int m) { return (vh)_mm256_maskz_loadu_ps(__mmask8((1u << m) - 1), p); }
inline void StorePartH(float* p, vh v, int m) { _mm256_mask_storeu_ps(p, __mmask8((1u << m) - 1), (__m256)v); }
#else
inline __m128i PartMask(int m) {
  vhi lanes;
  for (int j = 0; j < kD; ++j) lanes[j] = j < m ? -1 : 0;
  return (__m128i)lanes;
}
inline vh LoadPartH(const float* p, int m) { return (vh)_mm_maskload_ps(p, PartMask(m)); }
inline void StorePartH(float* p, vh v, int m) { _mm_maskstore_ps(p, PartMask(m), (__m128)v); }
#endif
inline unsigned LaneBitsH(vhi v) {
#if KYT_VBYTES == 64
  return unsigned(_mm256_movemask_ps((__m256)v));
#else
  return unsigned(_mm_movemask_ps((__m128)v));
#endif
}

// The weights w stepped by the changes Single(p) (4), as Single additions:
// w + c adds two Singles, whose exact sum one Single addition rounds as the
// extended sum rounded to Single does (1; with no overflow, sums below 2^-126
// are exact in both). Lanes whose product cannot be rounded from double or
// whose sum is not finite are set in b; their results are not to be kept.
inline vh SingleStep(vh w, vd p, vhi& b) {
  const vh sum = w + __builtin_convertvector(p, vh);
  const vh magnitude = (vh)((vhi)sum & 0x7FFFFFFF);
  b = __builtin_convertvector(ProductBad(p), vhi) | ~(magnitude <= FLT_MAX);
  return sum;
}

// lanes 0, 1, ..., kD - 1 of the 32-bit kind.
inline vhi LaneIndexH() {
  vhi v;
  for (int j = 0; j < kD; ++j) v[j] = j;
  return v;
}

// The first m lanes (0 < m <= kD) of the weights at w stepped by Single(p)
// as in SingleStep; a lane it cannot step keeps its weight and is marked in
// bad. Lanes from m on are neither read, written nor marked. Returns whether
// a lane was marked.
#if KYT_VBYTES == 64
// In AVX-512's own masks: the tests of ProductBad and of the sum's
// finiteness, and a store of the lanes that pass. (GCC 12's conversion
// intrinsic warns as in Widen above.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
inline bool StepLanes(float* w, vd p, uint8_t* bad, int m) {
  const __m512d pd = (__m512d)p;
  const __m512i bits = _mm512_castpd_si512(pd);
  const __mmask8 lanes = __mmask8(m >= kD ? 0xFFu : (1u << m) - 1);
  __mmask8 b = _mm512_cmpeq_epi64_mask(_mm512_and_si512(bits, _mm512_set1_epi64(0x1FFFFFFF)),
                                       _mm512_set1_epi64(0x10000000));
  const __m512d a = _mm512_abs_pd(pd);
  b |= _mm512_mask_cmp_pd_mask(_mm512_cmp_pd_mask(pd, _mm512_setzero_pd(), _CMP_NEQ_UQ), a,
                               _mm512_set1_pd(0x1p-126), _CMP_LT_OQ);
  b |= _mm512_cmp_pd_mask(a, _mm512_set1_pd(FLT_MAX), _CMP_NLE_UQ);
  const __m256 sum = _mm256_add_ps(_mm256_maskz_loadu_ps(lanes, w), _mm512_cvtpd_ps(pd));
  b |= _mm256_fpclass_ps_mask(sum, 0x99);  // NaN or infinite
  b &= lanes;
  _mm256_mask_storeu_ps(w, __mmask8(lanes & ~b), sum);
  return MarkBad(b, bad);
}
#pragma GCC diagnostic pop
#else
inline bool StepLanes(float* w, vd p, uint8_t* bad, int m) {
  const vh old = m >= kD ? LoadH(w) : LoadPartH(w, m);
  vhi b;
  const vh sum = SingleStep(old, p, b);
  if (m < kD) b &= LaneIndexH() < m;
  if (m >= kD) {
    StoreH(w, b ? old : sum);
  } else {
    StorePartH(w, b ? old : sum, m);
  }
  return MarkBad(LaneBitsH(b), bad);
}
#endif

bool RowStep(float* w, const float* x, double rate, int32_t n, uint8_t* bad) {
  const vd r = SplatD(rate);
  bool found = false;
  int32_t j = 0;
  for (; j + kD <= n; j += kD) found |= StepLanes(w + j, r * WidenU(x + j), bad + j, kD);
  // The last elements as a part of a vector.
  if (j < n) found |= StepLanes(w + j, r * __builtin_convertvector(LoadPartH(x + j, n - j), vd), bad + j, n - j);
  return found;
}
#else
bool RowStep(float* w, const float* x, double rate, int32_t n, uint8_t* bad) {
  const vd r = SplatD(rate);
  const vd largest = SplatD(FLT_MAX);
  bool found = false;
  int32_t j = 0;
  for (; j + kD <= n; j += kD) {
    const vd p = r * WidenU(x + j);
    const vd old = WidenU(w + j);
    const vd sum = ToSingle(old + ToSingle(p));
    const vl b = ProductBad(p) | ~(Abs(sum) <= largest);
    NarrowU(w + j, b ? old : sum);
    found |= MarkBad(LaneBits(b), bad + j);
  }
  if (j < n && n >= kD) {
    // The last elements as one more vector that ends at n. Its first lanes
    // were stepped above (or marked and left alone): they are stored back as
    // they were read, and only the lanes from j on take their step.
    const int32_t k = n - kD;
    const vd p = r * WidenU(x + k);
    const vd old = WidenU(w + k);
    const vd sum = ToSingle(old + ToSingle(p));
    const vl fresh = LaneIndex() >= SplatL(j - k);
    const vl b = (ProductBad(p) | ~(Abs(sum) <= largest)) & fresh;
    NarrowU(w + k, (b | ~fresh) ? old : sum);
    found |= MarkBad(LaneBits(b), bad + k);
    j = n;
  }
  for (; j < n; ++j) {
    if (ScalarStep(w[j], rate * double(x[j]))) bad[j] = 1, found = true;
  }
  return found;
}
#endif

bool ColumnStep(float* w, double* wide, const double* rates, double x, int32_t n, uint8_t* bad) {
  const vd xv = SplatD(x);
  const vd largest = SplatD(FLT_MAX);
  bool found = false;
#if KYT_VBYTES >= 32
  if (!wide) {
    // The Singles alone, stepped as Singles (as in RowStep).
    for (int32_t j = 0; j < n; j += kD) found |= StepLanes(w + j, *reinterpret_cast<const vd*>(rates + j) * xv, bad + j, kD);
    return found;
  }
#endif
  for (int32_t j = 0; j < n; j += kD) {
    const vd p = *reinterpret_cast<const vd*>(rates + j) * xv;
    // Either copy holds the weights; the doubles when both are kept.
    const vd old = wide ? *reinterpret_cast<const vd*>(wide + j) : Widen(w + j);
    const vd sum = ToSingle(old + ToSingle(p));
    const vl b = ProductBad(p) | ~(Abs(sum) <= largest);
    const vd out = b ? old : sum;
    if (wide) *reinterpret_cast<vd*>(wide + j) = out;
    if (w) Narrow(w + j, out);
    found |= MarkBad(LaneBits(b), bad + j);
  }
  return found;
}

// With inputs of +-1 the change is +-Single(rate), the rate rounded once
// (it is exact in both precisions), and the step a sum of two Singles (1).
void RowSignStep(float* w, float change, const uint32_t* signs, int32_t n) {
  const vi c = SplatI(int32_t(std::bit_cast<uint32_t>(change)));
  int32_t j = 0;
  for (; j + kF <= n; j += kF) {
    vf v, sign;
    __builtin_memcpy(&v, w + j, sizeof v);
    __builtin_memcpy(&sign, signs + j, sizeof sign);
    v += (vf)(c ^ (vi)sign);
    __builtin_memcpy(w + j, &v, sizeof v);
  }
  for (; j < n; ++j) w[j] = w[j] + std::bit_cast<float>(std::bit_cast<uint32_t>(change) ^ signs[j]);
}

void ColumnSignStep(float* w, const float* changes, uint32_t sign, int32_t n) {
  const vi s = SplatI(int32_t(sign));
  for (int32_t j = 0; j < n; j += kF)
    *reinterpret_cast<vf*>(w + j) += (vf)(*reinterpret_cast<const vi*>(changes + j) ^ s);
}

// NB vectors of columns side by side; the last one holds only its first
// `last` columns where last < kD (the others are not read or written).
template <int NB>
void BackBlock(const float* const* rows, const float* factors, int32_t count, int32_t column, float* sums,
               uint8_t* suspect, int last = kD) {
  const vl lowBits = SplatL(0x1FFFFFFF), half = SplatL(0x10000000);
  const vd tiny = SplatD(0x1p-126), zero = SplatD(0.0);
  vd s[NB];
  vl bad[NB];
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    s[k] = zero;
    bad[k] = SplatL(0);
  }
  for (int32_t r = 0; r < count; ++r) {
    const vd f = SplatD(double(factors[r]));
    const float* row = rows[r] + column;
#pragma GCC unroll 16
    for (int k = 0; k < NB; ++k) {
      vd x;
#if KYT_VBYTES >= 32
      if (k == NB - 1 && last < kD) {
        x = __builtin_convertvector(LoadPartH(row + k * kD, last), vd);
      } else {
        x = WidenU(row + k * kD);
      }
#else
      x = WidenU(row + k * kD);
#endif
      const vd d = f * x + s[k];
      bad[k] |= (((vl)d & lowBits) == half) | ((Abs(d) < tiny) & (d != zero));
      s[k] = ToSingle(d);
    }
  }
  const vd largest = SplatD(FLT_MAX);
#pragma GCC unroll 16
  for (int k = 0; k < NB; ++k) {
    bad[k] |= ~(Abs(s[k]) <= largest);
    if (k == NB - 1 && last < kD) {
      // Unaligned: not every compiler aligns the stack beyond 16 bytes.
      float part[kD];
      uint8_t marks[kD];
      NarrowU(part, s[k]);
      MarkLanes(bad[k], marks);
      for (int j = 0; j < last; ++j) sums[k * kD + j] = part[j], suspect[k * kD + j] = marks[j];
    } else {
      NarrowU(sums + k * kD, s[k]);
      MarkLanes(bad[k], suspect + k * kD);
    }
  }
}

template <int NB>
void BackTail(int rest, const float* const* rows, const float* factors, int32_t count, int32_t column, float* sums,
              uint8_t* suspect, int last) {
  if (rest == NB) {
    BackBlock<NB>(rows, factors, count, column, sums, suspect, last);
  } else if constexpr (NB > 1) {
    BackTail<NB - 1>(rest, rows, factors, count, column, sums, suspect, last);
  }
}

int32_t BackSums(const float* const* rows, const float* factors, int32_t count, int32_t n, float* sums,
                 uint8_t* suspect) {
  const int whole = int(n / kD), last = int(n % kD);
#if KYT_VBYTES >= 32
  // Columns past the last whole vector go with the last block, as a part of a vector.
  const int vectors = whole + (last > 0);
#else
  const int vectors = whole;
#endif
  int v = 0;
  for (; v + KYT_GENERAL_BLOCK <= whole; v += KYT_GENERAL_BLOCK)
    BackBlock<KYT_GENERAL_BLOCK>(rows, factors, count, v * kD, sums + v * kD, suspect + v * kD);
  if (v < vectors)
    BackTail<KYT_GENERAL_BLOCK>(vectors - v, rows, factors, count, v * kD, sums + v * kD, suspect + v * kD,
                                vectors == whole ? kD : last);
#if KYT_VBYTES < 32
  if (whole > 0 && last > 0) {
    // The columns past the last whole vector: one more vector that ends at
    // column n. Its first columns are summed a second time, by the same
    // steps in the same order, and come out as they did.
    BackBlock<1>(rows, factors, count, n - kD, sums + (n - kD), suspect + (n - kD));
  } else if (last > 0) {
    return 0;
  }
#endif
  return n;
}

}  // namespace

extern const KernelTable kTable;
#if defined(KYT_SINGLE_FMA)
const KernelTable kTable = {SignSums, SingleSums, Activate, RowStep, ColumnStep, BackSums, RowSignStep, ColumnSignStep,
                            true};
#else
const KernelTable kTable = {SignSums, GeneralSums, Activate, RowStep, ColumnStep, BackSums, RowSignStep, ColumnSignStep,
                            false};
#endif

}  // namespace kyt::kernels::KYT_LEVEL_NS
