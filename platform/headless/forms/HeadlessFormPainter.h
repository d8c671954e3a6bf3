#pragma once
// Paints a declarative form's client area as the Win32 layer shows it: the
// panels, help boxes and glyph buttons with the host-styled controls, the
// push buttons, edit fields, memos, labels and pictures in the classic look,
// all on the headless canvas.
#include "core/Bitmap.h"
#include "platform/Forms.h"

namespace kyt::headless {

// The client area of `form` showing `texts` (captions and field contents).
Bitmap PaintForm(const forms::Form& form, const forms::FormTexts& texts);

}  // namespace kyt::headless
