#include "core/WholeFile.h"

#include <cerrno>
#include <cstring>

#include "core/Error.h"

namespace kyt {

namespace {

std::FILE* OpenPlain(const char* fileName) { return std::fopen(fileName, "rb"); }

FileOpener g_opener = OpenPlain;

std::string SystemErrorText(int code) { return code ? std::string(std::strerror(code)) : std::string(); }

}  // namespace

void SetFileOpener(FileOpener opener) { g_opener = opener ? opener : OpenPlain; }

std::FILE* OpenFileForReading(const std::string& fileName) {
  errno = 0;
  std::FILE* file = g_opener(fileName.c_str());
  if (!file) throw Error("Cannot open file \"" + fileName + "\". " + SystemErrorText(errno));
  return file;
}

std::vector<uint8_t> ReadWholeFile(const std::string& fileName) {
  std::FILE* file = OpenFileForReading(fileName);
  struct Closer {
    std::FILE* f;
    ~Closer() { std::fclose(f); }
  } closer{file};
  return ReadOpenFile(file, fileName);
}

std::vector<uint8_t> ReadOpenFile(std::FILE* file, const std::string& fileName) {
  std::vector<uint8_t> bytes;
  uint8_t block[65536];
  size_t got = 0;
  while ((got = std::fread(block, 1, sizeof block, file)) > 0) {
    if (bytes.size() + got > kMaxWholeFileBytes) throw Error("The file \"" + fileName + "\" is too large.");
    bytes.insert(bytes.end(), block, block + got);
  }
  if (std::ferror(file)) throw Error("Cannot read file \"" + fileName + "\". " + SystemErrorText(errno));
  return bytes;
}

}  // namespace kyt
