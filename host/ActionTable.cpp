#include "host/ActionTable.h"

#include <array>
#include <optional>

#include "core/Cp1251Text.h"
#include "core/Error.h"
#include "host/HostInterface.h"
#include "platform/Platform.h"

namespace kyt {

namespace {

constexpr const char* kDescCreate = "Создать DCR-окно."_cp1251;
constexpr const char* kDescRemove = "Удалить DCR-окно и базу знаний."_cp1251;
constexpr const char* kDescLoadKnowledgebase = "Загрузить базу знаний с параметрами в DCR-окно."_cp1251;
constexpr const char* kDescLoadPicture = "Загрузите изображение из файла или потока в DCR-окно."_cp1251;
constexpr const char* kDescRecognize = "Распознать текст в загруженном изображении и сохранить в переменной."_cp1251;
constexpr const char* kDefaultHint = "Плагин для распознавания символов."_cp1251;
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
