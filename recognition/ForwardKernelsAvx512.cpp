// The forward-pass kernels for AVX-512 (F, DQ, BW, VL) with FMA: 16 Singles or
// 8 doubles per register, 32 registers.
#define KYT_LEVEL_NS avx512
#define KYT_VBYTES 64
#define KYT_SIGN_BLOCK 4
#define KYT_GENERAL_BLOCK 8
#define KYT_SINGLE_FMA  // general sums as Single multiply-adds
#define KYT_SINGLE_BLOCK 8  // Single vectors summed side by side by them
#include "recognition/ForwardKernelsImpl.h"
