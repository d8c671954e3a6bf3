#include "editor/ActionEditor.h"

#include "host/ActionTable.h"
#include "host/PlugInUtils.h"

namespace kyt {

namespace {

// " Свойства"
constexpr const char kPropertiesSuffix[] = " \xD1\xE2\xEE\xE9\xF1\xF2\xE2\xE0";

// "Прямоугольник с DCR для загрузки базы знаний:"
constexpr const char kPanelKbObject[] =
    "\xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA \xF1 DCR \xE4\xEB\xFF \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8 "
    "\xE1\xE0\xE7\xFB \xE7\xED\xE0\xED\xE8\xE9:";
// "Имя файла базы знаний для загрузки:"
constexpr const char kPanelKbFile[] =
    "\xC8\xEC\xFF \xF4\xE0\xE9\xEB\xE0 \xE1\xE0\xE7\xFB \xE7\xED\xE0\xED\xE8\xE9 \xE4\xEB\xFF "
    "\xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8:";
// "B/W Порог:"
constexpr const char kPanelBw[] = "B/W \xCF\xEE\xF0\xEE\xE3:";
// "Шумовой порог:"
constexpr const char kPanelNoise[] = "\xD8\xF3\xEC\xEE\xE2\xEE\xE9 \xEF\xEE\xF0\xEE\xE3:";
// "Ширина пробела:"
constexpr const char kPanelSpace[] = "\xD8\xE8\xF0\xE8\xED\xE0 \xEF\xF0\xEE\xE1\xE5\xEB\xE0:";
// "Прямоугольник с DCR для загрузки изображения:"
constexpr const char kPanelPictureObject[] =
    "\xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA \xF1 DCR \xE4\xEB\xFF \xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8 "
    "\xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF:";
// "Имя файла изображения для загрузки" (no colon)
constexpr const char kPanelPictureFile[] =
    "\xC8\xEC\xFF \xF4\xE0\xE9\xEB\xE0 \xE8\xE7\xEE\xE1\xF0\xE0\xE6\xE5\xED\xE8\xFF \xE4\xEB\xFF "
    "\xE7\xE0\xE3\xF0\xF3\xE7\xEA\xE8";
// "Прямоугольник с DCR для распознавания текста" (no colon)
constexpr const char kPanelRecognizeObject[] =
    "\xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA \xF1 DCR \xE4\xEB\xFF "
    "\xF0\xE0\xF1\xEF\xEE\xE7\xED\xE0\xE2\xE0\xED\xE8\xFF \xF2\xE5\xEA\xF1\xF2\xE0";
// "Сохранить результат в переменной:"
constexpr const char kPanelResultVariable[] =
    "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC \xF0\xE5\xE7\xF3\xEB\xFC\xF2\xE0\xF2 \xE2 "
    "\xEF\xE5\xF0\xE5\xEC\xE5\xED\xED\xEE\xE9:";

struct FormLayout {
  const char* FormClass;
  std::vector<std::string> Panels;  // empty caption: the form keeps its own
};

FormLayout LayoutOf(int32_t action) {
  switch (action) {
    case kActionCreate:
    case kActionRemove:
      return {"TEditForm1", {""}};
    case kActionLoadKnowledgebase:
      return {"TEditForm5KL", {kPanelKbObject, kPanelKbFile, kPanelBw, kPanelNoise, kPanelSpace}};
    case kActionLoadPicture:
      return {"TEditForm2FL", {kPanelPictureObject, kPanelPictureFile}};
    default:
      return {"TEditForm2RC", {kPanelRecognizeObject, kPanelResultVariable}};
  }
}

std::string SlotText(char* const* slots, int32_t highIndex, int32_t index) {
  if (!slots || index > highIndex) return std::string();
  return HostText(slots[index]);
}

}  // namespace

EditDialog BuildEditDialog(int32_t action, char* const* slots, int32_t highIndex) {
  const ActionEntry& entry = ActionAt(action);  // raises for a number outside 1 to 5
  FormLayout layout = LayoutOf(action);
  EditDialog dialog;
  dialog.FormClass = layout.FormClass;
  dialog.Caption = entry.Name + kPropertiesSuffix;
  dialog.CommandBox = entry.Name + "  (" + kPlugInName + ")";
  dialog.CommandLabel = entry.Description;
  dialog.Panels = std::move(layout.Panels);
  for (int32_t i = 0; i < entry.ParamCount; ++i) dialog.Fields.push_back(SlotText(slots, highIndex, i));
  return dialog;
}

bool EditAction(int32_t action, char** slots, int32_t highIndex) {
  if (!IsActionNumber(action)) return false;
  EditDialog dialog = BuildEditDialog(action, slots, highIndex);
  if (Platform().ShowEditDialog(dialog) != kModalOk) return false;
  if (slots) {
    const int32_t count = ActionAt(action).ParamCount;
    for (int32_t i = 0; i < count && i <= highIndex; ++i) {
      const std::string text = size_t(i) < dialog.Fields.size() ? dialog.Fields[size_t(i)] : std::string();
      SetHostString(&slots[i], text);
    }
  }
  return true;
}

void ShowAbout() { Platform().ShowAboutBox(); }

}  // namespace kyt
