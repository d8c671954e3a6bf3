#pragma once
// The part of the COM IStream interface that the plug-in uses, laid out as COM
// lays it out, so that the glue needs no Windows headers. The host hands such a
// stream over for a knowledge base embedded in the publication.
#include <cstdint>

#if defined(__i386__)
#define KYT_COM __attribute__((stdcall))
#else
#define KYT_COM
#endif

namespace kyt {

struct ComStream;

struct ComStreamVtbl {
  int32_t(KYT_COM* QueryInterface)(ComStream* self, const void* iid, void** object);
  uint32_t(KYT_COM* AddRef)(ComStream* self);
  uint32_t(KYT_COM* Release)(ComStream* self);
  int32_t(KYT_COM* Read)(ComStream* self, void* buffer, uint32_t count, uint32_t* read);
  int32_t(KYT_COM* Write)(ComStream* self, const void* buffer, uint32_t count, uint32_t* written);
  int32_t(KYT_COM* Seek)(ComStream* self, int64_t move, uint32_t origin, uint64_t* newPosition);
  // SetSize, CopyTo, Commit, Revert, LockRegion, UnlockRegion, Stat and Clone follow; unused here.
};

struct ComStream {
  const ComStreamVtbl* lpVtbl;
};

constexpr uint32_t kStreamSeekSet = 0;

}  // namespace kyt
