#pragma once
// The plug-in's entry points, free of any calling convention. The glue in
// host/Exports.cpp exports them with the host's convention; every function
// here catches everything: no error ever leaves it.
#include <cstdint>

namespace kyt {

class IHost;

namespace plugin {

// The glue hands over the host (whose callbacks it keeps) before each call.
void SetHost(IHost* host);
IHost* Host();

void RegisterPlugIn();
void InitPlugIn(char** title, char** publisher, char** hint);
void Message(int32_t code);
// params[0..highIndex]; slots past highIndex read as empty texts.
bool ExecAction(int32_t action, char* const* params, int32_t highIndex);
// Editing and About are the editor's (editor/EntryPoints.cpp).
bool EditAction(int32_t action, char** params, int32_t highIndex);
void About();
int32_t CmdList(const char* format, char* destination);
bool Exec(const char* command, const char* const params[5]);

}  // namespace plugin
}  // namespace kyt
