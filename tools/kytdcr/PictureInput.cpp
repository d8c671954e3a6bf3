#include "PictureInput.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <utility>

#include "core/Error.h"
#include "window/PictureLoader.h"

namespace kytdcr {

std::string SniffPictureFormat(const std::vector<uint8_t>& b) {
  auto starts = [&](std::initializer_list<uint8_t> sig) {
    return b.size() >= sig.size() && std::equal(sig.begin(), sig.end(), b.begin());
  };
  if (starts({0x89, 'P', 'N', 'G'})) return "png";
  if (starts({0xFF, 0xD8, 0xFF})) return "jpg";
  if (starts({'B', 'M'})) return "bmp";
  if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) return "tif";
  if (b.size() >= 2 && b[0] == 'P' && b[1] >= '1' && b[1] <= '6') return "ppm";
  if (starts({'8', 'B', 'P', 'S'})) return "psd";
  if (starts({0x01, 0xDA})) return "sgi";
  if (starts({0, 0, 1, 0})) return "ico";
  return "";
}

PictureFile ReadPictureFile(const std::string& name) {
  std::vector<uint8_t> bytes;
  if (name == "-") {
    bytes.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    if (std::cin.bad()) throw kyt::Error("cannot read standard input");
  } else {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw kyt::Error(std::string("cannot open: ") + std::strerror(errno));
    // In blocks rather than character by character; the size is not asked
    // first, as a pipe or a device has none.
    constexpr size_t kBlock = size_t(1) << 20;
    for (;;) {
      const size_t have = bytes.size();
      bytes.resize(have + kBlock);
      in.read(reinterpret_cast<char*>(bytes.data() + have), std::streamsize(kBlock));
      bytes.resize(have + size_t(in.gcount()));
      if (!in) break;
    }
    if (in.bad()) throw kyt::Error("cannot read the file");
  }
  if (bytes.empty()) throw kyt::Error("empty file, no picture");
  std::string format;
  const size_t dot = name.find_last_of("./");
  if (name != "-" && dot != std::string::npos && name[dot] == '.') {
    std::string ext = name.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    const auto& known = kyt::PictureFileExtensions();
    if (std::find(known.begin(), known.end(), ext) != known.end()) format = ext;
  }
  if (format.empty()) format = SniffPictureFormat(bytes);
  if (format.empty()) throw kyt::Error("unsupported picture format");
  return PictureFile{std::move(bytes), std::move(format)};
}

kyt::Bitmap DecodePictureFile(const PictureFile& file) {
  kyt::Bitmap picture = kyt::DecodePicture(file.bytes, file.format);
  if (picture.Empty())
    throw kyt::Error("empty picture (" + std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()) +
                     " pixels)");
  return picture;
}

kyt::Bitmap ReadPictureInput(const std::string& name) { return DecodePictureFile(ReadPictureFile(name)); }

}  // namespace kytdcr
