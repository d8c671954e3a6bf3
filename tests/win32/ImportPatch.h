#pragma once
// Replaces a function that a loaded module imports from a system DLL, in that
// module's import table only, so that the test host can stand in for the
// file dialog, the shell and the global heap as the plug-in sees them.
#include <windows.h>

namespace kyt::testhost {

// Returns the function that was imported before, or null when `module` does
// not import `function` from `dll`.
void* PatchImport(HMODULE module, const char* dll, const char* function, void* replacement);

}  // namespace kyt::testhost
