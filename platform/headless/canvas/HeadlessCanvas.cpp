#include "platform/headless/canvas/HeadlessCanvas.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <sys/stat.h>

#include "core/Cp1251.h"
#include "resources/ResourceBitmaps.h"

namespace kyt::headless {

using namespace kyt::controls;

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  Rect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right), std::min(a.Bottom, b.Bottom)};
  if (r.Right < r.Left) r.Right = r.Left;
  if (r.Bottom < r.Top) r.Bottom = r.Top;
  return r;
}

bool FileReadable(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

}  // namespace

// ---- Fonts ----

struct HeadlessCanvas::Face {
  FT_Face face = nullptr;
  int32_t pixelHeight = 0;
  int32_t ascent = 0, descent = 0;
  std::map<char32_t, int32_t> advances;
};

namespace {

struct FaceCache {
  FT_Library library = nullptr;
  std::map<std::pair<std::string, int32_t>, HeadlessCanvas::Face*> faces;
  FaceCache() {
    if (FT_Init_FreeType(&library) != 0) library = nullptr;
  }
  ~FaceCache() {
    for (auto& [key, face] : faces) {
      if (face->face) FT_Done_Face(face->face);
      delete face;
    }
    if (library) FT_Done_FreeType(library);
  }
};

FaceCache& Faces() {
  static FaceCache cache;
  return cache;
}

}  // namespace

std::string HeadlessCanvas::FontFileFor(const FontSpec& font) {
  const std::string name = Lower(font.Name);
  std::string family = "Sans";
  if (name.find("courier") != std::string::npos || name.find("mono") != std::string::npos ||
      name.find("fixedsys") != std::string::npos)
    family = "Mono";
  else if (name.find("times") != std::string::npos || name.find("serif") != std::string::npos)
    family = name.find("sans") != std::string::npos ? "Sans" : "Serif";
  std::string style = font.Bold ? (font.Italic ? "BoldItalic" : "Bold") : (font.Italic ? "Italic" : "Regular");
  const std::string liberation = "/usr/share/fonts/truetype/liberation/Liberation" + family + "-" + style + ".ttf";
  if (FileReadable(liberation)) return liberation;
  const std::string dejavu = "/usr/share/fonts/truetype/dejavu/DejaVu" + family + (font.Bold ? "-Bold" : "") + ".ttf";
  if (FileReadable(dejavu)) return dejavu;
  return std::string();
}

namespace {

HeadlessCanvas::Face* FaceFor(const FontSpec& font) {
  FaceCache& cache = Faces();
  const std::string file = HeadlessCanvas::FontFileFor(font);
  const int32_t height = std::max(font.Height, 1);
  auto key = std::make_pair(file, height);
  auto it = cache.faces.find(key);
  if (it != cache.faces.end()) return it->second;
  auto* f = new HeadlessCanvas::Face;
  f->pixelHeight = height;
  if (cache.library && !file.empty() && FT_New_Face(cache.library, file.c_str(), 0, &f->face) == 0) {
    FT_Set_Pixel_Sizes(f->face, 0, FT_UInt(height));
    f->ascent = int32_t((f->face->size->metrics.ascender + 63) >> 6);
    f->descent = int32_t((-f->face->size->metrics.descender + 63) >> 6);
  } else {
    f->face = nullptr;
    f->ascent = height;
    f->descent = height / 4;
  }
  cache.faces.emplace(key, f);
  return f;
}

int32_t Advance(HeadlessCanvas::Face& f, char32_t cp) {
  auto it = f.advances.find(cp);
  if (it != f.advances.end()) return it->second;
  int32_t a = f.pixelHeight / 2;
  if (f.face && FT_Load_Char(f.face, cp, FT_LOAD_DEFAULT | FT_LOAD_TARGET_MONO) == 0)
    a = int32_t((f.face->glyph->advance.x + 32) >> 6);
  f.advances.emplace(cp, a);
  return a;
}

}  // namespace

// ---- Text layout, after the system's DrawText ----

