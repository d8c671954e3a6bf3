#pragma once
// The hint window class of the plug-in's user interface, TMyHintWindow: the
// system's tooltip look without the drop shadow (CS_DROPSHADOW cleared).
#include <windows.h>

namespace kyt::win32 {

inline constexpr const wchar_t kHintWindowClass[] = L"TMyHintWindow";

// Registers the class once; later calls do nothing.
void RegisterHintWindowClass(HMODULE module);
void UnregisterHintWindowClass(HMODULE module);

}  // namespace kyt::win32
