#include "controls/NeoUtils.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace kyt::controls {

namespace {

std::optional<int64_t> g_colorCountOverride;
std::optional<int64_t> g_screenColorCount;

int32_t Clamp255(int32_t v) { return std::clamp(v, 0, 255); }

}  // namespace

// ---- Colour depth ----

int64_t ColorCountFromBits(int32_t bitsTimesPlanes) {
  if (bitsTimesPlanes < 9) return int64_t(1) << std::max(bitsTimesPlanes, 0);
  return 16777216;
}

int64_t ScreenColorCount() {
  if (g_colorCountOverride) return *g_colorCountOverride;
  if (!g_screenColorCount) g_screenColorCount = ColorCountFromBits(Graphics().ScreenBitsTimesPlanes());
  return *g_screenColorCount;
}

void SetScreenColorCountForTesting(std::optional<int64_t> count) { g_colorCountOverride = count; }

// ---- Colours ----

Color MixColors(Color color1, Color color2, int32_t weight) {
  const Color c1 = ColorToRGB(color1), c2 = ColorToRGB(color2);
  const int32_t d = weight < 100 ? 100 : 1000;
  auto mix = [&](int32_t a, int32_t b) { return Clamp255((a * weight + b * (d - weight) + d / 2) / d); };
  return MakeColor(uint8_t(mix(RedOf(c1), RedOf(c2))), uint8_t(mix(GreenOf(c1), GreenOf(c2))),
                   uint8_t(mix(BlueOf(c1), BlueOf(c2))));
}

Color ShiftColor(Color color, int32_t amount) {
  const Color c = ColorToRGB(color);
  return MakeColor(uint8_t(Clamp255(RedOf(c) + amount)), uint8_t(Clamp255(GreenOf(c) + amount)),
                   uint8_t(Clamp255(BlueOf(c) + amount)));
}

// ---- Drawing ----

void FillGradient(ICanvas& canvas, const Rect& rect, Color endColor, Color startColor, bool vertical) {
  if (IsEmpty(rect)) return;
  const Color end = ColorToRGB(endColor), start = ColorToRGB(startColor);
  const int32_t n = vertical ? rect.Height() : rect.Width();
  auto channel = [&](int32_t e, int32_t s, int32_t k) { return n > 1 ? e + k * (s - e) / (n - 1) : e; };
  for (int32_t k = 0; k < n; ++k) {
    const Color c = MakeColor(uint8_t(channel(RedOf(end), RedOf(start), k)),
                              uint8_t(channel(GreenOf(end), GreenOf(start), k)),
                              uint8_t(channel(BlueOf(end), BlueOf(start), k)));
    // Strip k counts from the end edge (bottom or right).
    if (vertical)
      canvas.FillRect(Rect{rect.Left, rect.Bottom - 1 - k, rect.Right, rect.Bottom - k}, c);
    else
      canvas.FillRect(Rect{rect.Right - 1 - k, rect.Top, rect.Right - k, rect.Bottom}, c);
  }
}

void PutAlphaPixel(ICanvas& canvas, int32_t x, int32_t y, int32_t alpha, Color ink) {
  if (alpha <= 0) return;
  const Color c = ColorToRGB(ink);
  if (alpha >= 255) {
    canvas.SetPixel(x, y, c);
    return;
  }
  const std::optional<Color> old = canvas.GetPixel(x, y);
  if (!old) return;
  if (alpha >= 128) ++alpha;
  auto blend = [&](int32_t i, int32_t o) { return Clamp255((i * alpha + o * (256 - alpha) + 127) / 256); };
  canvas.SetPixel(x, y, MakeColor(uint8_t(blend(RedOf(c), RedOf(*old))), uint8_t(blend(GreenOf(c), GreenOf(*old))),
                                  uint8_t(blend(BlueOf(c), BlueOf(*old)))));
}

