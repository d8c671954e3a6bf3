#include "editor/Edit2FL.h"

#include <utility>

namespace kyt::editor {

namespace {

constexpr auto kControls = Joined(
    ButtonsAndObjectPanel(318),
    std::array{
        Panel("NeoBookPanel2", 8, 168, 65, 3, "NeoBookPanel2"),
        EditField("EditVar2", "NeoBookPanel2", 277),
        GlyphButton("SpeedButtonFon2", "NeoBookPanel2", 296, 24, forms::PictureId::ChooseFile, kHintChooseFile),
        GlyphButton("SpeedButton2", "NeoBookPanel2", 328, 24, forms::PictureId::InsertVariable,
                    kHintInsertVariable),
        CommandBox(238, 4),
        CommandLabel(),
    });

// SpeedButton1Click; SpeedButton2Click: a variable into the file name.
constexpr PickerButton kPickers[] = {
    kChooseObject,
    {"SpeedButton2", "EditVar2", kRequestChooseVariable, PickRule::InsertAtCaret},
};

constexpr forms::Form kLayout{.Name = "TEditForm2FL", .Caption = "EditForm2FL", .ClientWidth = 376,
                              .ClientHeight = 350, .Font = kFormFont, .Color = forms::kColorBtnFace,
                              .Controls = kControls};

// The picture formats by name and extensions, as the loader chooses its decoder.
constexpr std::pair<const char*, const char*> kFormats[] = {
    {"Windows bitmap", "bmp;rle;dib"},
    {"Windows icon", "ico"},
    {"Windows metafile", "wmf;emf"},
    {"JPEG", "jpg;jpeg;jpe;jfif"},
    {"PNG", "png"},
    {"Truevision", "tga;win;vst;vda;icb"},
    {"TIFF", "tif;tiff;fax;stw"},
    {"Encapsulated PostScript", "eps"},
    {"ZSoft Paintbrush", "pcx;pcc;scr;st"},
    {"Alias/Wavefront", "rla;rpf"},
    {"SGI", "sgi;rgb;rgba;bw"},
    {"Photoshop", "psd;pdd"},
    {"Portable maps", "ppm;pgm;pbm"},
    {"Autodesk", "cel;pic"},
    {"Kodak Photo-CD", "pcd"},
    {"Dr. Halo", "cut"},
    {"Paintshop Pro", "psp"},
};

// "bmp;rle" -> "*.bmp;*.rle"
std::string Patterns(const std::string& extensions) {
  std::string out = "*.";
  for (char c : extensions) out += c == ';' ? std::string(";*.") : std::string(1, c);
  return out;
}

}  // namespace

const forms::Form& EditForm2FLLayout() { return kLayout; }

const std::string& PictureFilter() {
  static const std::string filter = [] {
    std::string all, each;
    for (const auto& [name, extensions] : kFormats) {
      const std::string patterns = Patterns(extensions);
      all += (all.empty() ? "" : ";") + patterns;
      each += std::string("|") + name + " (" + patterns + ")|" + patterns;
    }
    return "All (" + all + ")|" + all + each;
  }();
  return filter;
}

TEditForm2FL::TEditForm2FL(IPickerHost* host) : TEditForm(EditForm2FLLayout(), host, kPickers) {}

// SpeedButtonFon2Click: OpenPictureDialog1 as the form defines it.
std::optional<forms::OpenFileRequest> TEditForm2FL::FileDialog() const {
  return forms::OpenFileRequest{PictureFilter(), true};
}

}  // namespace kyt::editor
