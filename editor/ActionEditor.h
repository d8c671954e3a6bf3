#pragma once
// The action editor: for each of the five actions the properties dialog the
// author fills in, filled from the host's parameter slots and, on OK, written
// back into every slot. Also the About box.
#include <cstdint>
#include <string>

#include "platform/Platform.h"

namespace kyt {

// The dialog for `action` (1 to 5), filled from `slots` (slot i read as empty
// when i > highIndex or the pointer is null). Raises kyt::Error for another number.
EditDialog BuildEditDialog(int32_t action, char* const* slots, int32_t highIndex);

// Shows the dialog of `action` modally. On OK every slot of the action that the
// host passed (0 to min(count - 1, highIndex)) gets a new host string with its
// field's text, and the result is true. Cancel, or an action outside 1 to 5,
// leaves every slot untouched and gives false.
bool EditAction(int32_t action, char** slots, int32_t highIndex);

void ShowAbout();

}  // namespace kyt
