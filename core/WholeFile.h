#pragma once
// The one way the library reads a whole file into memory: knowledge bases and
// picture files alike. How the file is opened belongs to the platform (on
// Windows other programs may read it meanwhile but not write it); it installs
// its opener with SetFileOpener, and plain reading is used until then.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace kyt {

// Opens a file for reading in binary mode; null with errno set on failure.
using FileOpener = std::FILE* (*)(const char* fileName);
void SetFileOpener(FileOpener opener);

// A file larger than this is refused rather than read.
constexpr uint64_t kMaxWholeFileBytes = uint64_t(1) << 30;

// The file opened with the installed opener; raises kyt::Error ("Cannot open
// file \"name\". <reason>") on failure. The caller closes it.
std::FILE* OpenFileForReading(const std::string& fileName);

// What is left of an open file, read to its end; raises kyt::Error as below.
std::vector<uint8_t> ReadOpenFile(std::FILE* file, const std::string& fileName);

// The whole file; raises kyt::Error ("Cannot open file \"name\". <reason>",
// "Cannot read file ...", "The file \"name\" is too large.") on failure.
std::vector<uint8_t> ReadWholeFile(const std::string& fileName);

}  // namespace kyt
