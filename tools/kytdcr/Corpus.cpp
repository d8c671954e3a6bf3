#include "Corpus.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>

#include "Segmentation.h"
#include "core/Error.h"
#include "recognition/DCRFra.h"

namespace kytdcr {

struct LineRenderer::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  std::string file;
};

namespace {

std::string FtMessage(FT_Error error) {
  const char* text = FT_Error_String(error);
  return text != nullptr ? text : "FreeType error " + std::to_string(error);
}

struct Placed {
  int32_t left = 0, top = 0;  // top-left in pixels, relative to pen origin row = baseline
  int32_t width = 0, rows = 0;
  std::vector<uint8_t> coverage;
};

// Separable Gaussian blur of a coverage plane.
void Blur(std::vector<float>& plane, int32_t w, int32_t h, double sigma) {
  const int32_t r = std::max(1, int32_t(std::ceil(sigma * 2.5)));
  std::vector<float> k(size_t(2 * r + 1));
  float sum = 0.0f;
  for (int32_t i = -r; i <= r; ++i) sum += k[size_t(i + r)] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
  for (float& v : k) v /= sum;
  std::vector<float> tmp(plane.size(), 0.0f);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      float s = 0.0f;
      for (int32_t i = -r; i <= r; ++i) {
        const int32_t xx = std::clamp(x + i, 0, w - 1);
        s += k[size_t(i + r)] * plane[size_t(y) * size_t(w) + size_t(xx)];
      }
      tmp[size_t(y) * size_t(w) + size_t(x)] = s;
    }
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      float s = 0.0f;
      for (int32_t i = -r; i <= r; ++i) {
        const int32_t yy = std::clamp(y + i, 0, h - 1);
        s += k[size_t(i + r)] * tmp[size_t(yy) * size_t(w) + size_t(x)];
      }
      plane[size_t(y) * size_t(w) + size_t(x)] = s;
    }
}

}  // namespace

LineRenderer::LineRenderer(const std::string& fontFile) : impl_(std::make_unique<Impl>()) {
  impl_->file = fontFile;
  if (FT_Error e = FT_Init_FreeType(&impl_->library)) throw kyt::Error("FreeType: " + FtMessage(e));
  if (FT_Error e = FT_New_Face(impl_->library, fontFile.c_str(), 0, &impl_->face)) {
    FT_Done_FreeType(impl_->library);
    impl_->library = nullptr;
    throw kyt::Error("cannot read font " + fontFile + ": " + FtMessage(e));
  }
  FT_Select_Charmap(impl_->face, FT_ENCODING_UNICODE);
}

LineRenderer::~LineRenderer() {
  if (impl_->face != nullptr) FT_Done_Face(impl_->face);
  if (impl_->library != nullptr) FT_Done_FreeType(impl_->library);
}

bool LineRenderer::HasGlyph(char32_t c) const { return FT_Get_Char_Index(impl_->face, FT_ULong(c)) != 0; }

std::string LineRenderer::FamilyName() const {
  FT_Face f = impl_->face;
  std::string name = f->family_name != nullptr ? f->family_name : "?";
  if (f->style_name != nullptr && std::string(f->style_name) != "Regular" && std::string(f->style_name) != "Book")
    name += std::string(" ") + f->style_name;
  return name;
}

