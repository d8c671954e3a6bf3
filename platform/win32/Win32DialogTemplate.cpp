#include "platform/win32/Win32DialogTemplate.h"

#include "core/Error.h"

namespace kyt::win32 {

namespace {
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
// The host's dialogs use MS Sans Serif at 8 points.
constexpr WORD kFontPoints = 8;
constexpr const wchar_t kFontName[] = L"MS Sans Serif";
}  // namespace

DialogTemplate::DialogTemplate(const std::wstring& caption, short width, short height) {
  PutDword(DS_MODALFRAME | DS_CENTER | DS_SETFONT | WS_POPUP | WS_CAPTION | WS_SYSMENU);
  PutDword(0);  // extended style
  countAt_ = words_.size();
  words_.push_back(0);  // item count, patched as items are added
  words_.push_back(0);  // x
  words_.push_back(0);  // y
  words_.push_back(WORD(width));
  words_.push_back(WORD(height));
  words_.push_back(0);  // no menu
  words_.push_back(0);  // the standard dialog class
  PutString(caption);
  words_.push_back(kFontPoints);
  PutString(kFontName);
}

void DialogTemplate::AlignToDword() {
  if (words_.size() % 2) words_.push_back(0);
}

void DialogTemplate::PutDword(DWORD v) {
  words_.push_back(LOWORD(v));
  words_.push_back(HIWORD(v));
}

void DialogTemplate::PutString(const std::wstring& s) {
  for (wchar_t c : s) words_.push_back(WORD(c));
  words_.push_back(0);
}

void DialogTemplate::AddItem(DWORD style, WORD classAtom, WORD id, const std::wstring& text, short x, short y,
                             short cx, short cy) {
  AlignToDword();
  PutDword(style | WS_CHILD | WS_VISIBLE);
  PutDword(0);
  words_.push_back(WORD(x));
  words_.push_back(WORD(y));
  words_.push_back(WORD(cx));
  words_.push_back(WORD(cy));
  words_.push_back(id);
  words_.push_back(0xFFFF);
  words_.push_back(classAtom);
  PutString(text);
  words_.push_back(0);  // no creation data
  words_[countAt_] = ++count_;
}

void DialogTemplate::AddStatic(WORD id, const std::wstring& text, short x, short y, short cx, short cy) {
  AddItem(SS_LEFT | SS_NOPREFIX, kStaticAtom, id, text, x, y, cx, cy);
}

void DialogTemplate::AddGroupBox(WORD id, const std::wstring& text, short x, short y, short cx, short cy) {
  AddItem(BS_GROUPBOX, kButtonAtom, id, text, x, y, cx, cy);
}

void DialogTemplate::AddEdit(WORD id, short x, short y, short cx, short cy) {
  AddItem(ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, kEditAtom, id, L"", x, y, cx, cy);
}

void DialogTemplate::AddButton(WORD id, const std::wstring& text, short x, short y, short cx, short cy,
                               bool isDefault) {
  AddItem((isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | WS_TABSTOP, kButtonAtom, id, text, x, y, cx, cy);
}

INT_PTR RunModal(HMODULE module, const DialogTemplate& dialog, DLGPROC proc, LPARAM param) {
  const INT_PTR result = DialogBoxIndirectParamW(module, dialog.Get(), GetActiveWindow(), proc, param);
  if (result == -1) throw Error("The dialog cannot be shown.");
  return result;
}

}  // namespace kyt::win32
