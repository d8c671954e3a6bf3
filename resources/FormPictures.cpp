#include "resources/FormPictures.h"

#include <string>

#include "core/Error.h"
#include "resources/ResourceBitmaps.h"

namespace kyt::resources {

namespace {

Bitmap Load(const char* name) {
  const BitmapData* data = FindBitmap(name);
  if (!data) throw Error(std::string("The picture ") + name + " is missing.");
  Bitmap out(data->width, data->height);
  for (int32_t y = 0; y < data->height; ++y)
    for (int32_t x = 0; x < data->width; ++x) out.SetPixel(x, y, data->pixels[size_t(y) * size_t(data->width) + size_t(x)]);
  return out;
}

}  // namespace

const Bitmap& FormPicture(forms::PictureId id) {
  static const Bitmap none;
  static const Bitmap chooseObject = Load("KYT_GLYPH_CHOOSE_OBJECT");
  static const Bitmap insertVariable = Load("KYT_GLYPH_INSERT_VARIABLE");
  static const Bitmap chooseFile = Load("KYT_GLYPH_CHOOSE_FILE");
  static const Bitmap chooseEmbedded = Load("KYT_GLYPH_CHOOSE_EMBEDDED");
  static const Bitmap hint = Load("KYT_HINT_PICTURE");
  static const Bitmap icon = Load("KYT_ICON");
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
