#include "host/DcrRegistry.h"

#include "core/Error.h"
#include "host/NameMatching.h"

namespace kyt {

namespace {
// Unloading the library does not destroy DCR windows (only nbMessage(2) and the
// actions do), so the list is deliberately never destructed at exit: its windows
// would otherwise be torn down after the platform and the shared network they use.
std::unique_ptr<TDcrWindowList>& List() {
  static auto* list = new std::unique_ptr<TDcrWindowList>();
  return *list;
}
}  // namespace

TDcrWindowList* DcrWindows() { return List().get(); }

int32_t FindDcrWindow(const std::string& name) {
  const TDcrWindowList* list = DcrWindows();
  if (!list) return -1;
  for (size_t i = 0; i < list->size(); ++i)
    if (SameObjectName((*list)[i]->ObjectName, name)) return int32_t(i);
  return -1;
}

TTkytForm& DcrWindowAt(int32_t index) {
  TDcrWindowList* list = DcrWindows();
  if (!list || index < 0 || size_t(index) >= list->size()) throw Error("No DCR window at index " + std::to_string(index) + ".");
  return *(*list)[size_t(index)];
}

void AppendDcrWindow(std::unique_ptr<TTkytForm> window) {
  if (!List()) List() = std::make_unique<TDcrWindowList>();
  List()->push_back(std::move(window));
}

void RemoveDcrWindow(int32_t index) {
  TDcrWindowList* list = DcrWindows();
  if (!list || index < 0 || size_t(index) >= list->size()) return;
  // Take the window out first, so that the list is consistent while it is destroyed.
  std::unique_ptr<TTkytForm> window = std::move((*list)[size_t(index)]);
  list->erase(list->begin() + index);
  window.reset();
}

void DestroyDcrWindows() {
  std::unique_ptr<TDcrWindowList> list = std::move(List());
  if (!list) return;
  for (auto& window : *list) window.reset();  // list order, index 0 upwards
  list.reset();
}

}  // namespace kyt
