// The INI reader on any text. Whatever the text holds, a key that stands first
// in a section written first is found with its value; a section name holding
// "]" never matches; names match without regard to ASCII case; a key is found
// only in the first section of its name; and the file reader gives what the
// text reader gives.
#include <cstdio>
#include <string>
#include <unistd.h>

#include "FuzzInput.h"
#include "platform/headless/ProfileReader.h"

namespace {

using kyt::fuzz::Check;

std::string Name(kyt::fuzz::Input& in) {
  std::string name;
  const size_t length = in.Small(1, 6);
  for (size_t i = 0; i < length; ++i) name += char('a' + in.Small(0, 25));
  return name;
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kyt::fuzz::Input in(data, size);
  const std::string section = Name(in), key = Name(in), value = Name(in) + " " + Name(in);
  const std::vector<uint8_t> rest = in.Rest();
  const std::string text(rest.begin(), rest.end());

  // The fuzzed text alone, with names it chooses from its own bytes.
  const std::optional<std::string> plain = kyt::ReadProfileText(text, section, key);
  Check(plain == kyt::ReadProfileText(text, Upper(section), Upper(key)), "names match without regard to case");
  Check(!kyt::ReadProfileText(text, section + "]x", key), "a section name with ']' never matches");

  // A first section with its key first: found, whatever follows; a second
  // section of the same name does not hide it.
  const std::string framed = " [ " + Upper(section) + " ] \r\n\t" + key + " = '" + value + "'\n" + text;
  Check(kyt::ReadProfileText(framed, section, Upper(key)) == value, "the first key of the first section is found");
  Check(kyt::ReadProfileText(framed + "\n[" + section + "]\n" + key + "=other\n", section, key) == value,
        "the first of duplicate sections wins");

  // The file reader reads the same text.
  if (size < 4096) {
    char path[] = "/tmp/kyt-ini-fuzz-XXXXXX";
    const int fd = mkstemp(path);
    if (fd >= 0) {
      const bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
      close(fd);
      if (written) Check(kyt::ReadProfileFile(path, section, key) == plain, "the file reader reads as the text reader");
      unlink(path);
    }
  }
  return 0;
}
