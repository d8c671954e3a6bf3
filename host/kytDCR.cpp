// The library's entry points: registration, initialisation, messages, action
// execution and the script commands (editing and About: editor/EntryPoints.cpp).
// Every one of them catches everything; the host never sees an error.
#include "host/kytDCR.h"

#include <algorithm>
#include <string>

#include "core/Guard.h"
#include "host/ActionTable.h"
#include "host/Actions.h"
#include "host/DcrRegistry.h"
#include "host/HostInterface.h"
#include "host/PlugInUtils.h"
#include "host/ScriptCommands.h"
#include "platform/Platform.h"

namespace kyt::plugin {

namespace {

IHost* g_host = nullptr;

constexpr int32_t kMessagePublishPath = 1;
constexpr int32_t kMessageDestroyWindows = 2;
constexpr const char kDllNameVariable[] = "[*/*kytDCRDllName]";

}  // namespace

void SetHost(IHost* host) { g_host = host; }
IHost* Host() { return g_host; }

void RegisterPlugIn() {
  Guard([] {
    FillActionTable();
    if (g_host) RegisterActionTable(*g_host);
    return 0;
  }, 0);
}

void InitPlugIn(char** title, char** publisher, char** hint) {
  Guard([&] {
    SetHostString(title, kPlugInTitle);
    SetHostString(publisher, kPlugInPublisher);
    SetHostString(hint, PlugInHint());
    return 0;
  }, 0);
}

void Message(int32_t code) {
  Guard([&] {
    if (code == kMessagePublishPath) {
      if (g_host) g_host->SetVariable(kDllNameVariable, Platform().ModulePath());
    } else if (code == kMessageDestroyWindows) {
      DestroyDcrWindows();
    }
    return 0;
  }, 0);
}

bool ExecAction(int32_t action, char* const* params, int32_t highIndex) {
  return Guard([&] {
    if (!g_host || !IsActionNumber(action)) return false;
    // Only the action's own slots, and only those the host passed.
    const int32_t last = std::min(ActionAt(action).ParamCount - 1, highIndex);
    std::string texts[5];
    for (int32_t i = 0; params && i <= last && i < 5; ++i) texts[i] = HostText(params[i]);
    return RunAction(*g_host, action, texts);
  }, false);
}

int32_t CmdList(const char* format, char* destination) {
  return Guard([&] { return CommandList(format, destination); }, int32_t(0));
}

bool Exec(const char* command, const char* const params[5]) {
  return Guard([&] { return g_host ? ExecCommand(*g_host, command, params) : false; }, false);
}

}  // namespace kyt::plugin
