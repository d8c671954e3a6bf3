#include "platform/headless/ProfileReader.h"

#include <fstream>
#include <sstream>

namespace kyt {

namespace {

std::string Trim(const std::string& s) {
  const char* blanks = " \t\r\n";
  const size_t b = s.find_first_not_of(blanks);
  if (b == std::string::npos) return "";
  const size_t e = s.find_last_not_of(blanks);
  return s.substr(b, e - b + 1);
}

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ReadProfileText(const std::string& text, const std::string& section,
                                           const std::string& key) {
  std::istringstream in(text);
  std::string line;
  bool inSection = false, sectionSeen = false;
  while (std::getline(in, line)) {
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      const size_t close = t.find(']');
      const std::string name = Trim(t.substr(1, close == std::string::npos ? std::string::npos : close - 1));
      // Only the first section of a name counts.
      inSection = !sectionSeen && SameName(name, section);
      if (inSection) sectionSeen = true;
      continue;
    }
    if (!inSection) continue;
    const size_t eq = t.find('=');
    const std::string name = Trim(eq == std::string::npos ? t : t.substr(0, eq));
    if (!SameName(name, key)) continue;
    std::string value = eq == std::string::npos ? std::string() : Trim(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return std::nullopt;
}

std::optional<std::string> ReadProfileFile(const std::string& path, const std::string& section,
                                           const std::string& key) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return ReadProfileText(text.str(), section, key);
}

}  // namespace kyt
