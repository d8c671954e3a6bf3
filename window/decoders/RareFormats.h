#pragma once
// Decoders of the less common picture formats. Each takes the whole file in
// memory and returns a 24-bit picture, or raises kyt::Error for corrupt,
// truncated or unsupported data; none reads or writes out of bounds.
#include <cstdint>
#include <vector>

#include "core/Bitmap.h"

namespace kyt {

Bitmap DecodeTga(const std::vector<uint8_t>& bytes);        // tga win vst vda icb
Bitmap DecodePcx(const std::vector<uint8_t>& bytes);        // pcx pcc scr st
Bitmap DecodeSgi(const std::vector<uint8_t>& bytes);        // sgi rgb rgba bw
Bitmap DecodePsd(const std::vector<uint8_t>& bytes);        // psd pdd
Bitmap DecodeRla(const std::vector<uint8_t>& bytes);        // rla rpf
Bitmap DecodeAutodesk(const std::vector<uint8_t>& bytes);   // cel pic
Bitmap DecodePhotoCd(const std::vector<uint8_t>& bytes);    // pcd
Bitmap DecodeHaloCut(const std::vector<uint8_t>& bytes);    // cut
Bitmap DecodePaintShopPro(const std::vector<uint8_t>& bytes);  // psp
Bitmap DecodeEps(const std::vector<uint8_t>& bytes);        // eps, by its embedded preview

// Draws a Windows metafile into `out` with what the program runs on; false
// when it cannot draw metafiles. The picture loader supplies it.
bool DrawMetafile(const std::vector<uint8_t>& bytes, Bitmap& out);

}  // namespace kyt
