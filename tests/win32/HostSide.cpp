#include "tests/win32/HostSide.h"

#include <objidl.h>
#include <shlwapi.h>

#include <cstring>

namespace kyt::testhost {

HostSide& Host() {
  static HostSide host;
  return host;
}

char* HostString(const std::string& text) {
  char* block = static_cast<char*>(GlobalAlloc(GMEM_FIXED, text.size() + 1));
  std::memcpy(block, text.c_str(), text.size() + 1);
  return block;
}

bool IsFixedGlobalBlock(const void* p, size_t bytes) {
  if (!p) return false;
  // A fixed block's handle is its address; GlobalSize tells its size.
  HGLOBAL handle = GlobalHandle(p);
  return handle == p && GlobalSize(handle) >= bytes;
}

namespace {

std::string Text(const char* p) { return p ? std::string(p) : std::string(); }

// Replaces the text in a host-string slot: the old block goes back with GlobalFree.
void Answer(char** slot, const std::optional<std::string>& answer) {
  if (*slot) GlobalFree(*slot);
  *slot = answer ? HostString(*answer) : nullptr;
}

void NB_REGISTER AddAction(int32_t number, const char* name, const char* description, uint8_t count,
                           int32_t highIndex, const uint8_t* typeCodes) {
  AddedAction a;
  a.number = number;
  a.name = Text(name);
  a.description = Text(description);
  if (typeCodes && highIndex >= 0 && highIndex < 256) a.typeCodes.assign(typeCodes, typeCodes + highIndex + 1);
  a.count = count;
  Host().actions.push_back(a);
}

void NB_REGISTER GetVariable(const char* name, char** value) {
  HostSide& host = Host();
  auto it = host.variables.find(Text(name));
  // The plug-in hands in an empty slot.
  if (*value) ++host.getSlotsNotEmpty;
  *value = it == host.variables.end() ? nullptr : HostString(it->second);
}

void NB_REGISTER SetVariable(const char* name, const char* value) { Host().variables[Text(name)] = Text(value); }

uint8_t NB_REGISTER InterfaceAccess(int32_t request, char** data) {
  HostSide& host = Host();
  Request r;
  r.code = request;
  if (*data) r.data = std::string(*data);
  host.requests.push_back(r);
  switch (request) {
    case 6:
      Answer(data, host.answerRequest6 ? std::optional<std::string>("1") : std::nullopt);
      return host.answerRequest6;
    case 7: {
      auto it = r.data ? host.objects.find(*r.data) : host.objects.end();
      const uint32_t handle = it == host.objects.end() ? 0 : uint32_t(reinterpret_cast<uintptr_t>(it->second));
      Answer(data, std::to_string(handle));
      return handle != 0;
    }
    case 8:
    case 13:
    case 14: {
      const std::optional<std::string>& picked =
          request == 8 ? host.pickedObject : request == 13 ? host.pickedEmbedded : host.pickedVariable;
      Answer(data, picked);
      if (*data) host.answerBlocks.push_back(*data);
      return picked.has_value() && !host.declinePickers;
    }
    default:
      return 0;
  }
}

uint8_t NB_REGISTER StreamAccess(const char* name, ComStream** stream) {
  HostSide& host = Host();
  host.streamNames.push_back(Text(name));
  auto it = host.embedded.find(Text(name));
  if (it == host.embedded.end()) return 0;
  IStream* s = SHCreateMemStream(it->second.data(), UINT(it->second.size()));
  if (!s) return 0;
  s->AddRef();  // the host's own reference; the plug-in gets the other
  host.streams.push_back(s);
  *stream = reinterpret_cast<ComStream*>(s);
  return 1;
}

}  // namespace

const HostAddActionProc kAddAction = AddAction;
const HostGetVariableProc kGetVariable = GetVariable;
const HostSetVariableProc kSetVariable = SetVariable;
const HostInterfaceAccessFunc kInterfaceAccess = InterfaceAccess;
const HostStreamAccessFunc kStreamAccess = StreamAccess;

}  // namespace kyt::testhost