void DrawSoftCorner(ICanvas& canvas, int32_t x, int32_t y, Color ink, Corner corner) {
  static constexpr std::array<std::array<int32_t, 3>, 3> kTopLeft = {{{30, 80, 200}, {80, 200, 60}, {200, 60, 0}}};
  const bool mirrorX = corner == Corner::TopRight || corner == Corner::BottomRight;
  const bool mirrorY = corner == Corner::BottomLeft || corner == Corner::BottomRight;
  for (int32_t row = 0; row < 3; ++row)
    for (int32_t col = 0; col < 3; ++col)
      PutAlphaPixel(canvas, x + col, y + row, kTopLeft[size_t(mirrorY ? 2 - row : row)][size_t(mirrorX ? 2 - col : col)],
                    ink);
}

void DrawRingFrame(ICanvas& canvas, const Rect& rect, Color topLeft, Color bottomRight) {
  if (IsEmpty(rect)) return;
  const Color tl = ColorToRGB(topLeft), br = ColorToRGB(bottomRight);
  const int32_t l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
  canvas.Line(l, b, l, t, tl);          // left edge, bottom-left corner left for the mix
  canvas.Line(l, t, r, t, tl);          // top edge
  canvas.Line(r, t, r, b, br);          // right edge
  canvas.Line(r, b, l, b, br);          // bottom edge
  canvas.SetPixel(r, b, br);
  const Color mixed = MixColors(tl, br, 50);
  canvas.SetPixel(r, t, mixed);
  canvas.SetPixel(l, b, mixed);
}

void DrawSoftOutline(ICanvas& canvas, const Rect& rect, Color ink) {
  if (rect.Width() < 6 || rect.Height() < 6) return;
  const Color c = ColorToRGB(ink);
  const int32_t l = rect.Left, t = rect.Top, r = rect.Right - 1, b = rect.Bottom - 1;
  canvas.Line(l + 3, t, r - 2, t, c);
  canvas.Line(l + 3, b, r - 2, b, c);
  canvas.Line(l, t + 3, l, b - 2, c);
  canvas.Line(r, t + 3, r, b - 2, c);
  DrawSoftCorner(canvas, l, t, c, Corner::TopLeft);
  DrawSoftCorner(canvas, r - 2, t, c, Corner::TopRight);
  DrawSoftCorner(canvas, l, b - 2, c, Corner::BottomLeft);
  DrawSoftCorner(canvas, r - 2, b - 2, c, Corner::BottomRight);
}

void PaintSoftButtonFace(ICanvas& canvas, const Rect& rect, bool enabled, bool pressed, bool flat, bool hot) {
  Color outline = enabled ? kEnabledOutline : kDisabledOutline;
  const Rect in = Inflated(rect, -1, -1);
  if (pressed) {
    const Color s1 = ShiftColor(kBaseGrey, -20);
    const Color s2 = MixColors(s1, kLightGrey, 50);
    canvas.Line(in.Left, in.Top, in.Right, in.Top, s1);
    canvas.Line(in.Left, in.Top, in.Left, in.Bottom, s1);
    canvas.Line(in.Left + 1, in.Top + 1, in.Right, in.Top + 1, s2);
    canvas.Line(in.Left + 1, in.Top + 1, in.Left + 1, in.Bottom, s2);
    const int32_t split = std::min(in.Top + 5, in.Bottom);
    FillGradient(canvas, Rect{in.Left + 1, in.Top, in.Right, split}, s2, s1, true);
    FillGradient(canvas, Rect{in.Left + 1, split, in.Right, in.Bottom}, kLightGrey, s2, true);
    for (int32_t column = 1; column <= 2; ++column) {
      const int32_t x = in.Left + column, y = in.Top + column + 1;
      if (x >= in.Right || y >= in.Bottom) continue;
      const Color first = canvas.GetPixel(x, y).value_or(s2);
      FillGradient(canvas, Rect{x, y, x + 1, in.Bottom}, kLightGrey, first, true);
    }
    if (enabled && hot) outline = kPressedHotOutline;
  } else {
    const Rect inner = Inflated(in, -1, -1);
    if (enabled && !flat && hot) {
      DrawRingFrame(canvas, in, MixColors(kWhiteColor, kHotOrange, 75), MixColors(kWhiteColor, kHotOrange, 25));
      DrawRingFrame(canvas, inner, MixColors(kWhiteColor, kHotOrange, 85), MixColors(kWhiteColor, kHotOrange, 60));
      outline = kHotOutline;
    } else {
      DrawRingFrame(canvas, in, MakeColor(240, 240, 236), MakeColor(214, 214, 198));
      DrawRingFrame(canvas, inner, MakeColor(245, 245, 241), MakeColor(235, 235, 227));
    }
    const Rect face = Inflated(inner, -1, -1);
    if (hot)
      canvas.FillRect(face, kWhiteColor);
    else
      FillGradient(canvas, face, MakeColor(233, 232, 224), MakeColor(254, 254, 253), true);
  }
  DrawSoftOutline(canvas, rect, outline);
}

