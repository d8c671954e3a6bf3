#pragma once
// The plug-in's group and its five actions as the host sees them: names,
// descriptions, parameter counts and parameter type codes. The descriptions
// (and the hint of nbInitPlugIn) can be overridden by kytDCR.ini beside the
// library; names, counts and type codes cannot.
#include <cstdint>
#include <string>
#include <vector>

namespace kyt {

class IHost;

constexpr int32_t kActionCount = 5;
constexpr int32_t kActionCreate = 1;
constexpr int32_t kActionRemove = 2;
constexpr int32_t kActionLoadKnowledgebase = 3;
constexpr int32_t kActionLoadPicture = 4;
constexpr int32_t kActionRecognize = 5;

// The host's parameter kinds the plug-in uses.
constexpr uint8_t kParamText = 1;
constexpr uint8_t kParamNumber = 3;
constexpr uint8_t kParamVariable = 6;

// The fixed plug-in name shown by the editor dialogs.
inline constexpr const char kPlugInName[] = "kytDCR";
inline constexpr const char kPlugInTitle[] = "kytDCR 1.01";
inline constexpr const char kPlugInPublisher[] = "kytDCR Development Team";

struct ActionEntry {
  std::string Name;
  std::string Description;  // with every "|" of the INI text already a line break
  int32_t ParamCount = 0;
  std::vector<uint8_t> TypeCodes;
};

// Action 1 to 5. Before the first registration the built-in descriptions apply.
// Raises kyt::Error for any other number.
const ActionEntry& ActionAt(int32_t number);
bool IsActionNumber(int32_t number);
// The group description (action 0); "DCR" unless the INI file says otherwise.
const std::string& GroupDescription();

// Fills the table: the INI file's texts if the file exists, else the defaults.
void FillActionTable();
// Registers the group and the five actions, in order, with the host.
void RegisterActionTable(IHost& host);
// The hint handed over by nbInitPlugIn.
std::string PlugInHint();

// The INI file: the module's path with its extension changed to ".ini".
std::string IniFilePath();
// The file name with its extension (from the last "." after the last path
// delimiter) replaced by `extension`, or `extension` appended when there is none.
std::string ChangeFileExt(const std::string& fileName, const std::string& extension);
// Every "|" becomes "\r\n".
std::string PipesToLineBreaks(const std::string& text);

}  // namespace kyt
