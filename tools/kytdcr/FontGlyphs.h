#pragma once
// Text rendering with FreeType: single glyphs for training and whole pages for
// samples and benchmarks. Glyphs are hinted and placed at whole pixels, so a
// glyph drawn alone has exactly the pixels it has inside a line of text.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace kytdcr {

struct PageStyle {
  int32_t margin = 16;      // white border around the text, pixels
  int32_t letterGap = 0;    // extra pixels after every glyph
  int32_t wordGap = 0;      // extra pixels added to every space
  int32_t lineGap = 0;      // extra pixels between lines
  bool kerning = true;
};

class Font {
 public:
  // Opens a font file; raises kyt::Error when FreeType cannot read it.
  explicit Font(const std::string& fileName);
  ~Font();
  Font(const Font&) = delete;
  Font& operator=(const Font&) = delete;

  const std::string& FileName() const { return fileName_; }
  std::string FamilyName() const;

  void SetPixelSize(int32_t pixels);
  int32_t PixelSize() const { return pixelSize_; }
  bool HasGlyph(char32_t c) const;

  // One glyph, grey anti-aliased on white, with `margin` white pixels around its
  // ink box. `shift64` moves the outline right by shift64/64 pixel before
  // rasterising. Returns an empty bitmap for a glyph without ink (space).
  kyt::Bitmap RenderGlyph(char32_t c, int32_t margin, int32_t shift64 = 0);

  // Lines of text, top to bottom, on one white page.
  kyt::Bitmap RenderPage(const std::vector<std::u32string>& lines, const PageStyle& style);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::string fileName_;
  int32_t pixelSize_ = 0;
};

// A font file path: `nameOrPath` itself when it is a file, otherwise the first
// *.ttf / *.otf whose name without extension equals it (any letter case) under
// the system font folders. Raises kyt::Error when nothing is found.
std::string FindFontFile(const std::string& nameOrPath);

}  // namespace kytdcr
