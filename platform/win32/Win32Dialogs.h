#pragma once
// The plug-in's plain modal dialogs: an action's properties and the About box.
#include <windows.h>

#include <cstdint>

#include "platform/Platform.h"

namespace kyt::win32 {

// Shows the properties dialog; on OK the fields are written back. Returns
// kModalOk or kModalCancel. Raises kyt::Error when the dialog cannot be shown.
int32_t RunEditDialog(HMODULE module, EditDialog& dialog);
void RunAboutBox(HMODULE module);

// Control identifiers, for whoever drives the dialogs (tests, accessibility tools).
inline constexpr WORD kIdCommandBox = 100;
inline constexpr WORD kIdCommandLabel = 101;
inline constexpr WORD kIdFirstPanel = 200;  // panel caption of field i: kIdFirstPanel + i
inline constexpr WORD kIdFirstField = 300;  // edit field i: kIdFirstField + i
inline constexpr WORD kIdAboutText = 400;

}  // namespace kyt::win32
