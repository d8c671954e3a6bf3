// The forward-pass kernels for AVX-512 (F, DQ, BW, VL) with FMA: 16 Singles or
// 8 doubles per register, 32 registers.
#define KYT_LEVEL_NS avx512
#define KYT_VBYTES 64
#define KYT_SIGN_BLOCK 4
#define KYT_GENERAL_BLOCK 8
#include "recognition/ForwardKernelsImpl.h"
