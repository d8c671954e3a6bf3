#include "host/ActionTable.h"

#include <array>
#include <optional>

#include "core/Error.h"
#include "host/HostInterface.h"
#include "platform/Platform.h"

namespace kyt {

namespace {

// "Создать DCR-окно."
constexpr const char kDescCreate[] = "\xD1\xEE\xE7\xE4\xE0\xF2\xFC DCR-\xEE\xEA\xED\xEE.";
// "Удалить DCR-окно и базу знаний."
constexpr const char kDescRemove[] =
    "\xD3\xE4\xE0\xEB\xE8\xF2\xFC DCR-\xEE\xEA\xED\xEE \xE8 \xE1\xE0\xE7\xF3 \xE7\xED\xE0\xED\xE8\xE9.";
// "Загрузить базу знаний с параметрами в DCR-окно."
constexpr const char kDescLoadKnowledgebase[] =
    "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xFC \xE1\xE0\xE7\xF3 \xE7\xED\xE0\xED\xE8\xE9 \xF1 "
    "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xE0\xEC\xE8 \xE2 DCR-\xEE\xEA\xED\xEE.";
// "Загрузите изображение из файла или потока в DCR-окно."
constexpr const char kDescLoadPicture[] =
    "\xC7\xE0\xE3\xF0\xF3\xE7\xE8\xF2\xE5 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE5 \xE8\xE7 "
    "\xF4\xE0\xE9\xEB\xE0 \xE8\xEB\xE8 \xEF\xEE\xF2\xEE\xEA\xE0 \xE2 DCR-\xEE\xEA\xED\xEE.";
// "Распознать текст в загруженном изображении и сохранить в переменной."
constexpr const char kDescRecognize[] =
    "\xD0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xF2\xFC \xF2\xE5\xEA\xF1\xF2 \xE2 "
    "\xE7\xE0\xE3\xF0\xF3\xE6\xE5\xED\xED\xEE\xEC \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xE8 \xE8 "
    "\xF1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xE2 \xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9.";
// "Плагин для распознавания символов."
constexpr const char kDefaultHint[] =
    "\xCF\xEB\xE0\xE3\xE8\xED \xE4\xEB\xFF \xF0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xE2\xE0\xED\xE8\xFF "
    "\xF1\xE8\xEC\xE2\xEE\xEB\xEE\xE2.";
constexpr const char kDefaultGroup[] = "DCR";

constexpr const char kSectionHeader[] = "PlugInHeader";
constexpr const char kSectionGroup[] = "GroupDescription";
constexpr const char kSectionCommands[] = "CommandDescription";

std::array<ActionEntry, kActionCount> Defaults() {
  return {{
      {"kytDcrCreate", kDescCreate, 1, {kParamText}},
      {"kytDcrRemove", kDescRemove, 1, {kParamText}},
      {"kytDcrLoadKnowledgebase", kDescLoadKnowledgebase, 5,
       {kParamText, kParamText, kParamNumber, kParamNumber, kParamNumber}},
      {"kytDcrLoadPicture", kDescLoadPicture, 2, {kParamText, kParamText}},
      {"kytDcrRecognize", kDescRecognize, 2, {kParamText, kParamVariable}},
  }};
}

struct Table {
  std::string Group = kDefaultGroup;
  std::array<ActionEntry, kActionCount> Actions = Defaults();
};

Table& TheTable() {
  static Table table;
  return table;
}

// The INI file's path when the file exists.
std::optional<std::string> ExistingIniFile() {
  const std::string path = IniFilePath();
  if (!Platform().FileExists(path)) return std::nullopt;
  return path;
}

std::string ReadText(const std::string& file, const char* section, const std::string& key, const char* fallback) {
  const auto value = Platform().ReadProfileString(file, section, key);
  return value ? *value : std::string(fallback);
}

}  // namespace

bool IsActionNumber(int32_t number) { return number >= 1 && number <= kActionCount; }

const ActionEntry& ActionAt(int32_t number) {
  if (!IsActionNumber(number)) throw Error("There is no action number " + std::to_string(number) + ".");
  return TheTable().Actions[size_t(number - 1)];
}

const std::string& GroupDescription() { return TheTable().Group; }

std::string ChangeFileExt(const std::string& fileName, const std::string& extension) {
  const size_t delimiter = fileName.find_last_of("\\/:");
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (delimiter != std::string::npos && dot < delimiter))
    return fileName + extension;
  return fileName.substr(0, dot) + extension;
}

std::string IniFilePath() { return ChangeFileExt(Platform().ModulePath(), ".ini"); }

std::string PipesToLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '|')
      out += "\r\n";
    else
      out += c;
  }
  return out;
}

void FillActionTable() {
  Table fresh;  // names, counts, codes and defaults
  if (const auto ini = ExistingIniFile()) {
    // The group description is taken as written; the command texts get their line breaks.
    fresh.Group = ReadText(*ini, kSectionGroup, "1", kDefaultGroup);
    const auto defaults = Defaults();
    for (size_t i = 0; i < fresh.Actions.size(); ++i) {
      ActionEntry& entry = fresh.Actions[i];
      entry.Description =
          PipesToLineBreaks(ReadText(*ini, kSectionCommands, entry.Name, defaults[i].Description.c_str()));
    }
  }
  TheTable() = std::move(fresh);
}

void RegisterActionTable(IHost& host) {
  const Table& table = TheTable();
  host.AddAction(0, table.Group, std::string(), std::vector<uint8_t>{0}, 0);
  for (int32_t number = 1; number <= kActionCount; ++number) {
    const ActionEntry& entry = table.Actions[size_t(number - 1)];
    host.AddAction(number, entry.Name, entry.Description, entry.TypeCodes, uint8_t(entry.ParamCount));
  }
}

std::string PlugInHint() {
  if (const auto ini = ExistingIniFile())
    return PipesToLineBreaks(ReadText(*ini, kSectionHeader, "PlugInHint", kDefaultHint));
  return kDefaultHint;
}

}  // namespace kyt
