// The forward-pass kernels for AVX2 with FMA: 8 Singles or 4 doubles per
// register, 16 registers.
#define KYT_LEVEL_NS avx2
#define KYT_VBYTES 32
#define KYT_SIGN_BLOCK 8
#define KYT_GENERAL_BLOCK 4
#define KYT_FAST_BLOCK 8  // the fast general sums: 8 chains hide the FMA and conversion latency
#define KYT_SINGLE_FMA  // general sums as Single multiply-adds
#define KYT_SINGLE_BLOCK 4  // Single vectors summed side by side by them
#include "recognition/ForwardKernelsImpl.h"
