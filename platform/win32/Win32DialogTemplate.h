#pragma once
// Builds a dialog template in memory, for the plug-in's plain dialogs that are
// laid out in code rather than in resources. Units are dialog units.
#include <windows.h>

#include <string>
#include <vector>

namespace kyt::win32 {

class DialogTemplate {
 public:
  DialogTemplate(const std::wstring& caption, short width, short height);

  void AddStatic(WORD id, const std::wstring& text, short x, short y, short cx, short cy);
  void AddGroupBox(WORD id, const std::wstring& text, short x, short y, short cx, short cy);
  void AddEdit(WORD id, short x, short y, short cx, short cy);
  void AddButton(WORD id, const std::wstring& text, short x, short y, short cx, short cy, bool isDefault);

  // Valid until the next change.
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void AddItem(DWORD style, WORD classAtom, WORD id, const std::wstring& text, short x, short y, short cx, short cy);
  void AlignToDword();
  void PutDword(DWORD v);
  void PutString(const std::wstring& s);

  std::vector<WORD> words_;
  size_t countAt_ = 0;
  WORD count_ = 0;
};

// Runs a modal dialog from a template, parented to the active window of the
// calling thread (none if there is no active window).
// Raises kyt::Error when the dialog cannot be created.
INT_PTR RunModal(HMODULE module, const DialogTemplate& dialog, DLGPROC proc, LPARAM param);

}  // namespace kyt::win32
