#pragma once
// How `kytdcr recognize` writes what it read: plain text, one tab-separated
// row per line, word and glyph, or JSON with the same detail.
#include <optional>
#include <ostream>
#include <string>

#include "reader/Reader.h"

namespace kytdcr {

enum class PageFormat { Text, Tsv, Json };

// "text", "tsv" or "json"; raises UsageError otherwise.
PageFormat ParsePageFormat(const std::string& text);

// The result of one picture: a page, or the error that stopped it.
struct PageResult {
  std::string file;                       // as given on the command line ("-" for standard input)
  std::optional<reader::Page> page;
  std::optional<std::string> pluginText;  // the plug-in's own text (code page 1251), with --plugin
  std::string error;                      // when there is no page
};

// Writes results one after another. Text: a picture's lines (or with
// --plugin its text and one line feed), under a "==> FILE <==" heading when
// there are several pictures. TSV: a heading row, then rows of every line,
// word and glyph. JSON: one array of one object per picture, closed by Finish.
class PageWriter {
 public:
  PageWriter(std::ostream& out, PageFormat format, bool severalPictures);
  void Write(const PageResult& result);
  void Finish();

 private:
  std::ostream& out_;
  PageFormat format_;
  bool several_;
  size_t written_ = 0;
};

// A JSON string literal of UTF-8 text.
std::string JsonString(const std::string& utf8);

}  // namespace kytdcr