// ---- Contrast ----

namespace {

constexpr std::array<float, 3> kWeights = {195.0f, 390.0f, 65.0f};

std::array<float, 3> WeightedPoint(Color c) {
  return {float(RedOf(c)) * kWeights[0] / 255.0f, float(GreenOf(c)) * kWeights[1] / 255.0f,
          float(BlueOf(c)) * kWeights[2] / 255.0f};
}

float Length(const std::array<float, 3>& p) { return std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]); }

float Intensity(Color c) { return WeightedColorDistance(c, kBlack); }

}  // namespace

float WeightedColorDistance(Color color1, Color color2) {
  const auto p = WeightedPoint(ColorToRGB(color1)), q = WeightedPoint(ColorToRGB(color2));
  return Length({p[0] - q[0], p[1] - q[1], p[2] - q[2]});
}

float ContrastThreshold(float threshold, float intensity) {
  return intensity >= 220.0f ? threshold : threshold * (2.0f - intensity / 220.0f);
}

bool HasContrast(Color color, Color background, bool adjust, float threshold) {
  if (adjust) threshold = ContrastThreshold(threshold, Intensity(ColorToRGB(background)));
  return WeightedColorDistance(background, color) > threshold;
}

Color PushContrast(Color color, Color background, float threshold) {
  const Color c = ColorToRGB(color), bg = ColorToRGB(background);
  const float ic = Intensity(c), ib = Intensity(bg);
  const float ta = ContrastThreshold(threshold, ib);
  const bool darkwards = (ic > ib && ib >= 442.0f - ta) || (ic <= ib && ib >= ta);
  auto p = WeightedPoint(c), q = WeightedPoint(bg);
  if (!darkwards)
    for (size_t i = 0; i < 3; ++i) {
      p[i] = kWeights[i] - p[i];
      q[i] = kWeights[i] - q[i];
    }
  const float l = std::max(Length(p), 0.01f);
  float f = (p[0] * q[0] + p[1] * q[1] + p[2] * q[2]) / l;
  const std::array<float, 3> v = {p[0] * f / l - q[0], p[1] * f / l - q[1], p[2] * f / l - q[2]};
  // The colour's line passes within the threshold of the background whenever
  // the colour lacks contrast; a caller asking for more gets the nearest point.
  const float vl = Length(v);
  f -= std::sqrt(std::max(ta * ta - vl * vl, 0.0f));
  std::array<int32_t, 3> out{};
  for (size_t i = 0; i < 3; ++i) {
    float x = p[i] * f / l;
    if (!darkwards) x = kWeights[i] - x;
    x = std::clamp(x, 0.0f, kWeights[i]);
    out[i] = Clamp255(int32_t(std::floor(x * 255.0f / kWeights[i] + 0.5f)));
  }
  return MakeColor(uint8_t(out[0]), uint8_t(out[1]), uint8_t(out[2]));
}

Color EnsureContrast(Color color, Color background, float threshold) {
  const Color c = ColorToRGB(color), bg = ColorToRGB(background);
  if (HasContrast(c, bg, true, threshold)) return c;
  return PushContrast(c, bg, threshold);
}

// ---- Classic drawing ----

