// The forward-pass kernels for SSE2: 4 Singles or 2 doubles per register; 8
// registers on 32-bit x86, 16 on x86-64.
#define KYT_LEVEL_NS sse2
#define KYT_VBYTES 16
#if defined(__x86_64__)
#define KYT_SIGN_BLOCK 8
#define KYT_GENERAL_BLOCK 4
#else
#define KYT_SIGN_BLOCK 4
#define KYT_GENERAL_BLOCK 2
#endif
#include "recognition/ForwardKernelsImpl.h"
