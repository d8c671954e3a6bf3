#pragma once
// The generic command interface for script hosts: the command list in its two
// text forms, and running a command by number with its parameters as texts.
#include <cstdint>
#include <string>

namespace kyt {

class IHost;

// "LISP" (any letter case, nothing else) gives the list form, anything else the line form.
std::string CommandListText(const std::string& format);
// Copies the list and its terminating zero into `destination` and returns 1.
// A null destination receives nothing and gives 0; a null format is the line form.
int32_t CommandList(const char* format, char* destination);
// Runs command 1 to 5 as the host's action of that number. A command text that
// is not a number, or any other number, gives false and does nothing else.
bool ExecCommand(IHost& host, const char* command, const char* const params[5]);

}  // namespace kyt