LabelledLine LineRenderer::Render(const std::u32string& text, const LineStyle& style) {
  if (!(style.pixelSize >= 4.0 && style.pixelSize <= 512.0)) {
    throw kyt::Error("font size " + std::to_string(style.pixelSize) + " is outside 4..512 pixels");
  }
  FT_Face face = impl_->face;
  if (FT_Error e = FT_Set_Char_Size(face, 0, FT_F26Dot6(std::lround(style.pixelSize * 64.0)), 72, 72)) {
    throw kyt::Error("cannot size font " + impl_->file + ": " + FtMessage(e));
  }
  FT_Matrix matrix;
  matrix.xx = FT_Fixed(std::lround(style.xScale * 65536.0));
  matrix.xy = FT_Fixed(std::lround(style.slant * 65536.0));
  matrix.yx = 0;
  matrix.yy = 0x10000;
  const FT_Int32 flags = FT_LOAD_NO_BITMAP | (style.hinting ? FT_LOAD_DEFAULT : FT_LOAD_NO_HINTING);
  const bool kerning = FT_HAS_KERNING(face);

  std::vector<Placed> glyphs(text.size());
  double pen = style.hinting ? std::round(style.startX) : style.startX;
  FT_UInt previous = 0;
  int32_t above = int32_t(face->size->metrics.ascender >> 6), below = int32_t((-face->size->metrics.descender) >> 6);
  int32_t right = 0;
  for (size_t k = 0; k < text.size(); ++k) {
    const FT_UInt index = FT_Get_Char_Index(face, FT_ULong(text[k]));
    if (kerning && previous != 0 && index != 0) {
      FT_Vector kern;
      if (FT_Get_Kerning(face, previous, index, style.hinting ? FT_KERNING_DEFAULT : FT_KERNING_UNFITTED, &kern) == 0)
        pen += double(kern.x) / 64.0 * style.xScale;
    }
    previous = index;
    const double whole = std::floor(pen);
    FT_Vector delta{FT_Pos(std::lround((pen - whole) * 64.0)), 0};
    FT_Set_Transform(face, &matrix, &delta);
    FT_Error e = FT_Load_Glyph(face, index, flags);
    FT_Set_Transform(face, nullptr, nullptr);
    if (e) throw kyt::Error("cannot render with " + impl_->file + ": " + FtMessage(e));
    FT_GlyphSlot slot = face->glyph;
    if (slot->format == FT_GLYPH_FORMAT_OUTLINE && style.embolden != 0.0)
      FT_Outline_Embolden(&slot->outline, FT_Pos(std::lround(style.embolden * 64.0)));
    if ((e = FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL))) {
      throw kyt::Error("cannot render with " + impl_->file + ": " + FtMessage(e));
    }
    const FT_Bitmap& bm = slot->bitmap;
    Placed& g = glyphs[k];
    g.left = int32_t(whole) + slot->bitmap_left;
    g.top = slot->bitmap_top;
    g.width = int32_t(bm.width);
    g.rows = int32_t(bm.rows);
    g.coverage.resize(size_t(g.width) * size_t(g.rows));
    for (int32_t r = 0; r < g.rows; ++r)
      for (int32_t c = 0; c < g.width; ++c)
        g.coverage[size_t(r) * size_t(g.width) + size_t(c)] = bm.buffer[ptrdiff_t(r) * bm.pitch + c];
    if (g.width > 0) {
      above = std::max(above, g.top);
      below = std::max(below, g.rows - g.top);
      right = std::max(right, g.left + g.width);
    }
    double advance = double(slot->advance.x) / 64.0;
    if (style.hinting) advance = std::round(advance);
    pen += advance + style.letterGap;
  }
  int32_t minLeft = 0;
  for (const Placed& g : glyphs)
    if (g.width > 0) minLeft = std::min(minLeft, g.left);
  const int32_t m = style.margin;
  const int32_t width = std::max(right, int32_t(std::ceil(pen))) - minLeft + 2 * m;
  const int32_t height = above + below + 2 * m;
  const int32_t baseline = m + above;

  std::vector<float> cover(size_t(width) * size_t(height), 0.0f), best(cover.size(), 0.0f);
  LabelledLine out;
  out.labels.assign(cover.size(), -1);
  for (size_t k = 0; k < glyphs.size(); ++k) {
    const Placed& g = glyphs[k];
    for (int32_t r = 0; r < g.rows; ++r) {
      const int32_t y = baseline - g.top + r;
      if (y < 0 || y >= height) continue;
      for (int32_t c = 0; c < g.width; ++c) {
        const int32_t x = m - minLeft + g.left + c;
        if (x < 0 || x >= width) continue;
        const float a = float(g.coverage[size_t(r) * size_t(g.width) + size_t(c)]) / 255.0f;
        if (a <= 0.0f) continue;
        const size_t p = size_t(y) * size_t(width) + size_t(x);
        cover[p] = 1.0f - (1.0f - cover[p]) * (1.0f - a);
        if (a > best[p]) best[p] = a, out.labels[p] = int32_t(k);
      }
    }
  }
  if (style.blur > 0.0) Blur(cover, width, height, style.blur);
  std::mt19937 rng(style.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  out.picture = kyt::Bitmap(width, height);
  const double span = double(style.paper - style.ink);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x) {
      double v = style.paper - span * cover[size_t(y) * size_t(width) + size_t(x)];
      if (style.noise > 0.0) v += style.noise * gauss(rng);
      const uint8_t grey = uint8_t(std::clamp(std::lround(v), 0L, 255L));
      out.picture.SetPixel(x, y, kyt::MakeColor(grey, grey, grey));
    }
  std::uniform_int_distribution<int32_t> px(0, width - 2), py(0, height - 2), dot(1, 2);
  for (int32_t s = 0; s < style.speckles; ++s) {
    const int32_t x = px(rng), y = py(rng), d = dot(rng);
    const uint8_t grey = uint8_t(std::clamp(style.ink, 0, 255));
    out.picture.FillRect(x, y, x + d, y + d, kyt::MakeColor(grey, grey, grey));
  }
  return out;
}

