#pragma once
// The pictures of the editor forms: the four 20 x 20 button glyphs, the
// 20 x 20 sixteen-colour hint picture and the plug-in's 32 x 32 icon, kept as
// XPM text beside this file and compiled in at build time; the bottom-left
// pixel is the transparent colour.
#include "core/Bitmap.h"
#include "platform/Forms.h"

namespace kyt::resources {

// The picture of `id` (an empty bitmap for PictureId::None).
const Bitmap& FormPicture(forms::PictureId id);
// The colour that stands for "no pixel" in every picture.
inline constexpr Color kPictureTransparent = MakeColor(255, 0, 255);

}  // namespace kyt::resources
