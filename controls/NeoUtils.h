#pragma once
// NeoUtils: the colour and drawing routines behind the host-styled controls.
// Every routine resolves system colours (top bit set) first.
#include <cstdint>
#include <optional>

#include "controls/Canvas.h"

namespace kyt::controls {

// ---- Fixed colours of the high-colour look ----
constexpr Color kBaseGrey = MakeColor(214, 214, 198);
constexpr Color kLightGrey = MakeColor(234, 234, 218);  // ShiftColor(kBaseGrey, +20)
constexpr Color kWhiteColor = MakeColor(255, 255, 255);
constexpr Color kEnabledOutline = MakeColor(128, 169, 211);
constexpr Color kPressedHotOutline = MakeColor(160, 201, 243);
constexpr Color kDisabledOutline = MakeColor(189, 189, 189);
constexpr Color kHotOrange = MakeColor(230, 139, 44);
constexpr Color kHotOutline = MakeColor(110, 151, 193);

// ---- Display colour depth and the two drawing modes ----
// 2^(bits per pixel x planes) below 9 bits, else 16,777,216; read from the
// screen device once, on first use.
int64_t ScreenColorCount();
// Low-colour mode: 256 colours or fewer (system colours, classic edges).
inline bool LowColorMode() { return ScreenColorCount() <= 256; }
// Tests choose the colour count; nullopt goes back to the screen's.
void SetScreenColorCountForTesting(std::optional<int64_t> count);
// The colour count for a bits-per-pixel x planes product.
int64_t ColorCountFromBits(int32_t bitsTimesPlanes);

// ---- Colours ----
// Per channel (c1 * w + c2 * (d - w) + d / 2) / d, with d = 100 for w < 100, else 1000.
Color MixColors(Color color1, Color color2, int32_t weight);
// Adds `amount` to each channel, clamped to 0..255.
Color ShiftColor(Color color, int32_t amount);

// ---- Drawing ----
// One-pixel strips from `startColor` (top or left edge) to `endColor`.
void FillGradient(ICanvas& canvas, const Rect& rect, Color endColor, Color startColor, bool vertical);
// Blends `ink` over the pixel with opacity `alpha` (0..255).
void PutAlphaPixel(ICanvas& canvas, int32_t x, int32_t y, int32_t alpha, Color ink);

enum class Corner { TopLeft, TopRight, BottomLeft, BottomRight };
// The anti-aliased 3 x 3 corner of a rounded outline, with its top-left at (x, y).
void DrawSoftCorner(ICanvas& canvas, int32_t x, int32_t y, Color ink, Corner corner);
// Left and top edges in `topLeft`, bottom and right in `bottomRight`, the two
// mixed corners half and half.
void DrawRingFrame(ICanvas& canvas, const Rect& rect, Color topLeft, Color bottomRight);
// A one-pixel rounded rectangle with soft corners.
void DrawSoftOutline(ICanvas& canvas, const Rect& rect, Color ink);
// The face of a button in the high-colour look.
void PaintSoftButtonFace(ICanvas& canvas, const Rect& rect, bool enabled, bool pressed, bool flat, bool hot);

// ---- Contrast ----
// Distance in the weighted colour space (red 195, green 390, blue 65 at full
// scale), in single precision.
float WeightedColorDistance(Color color1, Color color2);
float ContrastThreshold(float threshold, float intensity);
bool HasContrast(Color color, Color background, bool adjust, float threshold);
// Slides the colour along the line through black (or white) until its
// weighted distance from the background is the threshold.
Color PushContrast(Color color, Color background, float threshold);
Color EnsureContrast(Color color, Color background, float threshold);

// ---- Classic (low-colour) drawing, after the system's own ----
enum EdgeFlags : uint32_t {
  kEdgeRaisedOuter = 0x1,
  kEdgeSunkenOuter = 0x2,
  kEdgeRaisedInner = 0x4,
  kEdgeSunkenInner = 0x8,
};
// The system's edge drawing on all four sides; `middle` fills the inside with the button face.
void DrawClassicEdge(ICanvas& canvas, const Rect& rect, uint32_t edges, bool middle);
// The system's push-button frame, raised or pushed, with the face filled.
void DrawClassicButtonFrame(ICanvas& canvas, const Rect& rect, bool pushed);
// A chequered pattern of two colours (the pixel at the rectangle's top-left in `color1`).
void FillChequered(ICanvas& canvas, const Rect& rect, Color color1, Color color2);
// The dotted outline of a control at design time.
void DrawDottedOutline(ICanvas& canvas, const Rect& rect, Color color);

}  // namespace kyt::controls