namespace {

// The characters of a glyph of touching ones, cut apart at the emptiest column
// between neighbouring characters' centres (the page reader cuts at column
// profile minima). `left` and `top` place the glyph's word-relative pixels in
// the line picture.
void AppendCutParts(const kyt::TChar& ch, int32_t left, int32_t top, const LabelledLine& line,
                    const std::vector<int32_t>& chars, int32_t gridW, int32_t gridH, double wholeShare,
                    std::vector<CutGlyph>& out) {
  const int32_t x0 = ch.TopLeft.X, x1 = ch.BottomRight.X;
  const size_t n = chars.size();
  std::vector<int32_t> profile(size_t(x1 - x0 + 1), 0), count(n, 0), which(ch.Pixels.size(), -1);
  std::vector<double> sumX(n, 0.0);
  for (size_t i = 0; i < ch.Pixels.size(); ++i) {
    const kyt::TPoint& p = ch.Pixels[i];
    profile[size_t(p.X - x0)]++;
    const int32_t x = left + p.X - 1, y = top + p.Y - 1;
    if (x < 0 || y < 0 || x >= line.picture.Width() || y >= line.picture.Height()) continue;
    const int32_t label = line.Label(x, y);
    for (size_t k = 0; k < n; ++k)
      if (chars[k] == label) which[i] = int32_t(k), sumX[k] += p.X, count[k]++;
  }
  std::vector<int32_t> cuts;  // first column of each part after the first
  for (size_t k = 0; k + 1 < n; ++k) {
    if (count[k] == 0 || count[k + 1] == 0) return;
    const int32_t a = std::max(x0 + 1, int32_t(std::ceil(sumX[k] / count[k])));
    const int32_t b = std::min(x1, int32_t(std::floor(sumX[k + 1] / count[k + 1])));
    int32_t best = -1;
    for (int32_t c = a; c <= b; ++c)
      if (best < 0 || profile[size_t(c - x0)] < profile[size_t(best - x0)]) best = c;
    if (best < 0 || (!cuts.empty() && best <= cuts.back())) return;
    cuts.push_back(best);
  }
  for (size_t k = 0; k < n; ++k) {
    const int32_t from = k == 0 ? x0 : cuts[k - 1], to = k + 1 < n ? cuts[k] : x1 + 1;
    kyt::TChar part;
    part.TopLeft = {2147483647, 2147483647};
    part.BottomRight = {0, 0};
    int32_t own = 0;
    for (size_t i = 0; i < ch.Pixels.size(); ++i) {
      const kyt::TPoint& p = ch.Pixels[i];
      if (p.X < from || p.X >= to) continue;
      part.Pixels.push_back(p);
      own += which[i] == int32_t(k) ? 1 : 0;
      part.TopLeft.X = std::min(part.TopLeft.X, p.X), part.TopLeft.Y = std::min(part.TopLeft.Y, p.Y);
      part.BottomRight.X = std::max(part.BottomRight.X, p.X), part.BottomRight.Y = std::max(part.BottomRight.Y, p.Y);
    }
    if (part.Pixels.empty() || own < wholeShare * count[k] || own < 0.8 * double(part.Pixels.size())) continue;
    CutGlyph g;
    g.chars = {chars[k]};
    g.cut = true;
    kyt::TLayer input = GlyphInput(GlyphBitmap(part), gridW, gridH);
    g.input.assign(input.begin() + 1, input.end());
    out.push_back(std::move(g));
  }
}

}  // namespace

