#pragma once
// The editor's forms as the author meets them under a real window system,
// driven through nbEditAction and nbAbout: layout, texts, fonts, tab order,
// keys, the slot rules, the pickers against the host's answers, the file
// dialogs, the About box's link, and screenshots of every form.
#include <windows.h>

#include <cstdint>
#include <string>

#include "host/HostCallConv.h"

namespace kyt::testhost {

using EditActionFn = uint8_t(NB_REGISTER*)(int32_t, char**, int32_t);
using AboutBoxFn = void(NB_REGISTER*)();
using RegisterAccessFn = void(NB_REGISTER*)(void*);

struct EditorUnderTest {
  HMODULE plugin = nullptr;
  EditActionFn editAction = nullptr;
  AboutBoxFn about = nullptr;
  RegisterAccessFn registerInterfaceAccess = nullptr;
  HWND hostWindow = nullptr;    // the active window the forms belong to
  std::string outputDir;        // with a trailing backslash
  std::string screenshotSuffix; // "" in high-colour mode
};

// Stands in for the file dialog, the shell and GlobalFree in the plug-in's imports.
void InterceptEditorImports(HMODULE plugin);
void CheckEditorForms(const EditorUnderTest& editor);
// Only the screenshots (for a second run in another colour depth).
void SaveEditorScreenshots(const EditorUnderTest& editor);

}  // namespace kyt::testhost
