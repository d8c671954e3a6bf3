#include "host/ScriptCommands.h"

#include <cstring>
#include <optional>

#include "core/AsciiCase.h"
#include "host/ActionTable.h"
#include "host/Actions.h"
#include "core/NumberSyntax.h"
#include "host/PlugInUtils.h"

namespace kyt {

std::string CommandListText(const std::string& format) {
  std::string text;
  if (AsciiUpper(format) == "LISP") {
    text = "(list ";
    for (int32_t number = 1; number <= kActionCount; ++number) {
      const ActionEntry& a = ActionAt(number);
      text += "(list \"" + a.Name + "\"  \"" + std::to_string(number) + "\" " + std::to_string(a.ParamCount) + ")";
    }
    text += ")";
  } else {
    for (int32_t number = 1; number <= kActionCount; ++number) {
      const ActionEntry& a = ActionAt(number);
      text += a.Name + "|" + std::to_string(number) + "|" + std::to_string(a.ParamCount) + "\r\n";
    }
  }
  return text;
}

int32_t CommandList(const char* format, char* destination) {
  if (!destination) return 0;
  const std::string text = CommandListText(HostText(format));
  std::memcpy(destination, text.c_str(), text.size() + 1);
  return 1;
}

bool ExecCommand(IHost& host, const char* command, const char* const params[5]) {
  const std::optional<int32_t> number = TryParseInt32(HostText(command));
  if (!number) return false;
  std::string texts[5];
  for (int i = 0; i < 5; ++i) texts[i] = params ? HostText(params[i]) : std::string();
  return RunAction(host, *number, texts);
}

}  // namespace kyt