std::vector<CutGlyph> CutLine(const LabelledLine& line, int32_t bw, int32_t noise, int32_t gridW, int32_t gridH,
                              double wholeShare, bool cutTouching) {
  kyt::TDCRFrame frame;
  frame.AssignPicture(line.picture);
  frame.BWThreshold = bw;
  frame.NoiseThreshold = noise;
  frame.SpaceWidth = 22;
  frame.Binarize();
  frame.FindLines();
  frame.SpaceWidth = EstimateSpaceWidth(frame.ImageArray, frame.Lines, 22);
  frame.FindWords();
  frame.FindChars();

  int32_t chars = 0;
  for (int32_t l : line.labels) chars = std::max(chars, l + 1);
  std::vector<int32_t> total(size_t(chars), 0);
  const int32_t w = line.picture.Width(), h = line.picture.Height();
  for (int32_t x = 0; x < w; ++x)
    for (int32_t y = 0; y < h; ++y)
      if (frame.ImageArray.Ink(x, y) && line.Label(x, y) >= 0) total[size_t(line.Label(x, y))]++;

  std::vector<CutGlyph> out;
  std::vector<int32_t> count(size_t(chars), 0);
  for (const kyt::TLine& tl : frame.Lines)
    for (const kyt::TWord& word : tl.Words)
      for (const kyt::TChar& ch : word.Chars) {
        if (ch.Skipped || ch.Pixels.empty()) continue;
        std::fill(count.begin(), count.end(), 0);
        for (const kyt::TPoint& p : ch.Pixels) {
          const int32_t x = word.Left + p.X - 1, y = tl.Top + p.Y - 1;
          if (x < 0 || y < 0 || x >= w || y >= h) continue;
          const int32_t label = line.Label(x, y);
          if (label >= 0) count[size_t(label)]++;
        }
        CutGlyph g;
        bool piece = false;
        for (int32_t c = 0; c < chars; ++c) {
          if (count[size_t(c)] == 0) continue;
          const double share = double(count[size_t(c)]) / double(total[size_t(c)]);
          if (share >= wholeShare) {
            g.chars.push_back(c);
          } else if (share >= 0.1 || count[size_t(c)] > 3) {
            piece = true;
          }
        }
        if (piece) g.chars.clear();
        kyt::TLayer input = GlyphInput(GlyphBitmap(ch), gridW, gridH);
        g.input.assign(input.begin() + 1, input.end());
        const std::vector<int32_t> touching = g.chars.size() >= 2 ? g.chars : std::vector<int32_t>{};
        out.push_back(std::move(g));
        if (cutTouching && !touching.empty())
          AppendCutParts(ch, word.Left, tl.Top, line, touching, gridW, gridH, wholeShare, out);
      }
  return out;
}

