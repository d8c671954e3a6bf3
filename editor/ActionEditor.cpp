#include "editor/ActionEditor.h"

#include "editor/About.h"
#include "editor/Edit1.h"
#include "editor/Edit2FL.h"
#include "editor/Edit2RC.h"
#include "editor/Edit5KL.h"
#include "host/ActionTable.h"
#include "host/PlugInUtils.h"

namespace kyt {

namespace {

using namespace kyt::text;

// The field of each slot, in slot order, and the panel above it.
struct SlotField {
  const char* Field;
  const char* Panel;
  const char* Caption;  // null: the form keeps its own
};

constexpr SlotField kObjectSlot[] = {{"Edit1", "NeoBookPanel1", nullptr}};
constexpr SlotField kKnowledgeBaseSlots[] = {
    {"Edit1", "NeoBookPanel1", "Прямоугольник с DCR для загрузки базы знаний:"_cp1251},
    {"EditVar2", "NeoBookPanel2", "Имя файла базы знаний для загрузки:"_cp1251},
    {"EditVar3", "NeoBookPanel3", "B/W Порог:"_cp1251},
    {"EditVar4", "NeoBookPanel4", "Шумовой порог:"_cp1251},
    {"EditVar5", "NeoBookPanel5", "Ширина пробела:"_cp1251},
};
constexpr SlotField kPictureSlots[] = {
    {"Edit1", "NeoBookPanel1", "Прямоугольник с DCR для загрузки изображения:"_cp1251},
    {"EditVar2", "NeoBookPanel2", "Имя файла изображения для загрузки"_cp1251},
};
constexpr SlotField kRecognizeSlots[] = {
    {"Edit1", "NeoBookPanel1", "Прямоугольник с DCR для распознавания текста"_cp1251},
    {"EditVar2", "NeoBookPanel2", "Сохранить результат в переменной:"_cp1251},
};

std::span<const SlotField> SlotsOf(int32_t action) {
  switch (action) {
    case kActionCreate:
    case kActionRemove:
      return kObjectSlot;
    case kActionLoadKnowledgebase:
      return kKnowledgeBaseSlots;
    case kActionLoadPicture:
      return kPictureSlots;
    default:
      return kRecognizeSlots;
  }
}

std::unique_ptr<editor::TEditForm> MakeForm(int32_t action, editor::IPickerHost* host) {
  switch (action) {
    case kActionCreate:
    case kActionRemove:
      return std::make_unique<editor::TEditForm1>(host);
    case kActionLoadKnowledgebase:
      return std::make_unique<editor::TEditForm5KL>(host);
    case kActionLoadPicture:
      return std::make_unique<editor::TEditForm2FL>(host);
    default:
      return std::make_unique<editor::TEditForm2RC>(host);
  }
}

std::string SlotText(char* const* slots, int32_t highIndex, int32_t index) {
  if (!slots || index > highIndex) return std::string();
  return HostText(slots[index]);
}

}  // namespace

std::unique_ptr<editor::TEditForm> BuildEditForm(int32_t action, char* const* slots, int32_t highIndex,
                                                 editor::IPickerHost* host) {
  const ActionEntry& entry = ActionAt(action);  // raises for a number outside 1 to 5
  auto form = MakeForm(action, host);
  forms::FormTexts& texts = form->Texts();
  texts.Caption = entry.Name + " Свойства"_cp1251;
  texts["NeoBookCommandBox"] = entry.Name + "  (" + kPlugInName + ")";
  texts["CommandLabel"] = entry.Description;
  const auto fields = SlotsOf(action);
  for (const SlotField& f : fields)
    if (f.Caption) texts[f.Panel] = f.Caption;
  for (size_t i = 0; i < fields.size(); ++i) texts[fields[i].Field] = SlotText(slots, highIndex, int32_t(i));
  return form;
}

bool EditAction(int32_t action, char** slots, int32_t highIndex, editor::IPickerHost* host) {
  if (!IsActionNumber(action)) return false;
  auto form = BuildEditForm(action, slots, highIndex, host);
  if (form->ShowModal() != forms::kModalOk) return false;
  if (slots) {
    const auto fields = SlotsOf(action);
    for (size_t i = 0; i < fields.size() && int32_t(i) <= highIndex; ++i)
      SetHostString(&slots[i], form->Texts()[fields[i].Field]);
  }
  return true;
}

void ShowAbout() {
  editor::TAboutBoxForm form;
  form.ShowModal();
}

}  // namespace kyt