namespace {
// One ring of a 3-D edge along the inside of r: top and left in one colour,
// right and bottom in the other; r shrinks by a pixel on every side.
void DrawRing(ICanvas& canvas, Rect& r, Color topLeft, Color bottomRight) {
  if (IsEmpty(r)) return;
  canvas.Line(r.Left, r.Bottom - 1, r.Left, r.Top, topLeft);
  canvas.Line(r.Left, r.Top, r.Right - 1, r.Top, topLeft);
  canvas.Line(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1, bottomRight);
  canvas.Line(r.Right - 1, r.Bottom - 1, r.Left - 1, r.Bottom - 1, bottomRight);
  r = Inflated(r, -1, -1);
}
}  // namespace

void DrawClassicEdge(ICanvas& canvas, const Rect& rect, uint32_t edges, bool middle) {
  Rect r = rect;
  auto ring = [&](Color topLeft, Color bottomRight) { DrawRing(canvas, r, topLeft, bottomRight); };
  if (edges & kEdgeRaisedOuter) ring(cl3DLight, cl3DDkShadow);
  else if (edges & kEdgeSunkenOuter) ring(clBtnShadow, clBtnHighlight);
  if (edges & kEdgeRaisedInner) ring(clBtnHighlight, clBtnShadow);
  else if (edges & kEdgeSunkenInner) ring(cl3DDkShadow, cl3DLight);
  if (middle && !IsEmpty(r)) canvas.FillRect(r, clBtnFace);
}

void DrawClassicButtonFrame(ICanvas& canvas, const Rect& rect, bool pushed) {
  if (pushed) {
    // A pushed button: dark outer frame, shadow inner frame, flat face.
    Rect r = rect;
    auto frame = [&](Color c) {
      if (IsEmpty(r)) return;
      canvas.Line(r.Left, r.Top, r.Right - 1, r.Top, c);
      canvas.Line(r.Right - 1, r.Top, r.Right - 1, r.Bottom - 1, c);
      canvas.Line(r.Right - 1, r.Bottom - 1, r.Left, r.Bottom - 1, c);
      canvas.Line(r.Left, r.Bottom - 1, r.Left, r.Top, c);
      r = Inflated(r, -1, -1);
    };
    frame(cl3DDkShadow);
    frame(clBtnShadow);
    if (!IsEmpty(r)) canvas.FillRect(r, clBtnFace);
  } else {
    // Buttons take the light colours the other way round: highlight outside.
    Rect r = rect;
    auto ring = [&](Color topLeft, Color bottomRight) { DrawRing(canvas, r, topLeft, bottomRight); };
    ring(clBtnHighlight, cl3DDkShadow);
    ring(cl3DLight, clBtnShadow);
    if (!IsEmpty(r)) canvas.FillRect(r, clBtnFace);
  }
}

void FillChequered(ICanvas& canvas, const Rect& rect, Color color1, Color color2) {
  const Color c1 = ColorToRGB(color1), c2 = ColorToRGB(color2);
  for (int32_t y = rect.Top; y < rect.Bottom; ++y)
    for (int32_t x = rect.Left; x < rect.Right; ++x)
      canvas.SetPixel(x, y, ((x - rect.Left + y - rect.Top) & 1) ? c2 : c1);
}

void DrawDottedOutline(ICanvas& canvas, const Rect& rect, Color color) {
  if (IsEmpty(rect)) return;
  const Color c = ColorToRGB(color);
  int32_t i = 0;
  auto dot = [&](int32_t x, int32_t y) {
    if ((i++ & 1) == 0) canvas.SetPixel(x, y, c);
  };
  for (int32_t x = rect.Left; x < rect.Right; ++x) dot(x, rect.Top);
  for (int32_t y = rect.Top + 1; y < rect.Bottom; ++y) dot(rect.Right - 1, y);
  for (int32_t x = rect.Right - 2; x >= rect.Left; --x) dot(x, rect.Bottom - 1);
  for (int32_t y = rect.Bottom - 2; y > rect.Top; --y) dot(rect.Left, y);
}

}  // namespace kyt::controls