struct HeadlessCanvas::Layout {
  struct Glyph {
    char32_t cp;
    int32_t x;        // pen position within the line
    bool underline;   // the accelerator letter
  };
  struct LineOut {
    std::vector<Glyph> glyphs;
    int32_t width = 0;
  };
  std::vector<LineOut> lines;
  int32_t lineHeight = 0;
  int32_t width = 0;
};

HeadlessCanvas::Layout HeadlessCanvas::LayOut(std::string_view text, const Rect& bounds, uint32_t flags) {
  Layout out;
  Face& f = *face_;
  out.lineHeight = f.ascent + f.descent;
  const bool single = flags & kTextSingleLine;
  const bool prefix = !(flags & kTextNoPrefix);
  const int32_t tabWidth = 8 * std::max(Advance(f, U'x'), 1);

  // Characters, with prefix processing and line breaks.
  struct Char {
    char32_t cp;
    bool underline;
    bool lineBreak;
  };
  std::vector<Char> chars;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    bool underline = false;
    if (prefix && b == '&') {
      if (i + 1 >= text.size()) break;
      ++i;
      b = static_cast<unsigned char>(text[i]);
      underline = b != '&';
    }
    if (b == '\r') {
      if (!single && !(i + 1 < text.size() && text[i + 1] == '\n')) chars.push_back({0, false, true});
      continue;
    }
    if (b == '\n') {
      if (!single) chars.push_back({0, false, true});
      continue;
    }
    chars.push_back({kyt::Cp1251ToCodePoint(b), underline, false});
  }

  const int32_t maxWidth = bounds.Width();
  Layout::LineOut line;
  int32_t x = 0;
  auto finish = [&] {
    line.width = x;
    out.width = std::max(out.width, x);
    out.lines.push_back(std::move(line));
    line = Layout::LineOut();
    x = 0;
  };
  for (size_t i = 0; i < chars.size(); ++i) {
    const Char& c = chars[i];
    if (c.lineBreak) {
      finish();
      continue;
    }
    if (c.cp == U'\t' && (flags & kTextExpandTabs)) {
      x = (x / tabWidth + 1) * tabWidth;
      continue;
    }
    if ((flags & kTextWordBreak) && !single && c.cp != U' ' && (i == 0 || chars[i - 1].cp == U' ' || chars[i - 1].lineBreak)) {
      // At the start of a word: break before it when it does not fit.
      int32_t w = 0;
      for (size_t j = i; j < chars.size() && !chars[j].lineBreak && chars[j].cp != U' '; ++j) w += Advance(f, chars[j].cp);
      if (x > 0 && x + w > maxWidth) {
        while (!line.glyphs.empty() && line.glyphs.back().cp == U' ') {
          x = line.glyphs.back().x;
          line.glyphs.pop_back();
        }
        finish();
      }
    }
    if ((flags & kTextWordBreak) && !single && x == 0 && c.cp == U' ' && !out.lines.empty()) continue;
    line.glyphs.push_back({c.cp, x, c.underline});
    x += Advance(f, c.cp);
  }
  finish();
  return out;
}

int32_t HeadlessCanvas::TextHeight(std::string_view) { return face_->ascent + face_->descent; }

int32_t HeadlessCanvas::TextWidth(std::string_view text) {
  int32_t w = 0;
  for (char c : text) w += Advance(*face_, kyt::Cp1251ToCodePoint(static_cast<unsigned char>(c)));
  return w;
}

Rect HeadlessCanvas::MeasureText(std::string_view text, const Rect& bounds, uint32_t flags) {
  Rect r = bounds;
  if (text.empty()) {
    r.Right = r.Left;
    r.Bottom = r.Top + ((flags & kTextSingleLine) ? TextHeight("M") : 0);
    return r;
  }
  const Layout l = LayOut(text, bounds, flags);
  r.Right = r.Left + l.width;
  r.Bottom = r.Top + l.lineHeight * int32_t(l.lines.size());
  return r;
}

