#pragma once
// The host side of the Windows test host: host variables, object windows,
// the interface requests and embedded files, behind the callbacks that the
// plug-in receives, each recording what arrived.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/HostCallConv.h"

namespace kyt::testhost {

struct AddedAction {
  int32_t number = 0;
  std::string name;
  std::string description;
  std::vector<uint8_t> typeCodes;  // highest index + 1 bytes
  int count = 0;
};

struct Request {
  int32_t code = 0;
  std::optional<std::string> data;  // what the plug-in handed in
};

struct HostSide {
  std::vector<AddedAction> actions;
  std::map<std::string, std::string> variables;  // names with brackets
  std::map<std::string, HWND> objects;           // publication objects and their windows
  std::map<std::string, std::vector<uint8_t>> embedded;  // embedded files by their full source name
  std::vector<Request> requests;
  std::vector<std::string> streamNames;
  int getSlotsNotEmpty = 0;  // HostGetVariable calls whose value slot was not null on entry
  bool answerRequest6 = true;
  // Picker answers (requests 8, 13, 14); nullopt: the author cancelled.
  std::optional<std::string> pickedObject, pickedEmbedded, pickedVariable;
  // Answer into the buffer, and still say no.
  bool declinePickers = false;
  std::vector<void*> answerBlocks;  // the blocks the pickers' answers were handed back in
  // Streams handed to the plug-in whose reference the host still holds, to
  // see whether the plug-in released its own.
  std::vector<IStream*> streams;

  std::string Variable(const std::string& name) const {
    auto it = variables.find(name);
    return it == variables.end() ? std::string() : it->second;
  }
  bool HasVariable(const std::string& name) const { return variables.count(name) != 0; }
};

HostSide& Host();

// The callbacks, as the plug-in's convention wants them.
extern const HostAddActionProc kAddAction;
extern const HostGetVariableProc kGetVariable;
extern const HostSetVariableProc kSetVariable;
extern const HostInterfaceAccessFunc kInterfaceAccess;
extern const HostStreamAccessFunc kStreamAccess;

// A GlobalAlloc(GMEM_FIXED) copy, as host strings are.
char* HostString(const std::string& text);
// True when `p` is the start of a fixed global memory block of at least `bytes` bytes.
bool IsFixedGlobalBlock(const void* p, size_t bytes);

}  // namespace kyt::testhost
