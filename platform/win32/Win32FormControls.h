#pragma once
// The plug-in's own window classes for the controls of declarative forms:
// labels, pictures, panels, help boxes and glyph buttons. Each window asks
// its form (the site) for its table entry, font, colours and cursor, and
// tells it of clicks and mouse moves. Panels, help boxes and glyph buttons
// are the host-styled controls themselves, drawn on the GDI canvas.
#include <windows.h>

#include <string>

#include "controls/Canvas.h"
#include "platform/Forms.h"

namespace kyt::win32 {

class IFormControlSite {
 public:
  virtual ~IFormControlSite() = default;
  virtual const forms::Control& ControlAt(size_t index) const = 0;
  virtual HFONT FontOf(size_t index) const = 0;
  virtual COLORREF FontColorOf(size_t index) const = 0;
  // The colour behind the control (its own, or its parent's when transparent).
  virtual COLORREF BackColorOf(size_t index) const = 0;
  virtual HCURSOR CursorOf(size_t index) const = 0;
  // The font the control shows (after its parents'), as the host-styled controls take it.
  virtual controls::FontSpec ControlFont(size_t index) const = 0;
  // The colour of the control's parent, system colours unresolved.
  virtual uint32_t ParentBackground(size_t index) const = 0;
  virtual void ControlClicked(size_t index) = 0;
  virtual void ControlMouseMove(size_t index) = 0;
  // WM_CTLCOLOR* of a system control inside one of ours, answered by the form.
  virtual LRESULT ControlColor(HDC dc, HWND child) = 0;
};

void RegisterFormControlClasses(HMODULE module);
void UnregisterFormControlClasses(HMODULE module);
const wchar_t* FormControlClass(forms::ControlKind kind);
bool IsFormControlClass(forms::ControlKind kind);
// Created with the site as creation parameter; the index follows.
void SetControlIndex(HWND window, size_t index);
// A tooltip shows the button's window text while the mouse rests on it.
void ShowHintOnHover(HWND button);
// The body colour of help boxes in the current colour mode.
uint32_t HelpBoxBodyColor();

}  // namespace kyt::win32
