#pragma once
// A host for the tests: raw C callbacks handed to the plug-in's real exported
// entry points, host variables, object windows with client areas (declared to
// an installed HeadlessPlatform), answers to the interface requests, embedded
// files served as COM streams, and a record of everything the plug-in did.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "host/ComStream.h"
#include "host/HostCallConv.h"
#include "platform/headless/HeadlessPlatform.h"

// The library's exports (host/Exports.cpp).
extern "C" {
void NB_REGISTER nbRegisterPlugIn(void* addAction, void* addFile, void* getVariable, void* setVariable);
void NB_REGISTER nbInitPlugIn(uint32_t hostWindow, char** title, char** publisher, char** hint);
void NB_REGISTER nbMessage(int32_t code);
void NB_REGISTER nbRegisterScriptProcessor(void* processor);
void NB_REGISTER nbRegisterInterfaceAccess(void* access);
void NB_REGISTER nbRegisterStreamAccess(void* access);
uint8_t NB_REGISTER nbExecAction(int32_t action, char** params, int32_t highIndex);
uint8_t NB_REGISTER nbEditAction(int32_t action, char** params, int32_t highIndex);
void NB_REGISTER nbAbout();
int32_t NB_STDCALL kytDCRCmdList(const char* reserved, const char* format, char* destination);
uint8_t NB_STDCALL kytDCRExec(const char* reserved, const char* command, const char* p1, const char* p2,
                              const char* p3, const char* p4, const char* p5, const char* r1, const char* r2,
                              const char* r3, const char* r4, const char* r5);
}

namespace kyt::test {

struct RegisteredAction {
  int32_t Number = 0;
  std::string Name;
  std::string Description;
  bool DescriptionNull = false;
  std::vector<uint8_t> TypeCodes;  // highIndex + 1 bytes as handed over
  int32_t HighIndex = 0;
  uint8_t Count = 0;
};

struct InterfaceRequest {
  int32_t Request = 0;
  std::optional<std::string> Data;  // as handed in
};

class FakeHost {
 public:
  // Installs its own HeadlessPlatform (module path in a fresh temporary folder)
  // and becomes the host the callbacks talk to.
  FakeHost();
  // Destroys every DCR window (nbMessage(2)), checks that no host string and no
  // stream was leaked, and removes its platform and folder.
  ~FakeHost();
  FakeHost(const FakeHost&) = delete;
  FakeHost& operator=(const FakeHost&) = delete;

  // nbRegisterPlugIn, then the interface and stream access (null when off).
  void Register(bool interfaceAccess = true, bool streamAccess = true);

  // A host object with a window of the given client size; returns its handle.
  uint32_t AddObject(const std::string& name, int32_t width, int32_t height);
  void ResizeObject(const std::string& name, int32_t width, int32_t height);
  void DeleteObject(const std::string& name);

  // nbExecAction / nbEditAction with host-string slots (nullopt = null pointer).
  // The slots are released afterwards; EditSlots keeps them for inspection.
  bool Exec(int32_t action, const std::vector<std::optional<std::string>>& params);
  bool Exec(int32_t action, const std::vector<std::optional<std::string>>& params, int32_t highIndex);

  std::optional<std::string> Var(const std::string& name) const;
  void SetVar(const std::string& name, const std::string& value) { variables[name] = value; }
  std::string LastError() const { return Var("[LastError]").value_or(""); }

  // The folder of the module path; an INI file there is found by the plug-in.
  std::string Folder() const { return folder_; }
  std::string IniPath() const;
  void WriteIni(const std::string& text) const;

  kyt::HeadlessPlatform platform;

  std::map<std::string, std::string> variables;
  std::vector<std::pair<std::string, std::string>> setLog;  // every HostSetVariable
  std::vector<std::string> getLog;                          // every HostGetVariable
  std::vector<RegisteredAction> actions;                    // every HostAddAction

  // Interface requests.
  bool answerRequest6 = true;
  std::map<std::string, uint32_t> objects;          // host object name -> window handle
  std::map<std::string, std::string> rawAnswers7;   // overrides the answer to request 7
  std::map<int32_t, std::string> pickerAnswers;     // answers to 8, 13 and 14
  std::map<int32_t, std::string> declinedAnswers;   // put into the buffer, then false
  std::vector<InterfaceRequest> requests;

  // Embedded files.
  std::map<std::string, std::vector<uint8_t>> embedded;
  bool failStreamReads = false;
  std::vector<std::string> streamRequests;
  int32_t liveStreams = 0;

  static FakeHost* Current();
  // DCR windows whose system window (peer) still exists.
  int32_t DcrWindowsLeft() const;

 private:
  std::string folder_;
  uint32_t nextHandle_ = 0x2000;
};

// Host-string slots for nbExecAction and nbEditAction, allocated with the
// platform's host-string allocator so that the plug-in may replace them.
class Slots {
 public:
  explicit Slots(const std::vector<std::optional<std::string>>& texts);
  ~Slots();
  Slots(const Slots&) = delete;
  Slots& operator=(const Slots&) = delete;
  char** Data() { return slots_.data(); }
  int32_t HighIndex() const { return int32_t(slots_.size()) - 1; }
  char* operator[](size_t i) const { return slots_[i]; }
  std::optional<std::string> Text(size_t i) const;

 private:
  std::vector<char*> slots_;
};

// A whole file's bytes.
std::vector<uint8_t> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace kyt::test
