#include <algorithm>
#include <filesystem>

#include "GlyphSources.h"
#include "Text.h"
#include "core/AsciiCase.h"
#include "core/Error.h"
#include "window/PictureLoader.h"

namespace kytdcr {
namespace fs = std::filesystem;

namespace {

bool IsPictureFile(const fs::path& p) {
  std::string ext = p.extension().string();
  if (ext.size() < 2) return false;
  ext.erase(0, 1);
  ext = kyt::AsciiLower(ext);
  const auto& known = kyt::PictureFileExtensions();
  return std::find(known.begin(), known.end(), ext) != known.end();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string LabelFromName(const std::string& utf8Name) {
  std::string utf8;
  size_t i = 0;
  while (i < utf8Name.size()) {
    if (utf8Name.compare(i, 2, "U+") == 0) {
      size_t j = i + 2;
      char32_t value = 0;
      while (j < utf8Name.size() && j < i + 8 && HexValue(utf8Name[j]) >= 0) value = value * 16 + char32_t(HexValue(utf8Name[j++]));
      if (j - (i + 2) >= 4) {
        utf8 += CodePointToUtf8(value);
        i = j;
        continue;
      }
    }
    utf8 += utf8Name[i++];
  }
  return Utf8ToCp1251(utf8);
}

SourceReport AddGlyphFolder(const std::string& folder, const SegmentParams& params, int32_t gridW, int32_t gridH,
                            TrainingData& data, int32_t& variant) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) throw kyt::Error("glyph folder " + folder + " is not a folder");
  SourceReport report;
  // (label, picture) pairs in a fixed order, whatever the file system's.
  std::vector<std::pair<std::string, fs::path>> pictures;
  std::vector<fs::path> entries;
  for (const auto& e : fs::directory_iterator(folder)) entries.push_back(e.path());
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    if (fs::is_directory(entry, ec)) {
      std::vector<fs::path> inner;
      for (const auto& e : fs::directory_iterator(entry))
        if (IsPictureFile(e.path())) inner.push_back(e.path());
      std::sort(inner.begin(), inner.end());
      for (const auto& p : inner) pictures.emplace_back(entry.filename().string(), p);
    } else if (IsPictureFile(entry)) {
      std::string stem = entry.filename().string();
      stem = stem.substr(0, std::min(stem.find('_'), stem.find('.')));
      pictures.emplace_back(stem, entry);
    }
  }
  if (pictures.empty()) throw kyt::Error("glyph folder " + folder + " holds no pictures");
  for (const auto& [name, path] : pictures) {
    std::string label;
    try {
      label = LabelFromName(name);
    } catch (const kyt::Error& e) {
      throw kyt::Error("label of " + path.string() + ": " + e.what());
    }
    if (label.empty()) throw kyt::Error("picture " + path.string() + " has an empty label");
    kyt::Bitmap picture;
    try {
      picture = kyt::LoadPictureFile(path.string());
    } catch (const std::exception& e) {
      throw kyt::Error("cannot read picture " + path.string() + ": " + e.what());
    }
    const size_t pattern = data.Pattern(label);
    kyt::TDCRFrame frame;
    SegmentPicture(frame, picture, params);
    std::vector<FoundGlyph> glyphs = RecognisableGlyphs(frame, gridW, gridH);
    ++report.renderings;
    if (glyphs.empty()) {
      report.notes.push_back(path.string() + ": no glyph found");
      data.Reject(pattern);
      continue;
    }
    const int32_t v = variant++;
    for (FoundGlyph& g : glyphs) {
      data.Add(pattern, std::move(g.input), v);
      ++report.samples;
    }
  }
  return report;
}

}  // namespace kytdcr
