#pragma once
// Declarative forms as real windows: a dialog of the system's dialog class
// with the exact client size, centred on the screen, holding one child window
// per control (push buttons, edit fields and memos of the system; labels,
// pictures, panels, help boxes and glyph buttons of the plug-in's own classes).
#include <windows.h>

#include <cstdint>

#include "platform/Forms.h"

namespace kyt::win32 {

// Shows `form` modally, parented to the active window. Raises kyt::Error when
// the dialog cannot be shown, and passes on an error raised by the form's code.
int32_t RunForm(HMODULE module, const forms::Form& form, forms::FormTexts& texts, forms::IFormEvents& events);
void UnregisterFormClasses(HMODULE module);

// Each control's window carries its name, a const char* in the plug-in's
// memory, under this property (for tests and accessibility tools).
inline constexpr const wchar_t kControlNameProperty[] = L"kytControl";

}  // namespace kyt::win32
