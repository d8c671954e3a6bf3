#include "FontGlyphs.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "core/AsciiCase.h"
#include "core/Error.h"

namespace kytdcr {

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
};

namespace {

std::string FreeTypeMessage(FT_Error error) {
  const char* text = FT_Error_String(error);
  return text != nullptr ? text : "FreeType error " + std::to_string(error);
}

// Draws a rendered FreeType bitmap with its top-left corner at (x, y): darker wins.
void Blit(kyt::Bitmap& page, const FT_Bitmap& bitmap, int32_t x, int32_t y) {
  for (unsigned row = 0; row < bitmap.rows; ++row) {
    int32_t py = y + int32_t(row);
    if (py < 0 || py >= page.Height()) continue;
    const unsigned char* src = bitmap.buffer + ptrdiff_t(row) * bitmap.pitch;
    for (unsigned col = 0; col < bitmap.width; ++col) {
      int32_t px = x + int32_t(col);
      if (px < 0 || px >= page.Width()) continue;
      uint8_t grey = uint8_t(255 - src[col]);
      if (grey < kyt::RedOf(page.Pixel(px, py))) page.SetPixel(px, py, kyt::MakeColor(grey, grey, grey));
    }
  }
}

}  // namespace

Font::Font(const std::string& fileName) : impl_(std::make_unique<Impl>()), fileName_(fileName) {
  if (FT_Error e = FT_Init_FreeType(&impl_->library)) throw kyt::Error("FreeType: " + FreeTypeMessage(e));
  if (FT_Error e = FT_New_Face(impl_->library, fileName.c_str(), 0, &impl_->face)) {
    FT_Done_FreeType(impl_->library);
    throw kyt::Error("cannot read font " + fileName + ": " + FreeTypeMessage(e));
  }
  FT_Select_Charmap(impl_->face, FT_ENCODING_UNICODE);
}

Font::~Font() {
  if (impl_->face != nullptr) FT_Done_Face(impl_->face);
  if (impl_->library != nullptr) FT_Done_FreeType(impl_->library);
}

std::string Font::FamilyName() const {
  std::string name = impl_->face->family_name != nullptr ? impl_->face->family_name : "?";
  if (impl_->face->style_name != nullptr && std::string(impl_->face->style_name) != "Regular" &&
      std::string(impl_->face->style_name) != "Book") {
    name += std::string(" ") + impl_->face->style_name;
  }
  return name;
}

void Font::SetPixelSize(int32_t pixels) {
  if (pixels < 4 || pixels > 512) throw kyt::Error("font size " + std::to_string(pixels) + " is outside 4..512 pixels");
  if (FT_Error e = FT_Set_Pixel_Sizes(impl_->face, 0, FT_UInt(pixels))) {
    throw kyt::Error("cannot size font " + fileName_ + ": " + FreeTypeMessage(e));
  }
  pixelSize_ = pixels;
}

bool Font::HasGlyph(char32_t c) const { return FT_Get_Char_Index(impl_->face, FT_ULong(c)) != 0; }

kyt::Bitmap Font::RenderGlyph(char32_t c, int32_t margin, int32_t shift64) {
  FT_Face face = impl_->face;
  FT_Vector delta{shift64, 0};
  FT_Set_Transform(face, nullptr, &delta);
  FT_Error e = FT_Load_Char(face, FT_ULong(c), FT_LOAD_RENDER);
  FT_Set_Transform(face, nullptr, nullptr);
  if (e) throw kyt::Error("cannot render " + std::to_string(unsigned(c)) + " with " + fileName_ + ": " + FreeTypeMessage(e));
  const FT_Bitmap& bm = face->glyph->bitmap;
  if (bm.width == 0 || bm.rows == 0) return {};
  kyt::Bitmap out(int32_t(bm.width) + 2 * margin, int32_t(bm.rows) + 2 * margin);
  Blit(out, bm, margin, margin);
  return out;
}

kyt::Bitmap Font::RenderPage(const std::vector<std::u32string>& lines, const PageStyle& style) {
  FT_Face face = impl_->face;
  const bool kerning = style.kerning && FT_HAS_KERNING(face);
  const int32_t ascender = int32_t(face->size->metrics.ascender >> 6);
  const int32_t lineHeight = int32_t(face->size->metrics.height >> 6) + style.lineGap;

  // Pen positions in whole pixels; the same walk measures and draws.
  auto walk = [&](const std::u32string& line, auto&& draw) {
    int32_t pen = 0;
    FT_UInt previous = 0;
    for (char32_t c : line) {
      FT_UInt index = FT_Get_Char_Index(face, FT_ULong(c));
      if (kerning && previous != 0 && index != 0) {
        FT_Vector k;
        if (FT_Get_Kerning(face, previous, index, FT_KERNING_DEFAULT, &k) == 0) pen += int32_t(k.x >> 6);
      }
      if (FT_Error e = FT_Load_Glyph(face, index, FT_LOAD_RENDER)) {
        throw kyt::Error("cannot render with " + fileName_ + ": " + FreeTypeMessage(e));
      }
      draw(pen, face->glyph);
      pen += int32_t((face->glyph->advance.x + 32) >> 6) + style.letterGap;
      if (c == U' ') pen += style.wordGap;
      previous = index;
    }
    return pen;
  };

  int32_t width = 0;
  for (const auto& line : lines) {
    int32_t right = 0;
    int32_t pen = walk(line, [&](int32_t x, FT_GlyphSlot g) {
      right = std::max(right, x + g->bitmap_left + int32_t(g->bitmap.width));
    });
    width = std::max({width, pen, right});
  }
  kyt::Bitmap page(width + 2 * style.margin, int32_t(lines.size()) * lineHeight + 2 * style.margin);
  for (size_t i = 0; i < lines.size(); ++i) {
    int32_t baseline = style.margin + int32_t(i) * lineHeight + ascender;
    walk(lines[i], [&](int32_t x, FT_GlyphSlot g) {
      Blit(page, g->bitmap, style.margin + x + g->bitmap_left, baseline - g->bitmap_top);
    });
  }
  return page;
}

std::string FindFontFile(const std::string& nameOrPath) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::is_regular_file(nameOrPath, ec)) return nameOrPath;
  auto lower = [](std::string s) {
    s = kyt::AsciiLower(s);
    return s;
  };
  const std::string wanted = lower(nameOrPath);
  std::vector<fs::path> roots = {"/usr/share/fonts", "/usr/local/share/fonts"};
  if (const char* home = std::getenv("HOME")) roots.push_back(fs::path(home) / ".fonts");
  std::vector<fs::path> found;
  for (const auto& root : roots) {
    if (!fs::is_directory(root, ec)) continue;
    for (auto it = fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      const fs::path& p = it->path();
      std::string ext = lower(p.extension().string());
      if ((ext == ".ttf" || ext == ".otf") && lower(p.stem().string()) == wanted) found.push_back(p);
    }
  }
  if (found.empty()) throw kyt::Error("font '" + nameOrPath + "' not found (give a file or a name such as DejaVuSans)");
  std::sort(found.begin(), found.end());
  return found.front().string();
}

}  // namespace kytdcr
