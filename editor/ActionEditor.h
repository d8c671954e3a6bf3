#pragma once
// The action editor: for each of the five actions the properties form the
// author fills in, filled from the host's parameter slots and, on OK, written
// back into every slot. Also the About box.
#include <cstdint>
#include <memory>

#include "editor/EditorForm.h"

namespace kyt {

// The form of `action` (1 to 5) with its captions, description, panel
// captions and fields filled from `slots` (slot i read as empty when
// i > highIndex or the pointer is null). Raises kyt::Error for another number.
std::unique_ptr<editor::TEditForm> BuildEditForm(int32_t action, char* const* slots, int32_t highIndex,
                                                 editor::IPickerHost* host);

// Shows the form of `action` modally. On OK every slot of the action that the
// host passed (0 to min(count - 1, highIndex)) gets a new host string with its
// field's text, and the result is true. Any other ending, or an action outside
// 1 to 5, leaves every slot untouched and gives false.
bool EditAction(int32_t action, char** slots, int32_t highIndex, editor::IPickerHost* host);

void ShowAbout();

}  // namespace kyt
