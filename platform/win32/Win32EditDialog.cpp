#include "platform/win32/Win32Dialogs.h"

#include <string>

#include "platform/win32/Win32DialogTemplate.h"
#include "platform/win32/Win32Text.h"

namespace kyt::win32 {

namespace {

// "Объект Прямоугольник (Rectangle):", the object panel's own caption in the
// form of the create and remove actions.
constexpr const char kObjectPanelCaption[] =
    "\xCE\xE1\xFA\xE5\xEA\xF2 \xCF\xF0\xFF\xEC\xEE\xF3\xE3\xEE\xEB\xFC\xED\xE8\xEA (Rectangle):";
// "Отмена"
constexpr const char kCancelCaption[] = "\xCE\xF2\xEC\xE5\xED\xE0";

constexpr short kWidth = 260;
constexpr short kMargin = 7;
constexpr short kInner = kWidth - 2 * kMargin;
constexpr short kLabelHeight = 9;
constexpr short kEditHeight = 12;
constexpr short kDescriptionHeight = 27;  // three lines
constexpr short kButtonWidth = 50;
constexpr short kButtonHeight = 14;

std::string PanelCaption(const EditDialog& dialog, size_t field) {
  if (field < dialog.Panels.size() && !dialog.Panels[field].empty()) return dialog.Panels[field];
  if (dialog.FormClass == "TEditForm1" && field == 0) return kObjectPanelCaption;
  return std::string();
}

std::wstring ItemText(HWND window, int id) {
  HWND item = GetDlgItem(window, id);
  const int length = GetWindowTextLengthW(item);
  std::wstring text(size_t(length) + 1, L'\0');
  const int got = GetWindowTextW(item, text.data(), length + 1);
  text.resize(size_t(got > 0 ? got : 0));
  return text;
}

INT_PTR CALLBACK EditDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    switch (message) {
      case WM_INITDIALOG: {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        auto& dialog = *reinterpret_cast<EditDialog*>(lParam);
        for (size_t i = 0; i < dialog.Fields.size(); ++i)
          SetDlgItemTextW(window, kIdFirstField + int(i), FromCp1251(dialog.Fields[i]).c_str());
        return TRUE;
      }
      case WM_COMMAND: {
        auto* dialog = reinterpret_cast<EditDialog*>(GetWindowLongPtrW(window, DWLP_USER));
        if (LOWORD(wParam) == IDOK && dialog) {
          for (size_t i = 0; i < dialog->Fields.size(); ++i)
            dialog->Fields[i] = ToCp1251(ItemText(window, kIdFirstField + int(i)));
          EndDialog(window, kModalOk);
          return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
          EndDialog(window, kModalCancel);
          return TRUE;
        }
        return FALSE;
      }
      default:
        return FALSE;
    }
  } catch (...) {
    EndDialog(window, kModalCancel);
    return TRUE;
  }
}

}  // namespace

int32_t RunEditDialog(HMODULE module, EditDialog& dialog) {
  const size_t fields = dialog.Fields.size();
  const short boxHeight = short(kDescriptionHeight + 18);
  const short fieldsTop = short(kMargin + boxHeight + 6);
  const short fieldPitch = short(kLabelHeight + kEditHeight + 6);
  const short buttonsTop = short(fieldsTop + fieldPitch * short(fields) + 4);
  const short height = short(buttonsTop + kButtonHeight + kMargin);

  DialogTemplate t(FromCp1251(dialog.Caption), kWidth, height);
  t.AddGroupBox(kIdCommandBox, FromCp1251(dialog.CommandBox), kMargin, kMargin, kInner, boxHeight);
  t.AddStatic(kIdCommandLabel, FromCp1251(dialog.CommandLabel), kMargin + 6, kMargin + 12, kInner - 12,
              kDescriptionHeight);
  for (size_t i = 0; i < fields; ++i) {
    const short top = short(fieldsTop + fieldPitch * short(i));
    t.AddStatic(WORD(kIdFirstPanel + i), FromCp1251(PanelCaption(dialog, i)), kMargin, top, kInner, kLabelHeight);
    t.AddEdit(WORD(kIdFirstField + i), kMargin, short(top + kLabelHeight + 1), kInner, kEditHeight);
  }
  t.AddButton(IDOK, L"OK", short(kWidth - kMargin - 2 * kButtonWidth - 4), buttonsTop, kButtonWidth, kButtonHeight,
              true);
  t.AddButton(IDCANCEL, FromCp1251(kCancelCaption), short(kWidth - kMargin - kButtonWidth), buttonsTop, kButtonWidth,
              kButtonHeight, false);

  const INT_PTR result = RunModal(module, t, EditDialogProc, reinterpret_cast<LPARAM>(&dialog));
  return result == kModalOk ? kModalOk : kModalCancel;
}

}  // namespace kyt::win32
