#pragma once
// The host's answers to the callbacks of HostAsm.S, and what arrived.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/glue/HostAsm.h"

namespace glue {

// A fake COM stream: its vtable holds the stdcall thunks of HostAsm.S.
struct FakeStream {
  const void* const* lpVtbl;
  int refs = 0;
  size_t position = 0;
  std::vector<uint8_t> content;
};

struct AddActionReceipt {
  uint32_t number;
  std::string name, description;
  bool descriptionNull;
  std::vector<uint8_t> codes;
  uint32_t highIndex;
  uint8_t count;
};

struct HostLog {
  std::vector<CallbackRecord> records;  // every callback, as it arrived
  std::vector<AddActionReceipt> actions;
  std::vector<std::pair<std::string, std::string>> sets;  // HostSetVariable
  std::vector<std::string> gets;                           // HostGetVariable names
  int getSlotsNotNull = 0;
  struct RequestReceipt {
    int32_t code;
    bool dataNull;
    std::string data;
    bool dataWasHostBlock;
  };
  std::vector<RequestReceipt> requests;
  std::vector<std::string> streamNames;
};

HostLog& Received();
FakeStream& KnowledgeStream();  // handed over for the embedded knowledge base
FakeStream& RefusedStream();    // handed over together with a false result

// Records of one callback id.
std::vector<CallbackRecord> RecordsOf(uint32_t id);

}  // namespace glue
