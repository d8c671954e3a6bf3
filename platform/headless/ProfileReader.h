#pragma once
// Reads INI files by the rules of the Windows profile API: sections in square
// brackets and key=value lines, section and key names compared without regard
// to ASCII case, blanks around names and values trimmed, a value enclosed in
// matching quotes loses them, comment lines start with ';', and the first of
// duplicate sections and keys wins.
#include <optional>
#include <string>

namespace kyt {

// nullopt when the section or the key is absent; a present empty key gives "".
std::optional<std::string> ReadProfileText(const std::string& text, const std::string& section,
                                           const std::string& key);
std::optional<std::string> ReadProfileFile(const std::string& path, const std::string& section,
                                           const std::string& key);

}  // namespace kyt
