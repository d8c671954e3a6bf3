#pragma once
// DcrWindows: the live DCR windows in creation order, one per host object name
// (names compared by SameObjectName). The registry owns its windows; it does
// not exist until the first window is appended and again after DestroyDcrWindows.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "window/kytForm.h"

namespace kyt {

using TDcrWindowList = std::vector<std::unique_ptr<TTkytForm>>;

// The list, or null when it does not exist.
TDcrWindowList* DcrWindows();
// Index of the first window whose ObjectName matches `name`; -1 if none or no list.
int32_t FindDcrWindow(const std::string& name);
// The window at `index` (as FindDcrWindow returned it).
TTkytForm& DcrWindowAt(int32_t index);
// Appends a window, creating the list if needed.
void AppendDcrWindow(std::unique_ptr<TTkytForm> window);
// Destroys the window at `index`; the later entries move up one place.
void RemoveDcrWindow(int32_t index);
// Destroys every window in list order, then the list itself.
void DestroyDcrWindows();

}  // namespace kyt
