// kytdcr render: text drawn with a font into a picture, for samples,
// benchmarks and tests.
#include <algorithm>
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
    "  --ink RRGGBB     colour of the text (default 000000)\n"
    "  --paper RRGGBB   colour of the background (default ffffff)\n"
    "  --frame PX       a one-pixel frame around each line, PX pixels from its\n"
    "                   ink, as around a button's label\n"
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

kyt::Color ParseColour(const std::string& text, const std::string& what) {
  unsigned value = 0;
  int used = 0;
  if (text.size() != 6 || std::sscanf(text.c_str(), "%6x%n", &value, &used) != 1 || used != 6)
    throw UsageError(what + ": '" + text + "' is not a colour RRGGBB");
  return kyt::MakeColor(uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value));
}

// Frames around the ink of every run of rows that holds ink, in black.
void FrameLines(kyt::Bitmap& page, int32_t pad) {
  auto ink = [&](int32_t x, int32_t y) { return page.Pixel(x, y) != kyt::kWhite; };
  std::vector<kyt::Rect> boxes;
  int32_t top = -1;
  for (int32_t y = 0; y <= page.Height(); ++y) {
    bool any = false;
    for (int32_t x = 0; y < page.Height() && x < page.Width() && !any; ++x) any = ink(x, y);
    if (any && top < 0) top = y;
    if (!any && top >= 0) {
      kyt::Rect b{page.Width(), top, 0, y};
      for (int32_t yy = top; yy < y; ++yy)
        for (int32_t x = 0; x < page.Width(); ++x)
          if (ink(x, yy)) b.Left = std::min(b.Left, x), b.Right = std::max(b.Right, x + 1);
      boxes.push_back(b);
      top = -1;
    }
  }
  for (const kyt::Rect& b : boxes) {
    const int32_t l = b.Left - pad - 1, t = b.Top - pad - 1, r = b.Right + pad, btm = b.Bottom + pad;
    page.FillRect(l, t, r + 1, t + 1, kyt::kBlack);
    page.FillRect(l, btm, r + 1, btm + 1, kyt::kBlack);
    page.FillRect(l, t, l + 1, btm + 1, kyt::kBlack);
    page.FillRect(r, t, r + 1, btm + 1, kyt::kBlack);
  }
}

// Grey on white becomes ink on paper: each pixel's darkness blends the two.
void Colour(kyt::Bitmap& page, kyt::Color ink, kyt::Color paper) {
  auto mix = [](uint8_t a, uint8_t b, uint8_t grey) { return uint8_t((a * (255 - grey) + b * grey + 127) / 255); };
  for (int32_t y = 0; y < page.Height(); ++y) {
    kyt::Color* row = page.Row(y);
    for (int32_t x = 0; x < page.Width(); ++x) {
      const uint8_t g = kyt::RedOf(row[x]);
      row[x] = kyt::MakeColor(mix(kyt::RedOf(ink), kyt::RedOf(paper), g), mix(kyt::GreenOf(ink), kyt::GreenOf(paper), g),
                              mix(kyt::BlueOf(ink), kyt::BlueOf(paper), g));
    }
  }
}

}  // namespace

int RunRender(const Args& args) {
  Options options(args, {{"font"}, {"size"}, {"text"}, {"word-gap"}, {"letter-gap"}, {"line-gap"}, {"margin"},
                         {"no-kerning", 0, false}, {"ink"}, {"paper"}, {"frame"}, {"output", 'o'}, {"help", 'h', false}});
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
  kyt::Bitmap page = font.RenderPage(lines, style);
  if (options.Has("frame")) FrameLines(page, options.Int("frame", 0, 0, 1000));
  const kyt::Color ink = ParseColour(options.Value("ink", "000000"), "--ink");
  const kyt::Color paper = ParseColour(options.Value("paper", "ffffff"), "--paper");
  if (ink != kyt::kBlack || paper != kyt::kWhite) Colour(page, ink, paper);
  const std::string& out = *outName;
  if (out.size() > 4 && (out.compare(out.size() - 4, 4, ".pgm") == 0 || out.compare(out.size() - 4, 4, ".PGM") == 0)) {
    WritePgm(page, out);
  } else {
    kyt::SavePng(page, out);
  }
  return 0;
}

}  // namespace kytdcr
