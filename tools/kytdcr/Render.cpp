// kytdcr render: text drawn with a font into a picture, for samples,
// benchmarks and tests.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "Commands.h"
#include "FontGlyphs.h"
#include "Options.h"
#include "Text.h"
#include "core/Error.h"
#include "window/PictureLoader.h"

namespace kytdcr {
namespace {

const char* const kHelp =
    "Usage: kytdcr render --font FONT --size PX [OPTIONS] -o PICTURE [TEXTFILE]\n"
    "\n"
    "Draws UTF-8 text (TEXTFILE, '-' or no file for standard input, or --text)\n"
    "in black on white, one picture line per text line, anti-aliased, and\n"
    "writes it as PNG, or as PGM when PICTURE ends in .pgm.\n"
    "\n"
    "Options:\n"
    "  --font FONT      a font file, or a font name such as DejaVuSans\n"
    "  --size PX        font size in pixels (em height)\n"
    "  --text TEXT      the text itself ('\\n' in it is not special)\n"
    "  --word-gap PX    extra pixels added to each space (default 0)\n"
    "  --letter-gap PX  extra pixels after each character (default 0)\n"
    "  --line-gap PX    extra pixels between lines (default 0)\n"
    "  --margin PX      white border (default 16)\n"
    "  --no-kerning     ignore the font's kerning\n"
    "  -o FILE          the picture to write (required)\n"
    "  -h, --help       show this help\n";

void WritePgm(const kyt::Bitmap& b, const std::string& fileName) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) throw kyt::Error("cannot write " + fileName);
  out << "P5\n" << b.Width() << ' ' << b.Height() << "\n255\n";
  std::string row(size_t(b.Width()), '\0');
  for (int32_t y = 0; y < b.Height(); ++y) {
    for (int32_t x = 0; x < b.Width(); ++x) {
      const kyt::Color c = b.Pixel(x, y);
      row[size_t(x)] = char((kyt::RedOf(c) * 299 + kyt::GreenOf(c) * 587 + kyt::BlueOf(c) * 114 + 500) / 1000);
    }
    out.write(row.data(), std::streamsize(row.size()));
  }
  if (!out.flush()) throw kyt::Error("cannot write " + fileName);
}

}  // namespace

int RunRender(const Args& args) {
  Options options(args, {{"font"}, {"size"}, {"text"}, {"word-gap"}, {"letter-gap"}, {"line-gap"}, {"margin"},
                         {"no-kerning", 0, false}, {"output", 'o'}, {"help", 'h', false}});
  if (options.Has("help")) {
    std::fputs(kHelp, stdout);
    return 0;
  }
  const auto fontName = options.Value("font");
  if (!fontName) throw UsageError("no font given (--font)");
  if (!options.Has("size")) throw UsageError("no size given (--size)");
  const auto outName = options.Value("output");
  if (!outName) throw UsageError("no output file given (-o)");
  if (options.Positional().size() > 1) throw UsageError("give at most one text file");
  if (options.Has("text") && !options.Positional().empty()) throw UsageError("give --text or a text file, not both");

  PageStyle style;
  style.wordGap = options.Int("word-gap", 0, -100, 1000);
  style.letterGap = options.Int("letter-gap", 0, -100, 1000);
  style.lineGap = options.Int("line-gap", 0, -100, 1000);
  style.margin = options.Int("margin", 16, 0, 10000);
  style.kerning = !options.Has("no-kerning");
  const int32_t size = options.Int("size", 0, 4, 512);

  std::string text;
  if (auto t = options.Value("text")) {
    text = *t;
  } else if (options.Positional().empty() || options.Positional()[0] == "-") {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  } else {
    std::ifstream in(options.Positional()[0], std::ios::binary);
    if (!in) throw kyt::Error("cannot read " + options.Positional()[0]);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::vector<std::u32string> lines;
  std::u32string current;
  for (char32_t c : Utf8ToCodePoints(text)) {
    if (c == U'\n') {
      lines.push_back(current);
      current.clear();
    } else if (c != U'\r') {
      current += c;
    }
  }
  if (!current.empty()) lines.push_back(current);
  if (lines.empty()) throw kyt::Error("no text to render");

  Font font(FindFontFile(*fontName));
  font.SetPixelSize(size);
  for (const auto& line : lines)
    for (char32_t c : line)
      if (c != U' ' && !font.HasGlyph(c))
        std::fprintf(stderr, "kytdcr render: warning: %s has no glyph for %s\n", font.FamilyName().c_str(),
                     DescribeCodePoint(c).c_str());
  const kyt::Bitmap page = font.RenderPage(lines, style);
  const std::string& out = *outName;
  if (out.size() > 4 && (out.compare(out.size() - 4, 4, ".pgm") == 0 || out.compare(out.size() - 4, 4, ".PGM") == 0)) {
    WritePgm(page, out);
  } else {
    kyt::SavePng(page, out);
  }
  return 0;
}

}  // namespace kytdcr
