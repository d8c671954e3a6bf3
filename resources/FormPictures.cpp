#include "resources/FormPictures.h"

#include <cstring>
#include <span>
#include <string_view>

#include "core/Error.h"

namespace kyt::resources {

namespace {

struct Ink {
  char Key;
  Color Value;
};

// '.' is transparent in every palette.
constexpr Ink kPalette[] = {
    {'.', kPictureTransparent},
    {'k', MakeColor(0, 0, 0)},        {'w', MakeColor(255, 255, 255)},  {'g', MakeColor(128, 128, 128)},
    {'s', MakeColor(192, 192, 192)},  {'b', MakeColor(0, 0, 128)},      {'B', MakeColor(0, 0, 255)},
    {'l', MakeColor(92, 140, 220)},   {'c', MakeColor(170, 205, 245)},  {'y', MakeColor(255, 255, 0)},
    {'o', MakeColor(128, 128, 0)},    {'Y', MakeColor(250, 214, 96)},   {'O', MakeColor(214, 150, 40)},
    {'r', MakeColor(200, 40, 30)},    {'R', MakeColor(128, 0, 0)},      {'G', MakeColor(0, 128, 0)},
    {'e', MakeColor(60, 170, 80)},    {'E', MakeColor(180, 230, 180)},  {'p', MakeColor(250, 250, 245)},
    {'d', MakeColor(90, 90, 90)},     {'n', MakeColor(150, 100, 50)},
};

// Choose object: a rectangle object with the pointer on it.
constexpr const char* kChooseObject[] = {
    "....................",
    "....................",
    ".bbbbbbbbbbbbbb.....",
    ".bccccccccccccb.....",
    ".bccccccccccccb.....",
    ".bcclllllllccb......",
    ".bcclllllllccb......",
    ".bccllllkllccb......",
    ".bccllllkklccb......",
    ".bccllllkwkccb......",
    ".bccccccckwwk.......",
    ".bbbbbbbbkwwwk......",
    ".........kwwwwk.....",
    ".........kwwwwwk....",
    ".........kwwwkkkk...",
    ".........kwkwk......",
    ".........kk.kwk.....",
    ".........k...kwk....",
    ".............kk.....",
    "....................",
};

// Insert variable: a variable's square brackets around a gold mark.
constexpr const char* kInsertVariable[] = {
    "....................",
    "....................",
    "...bbbb......bbbb...",
    "...bBBb......bBBb...",
    "...bBb........bBb...",
    "...bBb........bBb...",
    "...bBb...OO...bBb...",
    "...bBb..OYYO..bBb...",
    "...bBb.OYYYYO.bBb...",
    "...bBbOYYwYYYObBb...",
    "...bBbOYYYYYYObBb...",
    "...bBb.OYYYYO.bBb...",
    "...bBb..OYYO..bBb...",
    "...bBb...OO...bBb...",
    "...bBb........bBb...",
    "...bBb........bBb...",
    "...bBBb......bBBb...",
    "...bbbb......bbbb...",
    "....................",
    "....................",
};

// Choose file: an open folder.
constexpr const char* kChooseFile[] = {
    "....................",
    "....................",
    "....................",
    "..nnnnn.............",
    ".nYYYYYn............",
    ".nYYYYYYnnnnnnnn....",
    ".nYYYYYYYYYYYYYYn...",
    ".nYYYYYYYYYYYYYYn...",
    ".nYYYnnnnnnnnnnnnnn.",
    ".nYYnOOOOOOOOOOOOOn.",
    ".nYYnOOOOOOOOOOOOn..",
    ".nYnOOOOOOOOOOOOOn..",
    ".nYnOOOOOOOOOOOOn...",
    ".nnOOOOOOOOOOOOOn...",
    ".nnOOOOOOOOOOOOn....",
    ".nnnnnnnnnnnnnnn....",
    "....................",
    "....................",
    "....................",
    "....................",
};

// Choose embedded file: a page held inside the publication's green box.
constexpr const char* kChooseEmbedded[] = {
    "....................",
    ".GGGGGGGGGGGGGGGGG..",
    ".GEEEEEEEEEEEEEEEG..",
    ".GEEkkkkkkkkEEEEEG..",
    ".GEEkppppppkkEEEEG..",
    ".GEEkppppppkpkEEEG..",
    ".GEEkpgggpppkkkEEG..",
    ".GEEkpppppppppkEEG..",
    ".GEEkpgggggggpkEEG..",
    ".GEEkpppppppppkEEG..",
    ".GEEkpgggggggpkEEG..",
    ".GEEkpppppppppkEEG..",
    ".GEEkpggggggppkEEG..",
    ".GEEkpppppppppkEEG..",
    ".GEEkkkkkkkkkkkEEG..",
    ".GEEEEEEEEEEEEEEEG..",
    ".GGGGGGGGGGGGGGGGG..",
    "...eeeeeeeeeeeee....",
    "....................",
    "....................",
};

// The hint picture, in the sixteen standard colours only: a light bulb.
constexpr const char* kHint[] = {
    "....................",
    ".......kkkkkk.......",
    ".....kkyyyyyykk.....",
    "....kyyywwyyyyyk....",
    "...kyyywwyyyyyyyk...",
    "...kyywwyyyyyyyyk...",
    "..kyyywyyyyyyyyyyk..",
    "..kyyyyyyyyyyyyyyk..",
    "..kyyyyyyyyyyyyyyk..",
    "..kyyyyyyyyyyyyyok..",
    "...kyyyyyyyyyyyok...",
    "...kyyyyyyyyyyook...",
    "....kyyyyyyyyook....",
    ".....kyyyyyyook.....",
    "......kgsssssk......",
    "......kssssgsk......",
    "......kgsssssk......",
    "......kssssgsk......",
    ".......kkggkk.......",
    "....................",
};

// The plug-in's icon: a page of text under a magnifying glass.
constexpr const char* kIcon[] = {
    "................................",
    "................................",
    "....kkkkkkkkkkkkkkkkkkk.........",
    "....kpppppppppppppppppkk........",
    "....kpppppppppppppppppkpk.......",
    "....kppbbbbbpbbbbpppppkppk......",
    "....kpppppppppppppppppkkkkk.....",
    "....kppbbbpbbbbbbpbbbppppk......",
    "....kpppppppppppppppppppk.......",
    "....kppbbbbbbpbbbpbbbbpppk......",
    "....kpppppppppppppppppppk.......",
    "....kppbbbbpbbbbbbdddddppk......",
    "....kpppppppppppddcccccddk......",
    "....kppbbbpbbbbdcccwwcccdk......",
    "....kpppppppppdccwwccccccdk.....",
    "....kppbbbbbbpdcwwcRRcccccd.....",
    "....kpppppppppdccwcRpRcccccd....",
    "....kppbbbbpbpdcccccRRcccccd....",
    "....kppppppppppdcccRpRcccccd....",
    "....kppbbbpbbbpdccccRRccccdk....",
    "....kppppppppppdcccccccccdk.....",
    "....kpppppppppppddcccccddddd....",
    "....kpppppppppppppddddddpnnnn...",
    "....kkkkkkkkkkkkkkkkkkkkkknnnn..",
    "..........................nnnn..",
    "...........................nnnn.",
    "............................nnn.",
    "................................",
    "................................",
    "................................",
    "................................",
    "................................",
};

Color InkOf(char key) {
  for (const Ink& i : kPalette)
    if (i.Key == key) return i.Value;
  throw Error(std::string("The picture uses the unknown colour key '") + key + "'.");
}

Bitmap Build(std::span<const char* const> rows) {
  const int32_t width = int32_t(std::strlen(rows[0]));
  Bitmap out(width, int32_t(rows.size()), kPictureTransparent);
  for (size_t y = 0; y < rows.size(); ++y) {
    if (int32_t(std::strlen(rows[y])) != width) throw Error("A picture row has the wrong length.");
    for (int32_t x = 0; x < width; ++x) out.SetPixel(x, int32_t(y), InkOf(rows[y][x]));
  }
  return out;
}

}  // namespace

const Bitmap& FormPicture(forms::PictureId id) {
  static const Bitmap none;
  static const Bitmap chooseObject = Build(kChooseObject);
  static const Bitmap insertVariable = Build(kInsertVariable);
  static const Bitmap chooseFile = Build(kChooseFile);
  static const Bitmap chooseEmbedded = Build(kChooseEmbedded);
  static const Bitmap hint = Build(kHint);
  static const Bitmap icon = Build(kIcon);
  switch (id) {
    case forms::PictureId::ChooseObject: return chooseObject;
    case forms::PictureId::InsertVariable: return insertVariable;
    case forms::PictureId::ChooseFile: return chooseFile;
    case forms::PictureId::ChooseEmbedded: return chooseEmbedded;
    case forms::PictureId::Hint: return hint;
    case forms::PictureId::Icon: return icon;
    case forms::PictureId::None: break;
  }
  return none;
}

}  // namespace kyt::resources