LineStyle RandomStyle(std::mt19937& rng, const Jitter& jitter, int32_t& threshold) {
  std::uniform_real_distribution<double> u(0.0, 1.0);
  LineStyle s;
  s.pixelSize = std::exp(std::log(jitter.minSize) + u(rng) * (std::log(jitter.maxSize) - std::log(jitter.minSize)));
  const bool scan = u(rng) < 0.4;
  s.hinting = !scan && u(rng) < 0.8;
  s.startX = u(rng) * 4.0;
  // Pictures are seldom stretched by more than a few per cent, and the
  // proportions are all that tells look-alikes such as 3 and з, 0 and o, д and
  // Д apart once normalisation has taken size away: so only a little stretch.
  s.xScale = 1.0 + (u(rng) - 0.5) * 0.06;
  s.slant = u(rng) < 0.3 ? (u(rng) - 0.5) * 0.16 : 0.0;
  s.embolden = u(rng) < 0.5 ? (u(rng) - 0.4) * 0.05 * s.pixelSize : 0.0;
  s.letterGap = u(rng) < 0.3 ? (u(rng) - 0.6) * 1.5 : 0.0;
  s.blur = scan ? (0.015 + u(rng) * 0.03) * s.pixelSize : 0.0;  // a scan blurs in proportion to the print
  s.ink = int32_t(u(rng) * (scan ? 70 : 30));
  s.paper = 255 - int32_t(u(rng) * (scan ? 20 : 5));
  s.noise = scan ? u(rng) * 10.0 : 0.0;
  s.speckles = scan && u(rng) < 0.3 ? int32_t(u(rng) * 6) : 0;
  s.seed = uint32_t(rng());
  threshold = jitter.thresholds[size_t(rng() % jitter.thresholds.size())];
  return s;
}

namespace {

std::u32string Upper(std::u32string w) {
  for (char32_t& c : w) {
    if (c >= U'a' && c <= U'z') c -= 32;
    else if (c >= 0x430 && c <= 0x44F) c -= 32;
    else if (c == 0x451) c = 0x401;
  }
  return w;
}

}  // namespace

std::vector<std::u32string> TrainingLines(const std::u32string& text, const std::u32string& chars, size_t count,
                                          size_t maxChars, uint32_t seed) {
  std::vector<std::u32string> words;
  std::u32string word;
  for (char32_t c : text + U" ") {
    if (c == U' ' || c == U'\n' || c == U'\r' || c == U'\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  std::u32string symbols, letters, digits = U"0123456789";
  for (char32_t c : chars) {
    const bool letter = (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= 0x400 && c <= 0x45F);
    if (letter) letters += c;
    else if (c < U'0' || c > U'9') symbols += c;
  }
  if (words.empty()) words.push_back(letters.empty() ? std::u32string(U"a") : letters.substr(0, 5));
  std::mt19937 rng(seed);
  auto pick = [&](size_t n) { return size_t(rng() % n); };
  auto number = [&]() {
    std::u32string n;
    const size_t len = 1 + pick(5);
    for (size_t i = 0; i < len; ++i) n += digits[pick(10)];
    return n;
  };
  std::vector<std::u32string> lines;
  while (lines.size() < count) {
    const size_t kind = chars.empty() ? pick(17) : pick(20);
    std::u32string line;
    auto append = [&](const std::u32string& token) {
      if (!line.empty() && line.size() + 1 + token.size() > maxChars) return false;
      if (!line.empty()) line += U' ';
      line += token;
      return true;
    };
    if (kind < 8) {  // running text
      for (size_t at = pick(words.size()); at < words.size() && append(words[at]); ++at) {
      }
    } else if (kind < 12) {  // words in other cases
      while (true) {
        std::u32string w = words[pick(words.size())];
        const size_t how = pick(3);
        if (how == 0) w = Upper(w);
        else if (how == 1 && !w.empty()) w[0] = Upper(w.substr(0, 1))[0];
        if (!append(w)) break;
      }
    } else if (kind < 17) {  // words, numbers and symbols mixed
      while (true) {
        std::u32string t;
        const size_t how = pick(6);
        if (how == 0) t = number();
        else if (how == 1 && !symbols.empty()) t = number() + symbols[pick(symbols.size())] + number();
        else if (how == 2 && !symbols.empty()) t = symbols[pick(symbols.size())] + words[pick(words.size())];
        else if (how == 3 && !symbols.empty()) t = words[pick(words.size())] + symbols[pick(symbols.size())];
        else t = words[pick(words.size())];
        if (!append(t)) break;
      }
    } else {  // every character, in short groups
      while (true) {
        std::u32string t;
        const size_t len = 1 + pick(5);
        for (size_t i = 0; i < len; ++i) t += chars[pick(chars.size())];
        if (!append(t)) break;
      }
    }
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

}  // namespace kytdcr
