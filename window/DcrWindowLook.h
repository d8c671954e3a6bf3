#pragma once
// The look of a DCR window and its design sizes, in one place: the title
// panel (caption, height, colours) and the sizes of the form and of its
// frame before the window is attached to its host object.
#include <cstdint>

#include "core/Cp1251Text.h"
#include "platform/Platform.h"
#include "recognition/DCRFra.h"

namespace kyt {

// The form as designed; it is resized as soon as the window is attached.
constexpr int32_t kDesignFormWidth = 696;
constexpr int32_t kDesignFormHeight = 480;
// The frame's size inside the form as designed (the form's client area).
constexpr int32_t kDesignFrameWidth = 688;
constexpr int32_t kDesignFrameHeight = 453;

inline constexpr DcrWindowLook kDcrWindowLook{
    "Изображение с текстом"_cp1251,
    TDCRFrame::kTitleHeight,
    0xF0FBFF,  // clCream
    10321,     // red 81, green 40, blue 0
    kDesignFormWidth,
    kDesignFormHeight,
};

}  // namespace kyt
