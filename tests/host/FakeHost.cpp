#include "FakeHost.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "host/PlugInUtils.h"
#include "platform/Platform.h"

namespace kyt::test {

namespace {

FakeHost* g_current = nullptr;

// Puts a new host string into `slot`, releasing what was there (the host's side
// of the host-string rules).
void Answer(char** slot, const std::string& text) {
  if (*slot) Platform().FreeHostString(*slot);
  *slot = NewHostString(text);
}

// --- The embedded-file stream, laid out as a COM IStream. ---

struct FakeStream {
  ComStream com;
  std::vector<uint8_t> bytes;
  size_t position = 0;
  uint32_t references = 1;
  bool failReads = false;
};

FakeStream* Self(ComStream* s) { return reinterpret_cast<FakeStream*>(s); }

int32_t KYT_COM StreamQueryInterface(ComStream*, const void*, void** object) {
  if (object) *object = nullptr;
  return int32_t(0x80004002u);  // E_NOINTERFACE
}
uint32_t KYT_COM StreamAddRef(ComStream* s) { return ++Self(s)->references; }
uint32_t KYT_COM StreamRelease(ComStream* s) {
  FakeStream* self = Self(s);
  const uint32_t left = --self->references;
  if (left == 0) {
    delete self;
    if (g_current) --g_current->liveStreams;
  }
  return left;
}
int32_t KYT_COM StreamRead(ComStream* s, void* buffer, uint32_t count, uint32_t* read) {
  FakeStream* self = Self(s);
  if (self->failReads) return int32_t(0x80030005u);  // STG_E_ACCESSDENIED
  const size_t left = self->bytes.size() - std::min(self->position, self->bytes.size());
  const size_t n = std::min<size_t>(count, left);
  if (n) std::memcpy(buffer, self->bytes.data() + self->position, n);
  self->position += n;
  if (read) *read = uint32_t(n);
  return 0;
}
int32_t KYT_COM StreamWrite(ComStream*, const void*, uint32_t, uint32_t* written) {
  if (written) *written = 0;
  return int32_t(0x80030005u);
}
int32_t KYT_COM StreamSeek(ComStream* s, int64_t move, uint32_t origin, uint64_t* newPosition) {
  FakeStream* self = Self(s);
  int64_t base = origin == 0 ? 0 : origin == 1 ? int64_t(self->position) : int64_t(self->bytes.size());
  if (base + move < 0) return int32_t(0x80030019u);  // STG_E_INVALIDFUNCTION
  self->position = size_t(base + move);
  if (newPosition) *newPosition = self->position;
  return 0;
}

const ComStreamVtbl kStreamVtbl = {StreamQueryInterface, StreamAddRef, StreamRelease,
                                   StreamRead,           StreamWrite,  StreamSeek};

// --- The host's callbacks. ---

void NB_REGISTER HostAddAction(int32_t number, const char* name, const char* description, uint8_t count,
                               int32_t highIndex, const uint8_t* typeCodes) {
  FakeHost* host = g_current;
  if (!host) return;
  RegisteredAction a;
  a.Number = number;
  a.Name = name ? name : "";
  a.DescriptionNull = description == nullptr;
  a.Description = description ? description : "";
  a.HighIndex = highIndex;
  a.Count = count;
  if (typeCodes && highIndex >= 0) a.TypeCodes.assign(typeCodes, typeCodes + highIndex + 1);
  host->actions.push_back(a);
}

void NB_REGISTER HostAddFile() {}

void NB_REGISTER HostGetVariable(const char* name, char** value) {
  FakeHost* host = g_current;
  if (!host || !value) return;
  const std::string key = name ? name : "";
  host->getLog.push_back(key);
  auto it = host->variables.find(key);
  if (it != host->variables.end()) Answer(value, it->second);
}

void NB_REGISTER HostSetVariable(const char* name, const char* value) {
  FakeHost* host = g_current;
  if (!host) return;
  const std::string key = name ? name : "";
  const std::string text = value ? value : "";
  host->setLog.emplace_back(key, text);
  host->variables[key] = text;
}

uint8_t NB_REGISTER HostInterfaceAccess(int32_t request, char** data) {
  FakeHost* host = g_current;
  if (!host || !data) return 0;
  InterfaceRequest r;
  r.Request = request;
  if (*data) r.Data = std::string(*data);
  host->requests.push_back(r);
  switch (request) {
    case 6:
      if (!host->answerRequest6) return 0;
      Answer(data, "1");
      return 1;
    case 7: {
      const std::string name = *data ? *data : "";
      if (auto raw = host->rawAnswers7.find(name); raw != host->rawAnswers7.end()) {
        Answer(data, raw->second);
      } else if (auto obj = host->objects.find(name); obj != host->objects.end()) {
        Answer(data, std::to_string(obj->second));
      } else {
        Answer(data, "0");
      }
      return 1;
    }
    case 8:
    case 13:
    case 14: {
      if (auto no = host->declinedAnswers.find(request); no != host->declinedAnswers.end()) {
        Answer(data, no->second);  // a new buffer, and still no
        return 0;
      }
      auto it = host->pickerAnswers.find(request);
      if (it == host->pickerAnswers.end()) return 0;
      Answer(data, it->second);
      return 1;
    }
    default:
      return 0;
  }
}

uint8_t NB_REGISTER HostStreamAccess(const char* name, ComStream** stream) {
  FakeHost* host = g_current;
  if (!host || !stream) return 0;
  const std::string key = name ? name : "";
  host->streamRequests.push_back(key);
  auto it = host->embedded.find(key);
  if (it == host->embedded.end()) return 0;
  auto* s = new FakeStream;
  s->com.lpVtbl = &kStreamVtbl;
  s->bytes = it->second;
  s->failReads = host->failStreamReads;
  ++host->liveStreams;
  *stream = &s->com;
  return 1;
}

template <typename F>
void* Proc(F f) {
  return reinterpret_cast<void*>(f);
}

}  // namespace

FakeHost* FakeHost::Current() { return g_current; }

FakeHost::FakeHost() {
  char pattern[] = "/tmp/kyt-host-XXXXXX";
  const char* made = mkdtemp(pattern);
  folder_ = made ? made : "/tmp";
  platform.SetModulePath(folder_ + "/kytDCR.nbp");
  SetPlatform(&platform);
  g_current = this;
}

FakeHost::~FakeHost() {
  nbMessage(2);
  EXPECT_EQ(DcrWindowsLeft(), 0) << "DCR windows outlived nbMessage(2)";
  EXPECT_EQ(platform.LiveHostStrings, 0) << "host strings leaked";
  EXPECT_EQ(liveStreams, 0) << "embedded-file streams not released";
  g_current = nullptr;
  SetPlatform(nullptr);
  std::error_code ec;
  if (folder_.rfind("/tmp/kyt-host-", 0) == 0) std::filesystem::remove_all(folder_, ec);
}

int32_t FakeHost::DcrWindowsLeft() const { return int32_t(platform.Peers().size()); }

void FakeHost::Register(bool interfaceAccess, bool streamAccess) {
  nbRegisterPlugIn(Proc(&HostAddAction), Proc(&HostAddFile), Proc(&HostGetVariable), Proc(&HostSetVariable));
  nbRegisterInterfaceAccess(interfaceAccess ? Proc(&HostInterfaceAccess) : nullptr);
  nbRegisterStreamAccess(streamAccess ? Proc(&HostStreamAccess) : nullptr);
}

uint32_t FakeHost::AddObject(const std::string& name, int32_t width, int32_t height) {
  const uint32_t handle = nextHandle_++;
  objects[name] = handle;
  platform.DefineWindow(handle, width, height);
  return handle;
}

void FakeHost::ResizeObject(const std::string& name, int32_t width, int32_t height) {
  platform.DefineWindow(objects.at(name), width, height);
}

void FakeHost::DeleteObject(const std::string& name) {
  auto it = objects.find(name);
  if (it == objects.end()) return;
  platform.RemoveWindow(it->second);
  objects.erase(it);
}

bool FakeHost::Exec(int32_t action, const std::vector<std::optional<std::string>>& params) {
  Slots slots(params);
  return nbExecAction(action, slots.Data(), slots.HighIndex()) != 0;
}

bool FakeHost::Exec(int32_t action, const std::vector<std::optional<std::string>>& params, int32_t highIndex) {
  Slots slots(params);
  return nbExecAction(action, slots.Data(), highIndex) != 0;
}

std::optional<std::string> FakeHost::Var(const std::string& name) const {
  auto it = variables.find(name);
  if (it == variables.end()) return std::nullopt;
  return it->second;
}

std::string FakeHost::IniPath() const { return folder_ + "/kytDCR.ini"; }

void FakeHost::WriteIni(const std::string& text) const {
  std::ofstream out(IniPath(), std::ios::binary);
  out << text;
}

Slots::Slots(const std::vector<std::optional<std::string>>& texts) {
  for (const auto& t : texts) slots_.push_back(t ? NewHostString(*t) : nullptr);
  if (slots_.empty()) slots_.push_back(nullptr);  // the host's array always has an element to point at
}

Slots::~Slots() {
  for (char*& s : slots_) FreeHostString(&s);
}

std::optional<std::string> Slots::Text(size_t i) const {
  if (!slots_[i]) return std::nullopt;
  return std::string(slots_[i]);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace kyt::test