void HeadlessCanvas::DrawText(std::string_view text, const Rect& bounds, uint32_t flags, std::optional<Color> color) {
  if (text.empty()) return;
  const Color ink = ColorToRGB(color.value_or(font_.Color));
  const Layout l = LayOut(text, bounds, flags);
  const Rect absBounds = Moved(bounds, state_.originX, state_.originY);
  const Rect clip = (flags & kTextNoClip) ? state_.clip : Intersect(state_.clip, absBounds);
  int32_t top = bounds.Top;
  const int32_t total = l.lineHeight * int32_t(l.lines.size());
  if (flags & kTextSingleLine) {
    if (flags & kTextVCenter) top = bounds.Top + (bounds.Height() - total) / 2;
    else if (flags & kTextBottom) top = bounds.Bottom - total;
  }
  Face& f = *face_;
  for (const auto& line : l.lines) {
    int32_t left = bounds.Left;
    if (flags & kTextCenter) left = bounds.Left + (bounds.Width() - line.width) / 2;
    else if (flags & kTextRight) left = bounds.Right - line.width;
    const int32_t baseline = top + f.ascent;
    for (const auto& g : line.glyphs) {
      const int32_t penX = state_.originX + left + g.x, penY = state_.originY + baseline;
      if (f.face && FT_Load_Char(f.face, g.cp, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO | FT_LOAD_MONOCHROME) == 0) {
        const FT_GlyphSlot s = f.face->glyph;
        const FT_Bitmap& bm = s->bitmap;
        for (unsigned row = 0; row < bm.rows; ++row)
          for (unsigned col = 0; col < bm.width; ++col) {
            const unsigned char* p = bm.buffer + int64_t(row) * bm.pitch;
            const bool on = bm.pixel_mode == FT_PIXEL_MODE_MONO ? (p[col >> 3] & (0x80 >> (col & 7))) != 0 : p[col] >= 128;
            if (on) PutPixel(penX + s->bitmap_left + int32_t(col), penY - s->bitmap_top + int32_t(row), ink, clip);
          }
      }
      if (g.underline) {
        const int32_t w = Advance(f, g.cp);
        for (int32_t i = 0; i < w; ++i) PutPixel(penX + i, penY + 1, ink, clip);
      }
    }
    top += l.lineHeight;
  }
}

// ---- Pixels and shapes ----

HeadlessCanvas::HeadlessCanvas(Bitmap& target) : target_(target) {
  state_.clip = Rect{0, 0, target.Width(), target.Height()};
  face_ = FaceFor(font_);
}

HeadlessCanvas::~HeadlessCanvas() = default;

void HeadlessCanvas::PutPixel(int32_t tx, int32_t ty, Color c, const Rect& clip) {
  if (Contains(clip, tx, ty) && tx >= 0 && ty >= 0 && tx < target_.Width() && ty < target_.Height())
    target_.SetPixel(tx, ty, c & 0xFFFFFF);
}

std::optional<Color> HeadlessCanvas::GetPixel(int32_t x, int32_t y) {
  const int32_t tx = x + state_.originX, ty = y + state_.originY;
  if (!Contains(state_.clip, tx, ty) || tx < 0 || ty < 0 || tx >= target_.Width() || ty >= target_.Height())
    return std::nullopt;
  return target_.Pixel(tx, ty);
}

void HeadlessCanvas::SetPixel(int32_t x, int32_t y, Color c) {
  PutPixel(x + state_.originX, y + state_.originY, ColorToRGB(c), state_.clip);
}

void HeadlessCanvas::FillRect(const Rect& r, Color c) {
  const Rect a = Intersect(Moved(r, state_.originX, state_.originY), state_.clip);
  target_.FillRect(a.Left, a.Top, a.Right, a.Bottom, ColorToRGB(c));
}

