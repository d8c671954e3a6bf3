// Loading pictures: the decoder table of picture files, the file source, and
// the host-variable source whose base64 text holds a bmp, jpg or png file.
#include "window/PictureLoader.h"

#include <sstream>

#include "core/AsciiCase.h"
#include "core/Cp1251Text.h"
#include "core/Error.h"
#include "core/WholeFile.h"
#include "platform/Platform.h"
#include "recognition/DCRFra.h"
#include "window/DIMimeStreams.h"
#include "window/WindowHost.h"
#include "window/decoders/Decoders.h"
#include "window/decoders/RareFormats.h"

namespace kyt {

namespace {

using Decoder = Bitmap (*)(const std::vector<uint8_t>&);

// Metafiles are drawn by the system, where there is one that can.
Bitmap DecodeMetafile(const std::vector<uint8_t>& bytes) {
  Bitmap picture;
  if (!DrawMetafile(bytes, picture)) throw Error("Metafiles cannot be drawn on this platform");
  if (picture.Empty()) throw Error("The metafile holds no picture");
  return picture;
}

struct Format {
  const char* Extension;
  Decoder Decode;
};

constexpr Format kFormats[] = {
    {"bmp", DecodeBmp},      {"rle", DecodeBmp},      {"dib", DecodeBmp},     {"ico", DecodeIco},
    {"wmf", DecodeMetafile}, {"emf", DecodeMetafile}, {"jpg", DecodeJpeg},    {"jpeg", DecodeJpeg},
    {"jpe", DecodeJpeg},     {"jfif", DecodeJpeg},    {"png", DecodePng},     {"tga", DecodeTga},
    {"win", DecodeTga},      {"vst", DecodeTga},      {"vda", DecodeTga},     {"icb", DecodeTga},
    {"tif", DecodeTiff},     {"tiff", DecodeTiff},    {"fax", DecodeTiff},    {"stw", DecodeTiff},
    {"eps", DecodeEps},      {"pcx", DecodePcx},      {"pcc", DecodePcx},     {"scr", DecodePcx},
    {"st", DecodePcx},       {"rla", DecodeRla},      {"rpf", DecodeRla},     {"sgi", DecodeSgi},
    {"rgb", DecodeSgi},      {"rgba", DecodeSgi},     {"bw", DecodeSgi},      {"psd", DecodePsd},
    {"pdd", DecodePsd},      {"ppm", DecodePnm},      {"pgm", DecodePnm},     {"pbm", DecodePnm},
    {"cel", DecodeAutodesk}, {"pic", DecodeAutodesk}, {"pcd", DecodePhotoCd}, {"cut", DecodeHaloCut},
    {"psp", DecodePaintShopPro},
};

// The extension of a name, dot included: from the last "." that follows the
// last of the `separators`; empty when there is none.
std::string ExtensionOf(const std::string& name, const char* separators) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return {};
  const size_t separator = name.find_last_of(separators);
  if (separator != std::string::npos && separator > dot) return {};
  return name.substr(dot);
}

Decoder FindDecoder(const std::string& extension) {
  std::string key = AsciiLower(extension);
  if (!key.empty() && key[0] == '.') key.erase(0, 1);
  for (const Format& format : kFormats)
    if (key == format.Extension) return format.Decode;
  return nullptr;
}

// The host-variable source: base64 text of a bmp, jpg or png file.
void LoadFromVariable(TDCRFrame& frame, const std::string& source, IWindowHost& host) {
  // The marker is expected at the start: its length is cut wherever it stands.
  const std::string name = source.size() > kMimeStreamMarkerLength ? source.substr(kMimeStreamMarkerLength) : "";
  const std::string content = host.GetVariable("[" + name + ".MimeStreamContent]");
  if (content.empty()) return;

  std::istringstream text(content);
  std::vector<uint8_t> bytes;
  Base64DecodeStream(text, bytes);

  const std::string extension = ExtensionOf(name, "\\:");
  const std::string key = AsciiUpper(extension);
  Decoder decode = nullptr;
  if (key == ".BMP") decode = DecodeBmp;
  else if (key == ".JPG") decode = DecodeJpeg;
  else if (key == ".PNG") decode = DecodePng;
  if (!decode) {
    Platform().ShowMessage("Формат файла "_cp1251 + extension + " не поддерживается!"_cp1251);
    return;
  }
  frame.AssignPicture(decode(bytes));
}

}  // namespace

bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out) { return Platform().DrawMetafile(bytes, out); }

const std::vector<std::string>& PictureFileExtensions() {
  static const std::vector<std::string> extensions = [] {
    std::vector<std::string> list;
    for (const Format& format : kFormats) list.emplace_back(format.Extension);
    return list;
  }();
  return extensions;
}

Bitmap DecodePicture(const std::vector<uint8_t>& bytes, const std::string& extension) {
  const Decoder decode = FindDecoder(extension);
  if (!decode) {
    const std::string shown = (!extension.empty() && extension[0] == '.') ? extension : "." + extension;
    throw Error("Unknown picture file extension (" + shown + ")");
  }
  return decode(bytes);
}

Bitmap LoadPictureFile(const std::string& fileName) {
  const std::string extension = ExtensionOf(fileName, "/\\:");
  if (extension.empty()) throw Error("The picture file name " + fileName + " has no extension");
  // The extension is checked before the file is opened.
  if (!FindDecoder(extension)) throw Error("Unknown picture file extension (" + extension + ")");
  return DecodePicture(ReadWholeFile(fileName), extension);
}

void LoadPicture(TDCRFrame& frame, const std::string& source, IWindowHost& host) {
  if (source.find(kMimeStreamMarker) != std::string::npos) {
    LoadFromVariable(frame, source, host);
    return;
  }
  // Decoded in full before the frame is touched: a failure keeps the old picture.
  frame.AssignPicture(LoadPictureFile(source));
}

}  // namespace kyt
