#include "tests/glue/HostSide.h"

#include <cstring>

#include "platform/Platform.h"
#include "tests/glue/TestPlatform.h"

namespace glue {

namespace {

const void* const kStreamVtbl[] = {
    reinterpret_cast<const void*>(stream_query_interface), reinterpret_cast<const void*>(stream_add_ref),
    reinterpret_cast<const void*>(stream_release),         reinterpret_cast<const void*>(stream_read),
    reinterpret_cast<const void*>(stream_write),           reinterpret_cast<const void*>(stream_seek),
    reinterpret_cast<const void*>(stream_set_size),        reinterpret_cast<const void*>(stream_copy_to),
    reinterpret_cast<const void*>(stream_commit),          reinterpret_cast<const void*>(stream_revert),
    reinterpret_cast<const void*>(stream_lock_region),     reinterpret_cast<const void*>(stream_unlock_region),
    reinterpret_cast<const void*>(stream_stat),            reinterpret_cast<const void*>(stream_clone),
};

constexpr uint32_t kOk = 0;
constexpr uint32_t kNoInterface = 0x80004002;
constexpr uint32_t kNotImplemented = 0x80004001;

template <typename T>
T* Ptr(uint32_t v) {
  return reinterpret_cast<T*>(uintptr_t(v));
}

std::string Text(uint32_t p) { return p ? std::string(Ptr<const char>(p)) : std::string(); }

void ReplaceAnswer(char** slot, const char* answer) {
  // The host releases what the plug-in handed in and answers with its own block.
  if (*slot) kyt::Platform().FreeHostString(*slot);
  *slot = answer ? HostAlloc(answer) : nullptr;
}

uint32_t StreamMethod(const CallbackRecord& r) {
  auto* stream = Ptr<FakeStream>(r.stack[0]);
  switch (r.id) {
    case kCbQueryInterface:
      return kNoInterface;
    case kCbAddRef:
      return uint32_t(++stream->refs);
    case kCbRelease:
      return uint32_t(--stream->refs);
    case kCbRead: {
      const size_t want = r.stack[2];
      const size_t n = std::min(want, stream->content.size() - std::min(stream->position, stream->content.size()));
      if (n) std::memcpy(Ptr<uint8_t>(r.stack[1]), stream->content.data() + stream->position, n);
      stream->position += n;
      if (r.stack[3]) *Ptr<uint32_t>(r.stack[3]) = uint32_t(n);
      return kOk;
    }
    case kCbSeek: {
      const int64_t move = int64_t(uint64_t(r.stack[1]) | (uint64_t(r.stack[2]) << 32));
      if (r.stack[3] == 0) stream->position = size_t(move);
      if (r.stack[4]) *Ptr<uint64_t>(r.stack[4]) = stream->position;
      return kOk;
    }
    default:
      return kNotImplemented;
  }
}

}  // namespace

HostLog& Received() {
  static HostLog log;
  return log;
}

FakeStream& KnowledgeStream() {
  static FakeStream s{kStreamVtbl, 0, 0, {}};
  return s;
}

FakeStream& RefusedStream() {
  static FakeStream s{kStreamVtbl, 0, 0, {}};
  return s;
}

std::vector<CallbackRecord> RecordsOf(uint32_t id) {
  std::vector<CallbackRecord> out;
  for (const auto& r : Received().records)
    if (r.id == id) out.push_back(r);
  return out;
}

}  // namespace glue

using namespace glue;

extern "C" uint32_t host_callback(CallbackRecord* record) {
  const CallbackRecord& r = *record;
  HostLog& log = Received();
  log.records.push_back(r);
  switch (r.id) {
    case kCbAddAction: {
      // EAX number, EDX name, ECX description; [ESP+4] count, [ESP+8] highest index, [ESP+12] codes.
      AddActionReceipt a;
      a.number = r.eax;
      a.name = Text(r.edx);
      a.descriptionNull = r.ecx == 0;
      a.description = Text(r.ecx);
      a.count = uint8_t(r.stack[0]);
      a.highIndex = r.stack[1];
      if (r.stack[2] && a.highIndex < 256) {
        const uint8_t* codes = Ptr<const uint8_t>(r.stack[2]);
        a.codes.assign(codes, codes + a.highIndex + 1);
      }
      log.actions.push_back(a);
      return 0xBAD0BAD0;  // no result is read
    }
    case kCbGetVariable: {
      auto** slot = Ptr<char*>(r.edx);
      log.gets.push_back(Text(r.eax));
      if (*slot) ++log.getSlotsNotNull;
      if (Text(r.eax) == "[Answer]") *slot = HostAlloc("42 answers");
      return 0xBAD0BAD1;
    }
    case kCbSetVariable:
      log.sets.emplace_back(Text(r.eax), Text(r.edx));
      return 0xBAD0BAD2;
    case kCbInterfaceAccess: {
      auto** data = Ptr<char*>(r.edx);
      const int32_t code = int32_t(r.eax);
      log.requests.push_back({code, *data == nullptr, *data ? std::string(*data) : std::string(),
                              *data && LiveHostStrings().count(*data) != 0});
      if (code == 6) {
        ReplaceAnswer(data, "yes");
        return 0xFFFFFF01;  // true: only AL counts
      }
      if (code == 7) {
        ReplaceAnswer(data, "123456");
        return 0x12345600;  // false, although EAX is not zero
      }
      return 0;
    }
    case kCbStreamAccess: {
      auto** out = Ptr<FakeStream*>(r.edx);
      const std::string name = Text(r.eax);
      log.streamNames.push_back(name);
      if (name == "embedded:\\\\\\kb.dcr") {
        FakeStream& s = KnowledgeStream();
        s.refs = 1;
        s.position = 0;
        *out = &s;
        return 0x7F000001;
      }
      if (name == "refused") {
        FakeStream& s = RefusedStream();
        s.refs = 1;
        *out = &s;
        return 0x7F000100;  // false in AL, with a stream all the same
      }
      *out = nullptr;
      return name == "no stream" ? 1 : 0;
    }
    case kCbAddFile:
    case kCbScriptProcessor:
      return 0;
    default:
      return StreamMethod(r);
  }
}
