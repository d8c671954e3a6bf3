#include "PageOutput.h"

#include <cstdio>

#include "Options.h"
#include "Text.h"

namespace kytdcr {

namespace {

std::string Score(float s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", double(s));
  return buf;
}

std::string Box(const kyt::Rect& b) {
  return "[" + std::to_string(b.Left) + ", " + std::to_string(b.Top) + ", " + std::to_string(b.Width()) + ", " +
         std::to_string(b.Height()) + "]";
}

std::string TsvField(const std::string& utf8) {
  std::string s;
  for (char c : utf8) s += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return s;
}

float MeanScore(const reader::Word& w) {
  if (w.glyphs.empty()) return 0.0f;
  double sum = 0;
  for (const auto& g : w.glyphs) sum += g.score;
  return float(sum / double(w.glyphs.size()));
}

float MeanScore(const reader::Line& l) {
  double sum = 0;
  size_t n = 0;
  for (const auto& w : l.words)
    for (const auto& g : w.glyphs) sum += g.score, ++n;
  return n ? float(sum / double(n)) : 0.0f;
}

}  // namespace

PageFormat ParsePageFormat(const std::string& text) {
  if (text == "text") return PageFormat::Text;
  if (text == "tsv") return PageFormat::Tsv;
  if (text == "json") return PageFormat::Json;
  throw UsageError("--format: '" + text + "' is not text, tsv or json");
}

std::string JsonString(const std::string& utf8) {
  std::string s = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      s += '\\';
      s += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", unsigned(c));
      s += buf;
    } else {
      s += char(c);
    }
  }
  return s + "\"";
}

PageWriter::PageWriter(std::ostream& out, PageFormat format, bool severalPictures)
    : out_(out), format_(format), several_(severalPictures) {
  if (format_ == PageFormat::Tsv) out_ << "file\tlevel\tline\tword\tglyph\tleft\ttop\twidth\theight\ttext\tscore\n";
  if (format_ == PageFormat::Json) out_ << "[";
}

void PageWriter::Write(const PageResult& r) {
  const size_t index = written_++;
  if (format_ == PageFormat::Text) {
    if (!r.page) return;  // the error goes to standard error
    if (several_) out_ << (index ? "\n" : "") << "==> " << r.file << " <==\n";
    if (r.pluginText) {
      out_ << Cp1251ToUtf8(*r.pluginText) << '\n';
    } else {
      out_ << Cp1251ToUtf8(r.page->Text());
    }
    return;
  }
  if (format_ == PageFormat::Tsv) {
    if (!r.page) return;
    const std::string file = TsvField(r.file);
    auto row = [&](const char* level, size_t l, size_t w, size_t g, const kyt::Rect& b, const std::string& text,
                   float score) {
      out_ << file << '\t' << level << '\t' << l << '\t' << w << '\t' << g << '\t' << b.Left << '\t' << b.Top << '\t'
           << b.Width() << '\t' << b.Height() << '\t' << TsvField(Cp1251ToUtf8(text)) << '\t' << Score(score) << '\n';
    };
    for (size_t l = 0; l < r.page->lines.size(); ++l) {
      const auto& line = r.page->lines[l];
      row("line", l + 1, 0, 0, line.box, line.Text(), MeanScore(line));
      for (size_t w = 0; w < line.words.size(); ++w) {
        const auto& word = line.words[w];
        row("word", l + 1, w + 1, 0, word.box, word.Text(), MeanScore(word));
        for (size_t g = 0; g < word.glyphs.size(); ++g)
          row("glyph", l + 1, w + 1, g + 1, word.glyphs[g].box, word.glyphs[g].name, word.glyphs[g].score);
      }
    }
    return;
  }
  // JSON
  out_ << (index ? ",\n " : "\n ") << "{\"file\": " << JsonString(r.file);
  if (!r.page) {
    out_ << ", \"error\": " << JsonString(r.error) << "}";
    return;
  }
  const reader::Page& p = *r.page;
  out_ << ", \"width\": " << p.width << ", \"height\": " << p.height << ", \"mode\": \""
       << (r.pluginText ? "plugin" : "reader") << "\", \"bw\": " << p.bw << ", \"invert\": "
       << (p.invert ? "true" : "false") << ", \"noise\": " << p.noise << ", \"space\": " << p.space
       << ", \"text\": " << JsonString(Cp1251ToUtf8(r.pluginText ? *r.pluginText : p.Text())) << ",\n  \"lines\": [";
  for (size_t l = 0; l < p.lines.size(); ++l) {
    const auto& line = p.lines[l];
    out_ << (l ? ",\n   " : "\n   ") << "{\"box\": " << Box(line.box) << ", \"text\": " << JsonString(Cp1251ToUtf8(line.Text()))
         << ", \"words\": [";
    for (size_t w = 0; w < line.words.size(); ++w) {
      const auto& word = line.words[w];
      out_ << (w ? ", " : "") << "{\"box\": " << Box(word.box) << ", \"text\": " << JsonString(Cp1251ToUtf8(word.Text()))
           << ", \"glyphs\": [";
      for (size_t g = 0; g < word.glyphs.size(); ++g) {
        const auto& glyph = word.glyphs[g];
        out_ << (g ? ", " : "") << "{\"box\": " << Box(glyph.box) << ", \"name\": " << JsonString(Cp1251ToUtf8(glyph.name))
             << ", \"score\": " << Score(glyph.score) << "}";
      }
      out_ << "]}";
    }
    out_ << "]}";
  }
  out_ << (p.lines.empty() ? "]}" : "\n  ]}");
}

void PageWriter::Finish() {
  if (format_ == PageFormat::Json) out_ << "\n]\n";
}

}  // namespace kytdcr