void HeadlessCanvas::Line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Color pen) {
  const Color c = ColorToRGB(pen);
  const int32_t dx = std::abs(x2 - x1), dy = -std::abs(y2 - y1);
  const int32_t sx = x1 < x2 ? 1 : -1, sy = y1 < y2 ? 1 : -1;
  int32_t err = dx + dy, x = x1, y = y1;
  while (x != x2 || y != y2) {
    SetPixel(x, y, c);
    const int32_t e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void HeadlessCanvas::RoundRect(const Rect& r, int32_t diameter, Color pen, std::optional<Color> brush) {
  if (IsEmpty(r)) return;
  const Color p = ColorToRGB(pen);
  const double rad = std::min({double(diameter) / 2.0, r.Width() / 2.0, r.Height() / 2.0});
  auto inside = [&](int32_t x, int32_t y) {
    if (!Contains(r, x, y)) return false;
    const double px = x + 0.5, py = y + 0.5;
    const double cx = std::clamp(px, r.Left + rad, r.Right - rad), cy = std::clamp(py, r.Top + rad, r.Bottom - rad);
    return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= rad * rad + 0.25;
  };
  const bool filled = brush.has_value();
  const Color b = filled ? ColorToRGB(*brush) : 0;
  for (int32_t y = r.Top; y < r.Bottom; ++y)
    for (int32_t x = r.Left; x < r.Right; ++x) {
      if (!inside(x, y)) continue;
      const bool edge = !inside(x - 1, y) || !inside(x + 1, y) || !inside(x, y - 1) || !inside(x, y + 1);
      if (edge)
        SetPixel(x, y, p);
      else if (filled)
        SetPixel(x, y, b);
    }
}

void HeadlessCanvas::SetFont(const FontSpec& font) {
  font_ = font;
  face_ = FaceFor(font);
}

void HeadlessCanvas::DrawImage(const ImageList& list, int32_t index, int32_t x, int32_t y,
                               std::optional<Color> background) {
  if (index < 0 || index >= list.Count()) return;
  const Bitmap& image = list.Image(index);
  const bool fill = background.has_value();
  const Color bg = fill ? ColorToRGB(*background) : 0;
  for (int32_t iy = 0; iy < list.Height(); ++iy)
    for (int32_t ix = 0; ix < list.Width(); ++ix) {
      if (list.Opaque(index, ix, iy))
        SetPixel(x + ix, y + iy, image.Pixel(ix, iy));
      else if (fill)
        SetPixel(x + ix, y + iy, bg);
    }
}

void HeadlessCanvas::Save() { saved_.push_back(state_); }

void HeadlessCanvas::Restore() {
  if (saved_.empty()) return;
  state_ = saved_.back();
  saved_.pop_back();
}

void HeadlessCanvas::Offset(int32_t dx, int32_t dy) {
  state_.originX += dx;
  state_.originY += dy;
}

void HeadlessCanvas::Clip(const Rect& r) { state_.clip = Intersect(state_.clip, Moved(r, state_.originX, state_.originY)); }

// ---- Resources and files ----

std::optional<Bitmap> HeadlessGraphics::LoadBitmapResource(const std::string& name) {
  const resources::BitmapData* data = resources::FindBitmap(name);
  if (!data) return std::nullopt;
  Bitmap b(data->width, data->height);
  for (int32_t y = 0; y < data->height; ++y)
    for (int32_t x = 0; x < data->width; ++x) b.SetPixel(x, y, data->pixels[size_t(y) * size_t(data->width) + size_t(x)]);
  return b;
}

bool WritePng(const Bitmap& bitmap, const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = png_uint_32(bitmap.Width());
  image.height = png_uint_32(bitmap.Height());
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(size_t(bitmap.Width()) * size_t(bitmap.Height()) * 3);
  size_t i = 0;
  for (int32_t y = 0; y < bitmap.Height(); ++y)
    for (int32_t x = 0; x < bitmap.Width(); ++x) {
      const Color c = bitmap.Pixel(x, y);
      rgb[i++] = RedOf(c);
      rgb[i++] = GreenOf(c);
      rgb[i++] = BlueOf(c);
    }
  const int ok = png_image_write_to_file(&image, path.c_str(), 0, rgb.data(), 0, nullptr);
  png_image_free(&image);
  return ok != 0;
}

}  // namespace kyt::headless
