#!/usr/bin/env python3
"""Turns the plug-in's XPM pictures into what the builds need.

    make_resources.py --out DIR [--max-colours NAME=N ...] [--icon NAME ...] picture.xpm ...

Each picture NAME.xpm becomes
  DIR/NAME.bmp                a Windows bitmap (4 bits per pixel for up to 16
                              colours, else 8), for the resource compiler;
  an entry of DIR/ResourceBitmaps.cpp, the pixels as C++ arrays for the
                              headless build (kyt::resources::FindBitmap);
  a line of DIR/kytDCR_resources.rc naming the bitmap resource NAME.
--icon NAME also makes DIR/NAME.ico, the picture as a 256-colour icon whose
transparent pixels (the bottom-left pixel's colour) are masked out, and a
line naming the icon resource NAME.
--max-colours NAME=N limits a picture to N colours (16: only those of the
standard 16-colour palette) and makes its bitmap one of 16 or 256 colours.
Only XPM 3 pictures with one character per pixel and #RRGGBB colours are
read; anything else is refused with a message naming the file and line.
"""
import argparse
import os
import re
import struct
import sys
import zlib

# The colours of the standard 16-colour palette: a 16-colour picture may use these only.
VGA16 = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0xC0C0C0,
    0x808080, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
}


class PictureError(Exception):
    pass


def read_xpm(path):
    with open(path, encoding="ascii") as f:
        text = f.read()
    # The quoted strings, in order, with the line each starts on.
    strings = [(m.group(1), text.count("\n", 0, m.start()) + 1)
               for m in re.finditer(r'"((?:[^"\\]|\\.)*)"', re.sub(r"/\*.*?\*/", lambda m: re.sub(r"[^\n]", " ", m.group(0)), text, flags=re.S))]
    if not strings:
        raise PictureError(f"{path}: no XPM strings")
    header, line = strings[0]
    fields = header.split()
    if len(fields) < 4 or not all(x.isdigit() for x in fields[:4]):
        raise PictureError(f"{path}:{line}: the first string must be 'width height colours chars-per-pixel'")
    width, height, ncolours, cpp = (int(x) for x in fields[:4])
    if cpp != 1:
        raise PictureError(f"{path}:{line}: only one character per pixel is supported")
    if not (0 < width <= 256 and 0 < height <= 256 and 0 < ncolours <= 256):
        raise PictureError(f"{path}:{line}: size or colour count out of range")
    if len(strings) != 1 + ncolours + height:
        raise PictureError(f"{path}: {ncolours} colours and {height} rows announced, "
                           f"{len(strings) - 1} strings found")
    colours = {}
    for s, line in strings[1:1 + ncolours]:
        m = re.fullmatch(r"(.)\s+c\s+#([0-9A-Fa-f]{6})\s*", s)
        if not m:
            raise PictureError(f"{path}:{line}: colour lines are '<char> c #RRGGBB'")
        if m.group(1) in colours:
            raise PictureError(f"{path}:{line}: the character '{m.group(1)}' is defined twice")
        colours[m.group(1)] = int(m.group(2), 16)
    rows = []
    for s, line in strings[1 + ncolours:]:
        if len(s) != width:
            raise PictureError(f"{path}:{line}: row of {len(s)} pixels, {width} expected")
        for ch in s:
            if ch not in colours:
                raise PictureError(f"{path}:{line}: pixel character '{ch}' has no colour")
        rows.append([colours[ch] for ch in s])
    return width, height, rows


def bmp_bytes(width, height, rows, colours):
    """A BMP file of a 16- or 256-colour palette (by `colours`) holding the
    picture's colours, bottom row first."""
    palette = sorted({c for row in rows for c in row})
    bits = 4 if colours <= 16 else 8
    size = 16 if bits == 4 else 256
    index = {c: i for i, c in enumerate(palette)}
    stride = ((width * bits + 31) // 32) * 4
    pixels = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, c in enumerate(row):
            i = index[c]
            if bits == 8:
                line[x] = i
            elif x % 2 == 0:
                line[x // 2] |= i << 4
            else:
                line[x // 2] |= i
        pixels += line
    pal = bytearray()
    for i in range(size):
        c = palette[i] if i < len(palette) else 0
        pal += bytes(((c) & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0))  # blue, green, red
    # The whole palette is stored, so the colours-used field stays 0 (all of them):
    # loaders that skip the file header find the pixels right after the palette.
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(pixels), 3780, 3780, 0, 0)
    offset = 14 + len(info) + len(pal)
    head = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return head + info + pal + pixels


def ico_bytes(width, height, rows):
    """An icon file of one 256-colour image: the colour bits with transparent
    pixels black, then the mask (1 = transparent), both bottom row first."""
    transparent = rows[-1][0]
    palette = sorted({0} | {c for row in rows for c in row if c != transparent})
    if len(palette) > 256:
        raise PictureError("an icon holds at most 256 colours")
    index = {c: i for i, c in enumerate(palette)}
    stride = (width + 3) // 4 * 4
    mask_stride = ((width + 31) // 32) * 4
    colour_bits, mask_bits = bytearray(), bytearray()
    for row in reversed(rows):
        line, mask = bytearray(stride), bytearray(mask_stride)
        for x, c in enumerate(row):
            if c == transparent:
                mask[x // 8] |= 0x80 >> (x % 8)
            else:
                line[x] = index[c]
        colour_bits += line
        mask_bits += mask
    pal = bytearray()
    for i in range(256):
        c = palette[i] if i < len(palette) else 0
        pal += bytes((c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF, 0))
    # The image's header counts the colour bits and the mask: twice the height.
    info = struct.pack("<IiiHHIIiiII", 40, width, 2 * height, 1, 8, 0, len(colour_bits) + len(mask_bits), 0, 0, 0, 0)
    image = info + pal + colour_bits + mask_bits
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 8, len(image), 6 + 16)
    return directory + entry + image


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--max-colours", action="append", default=[], metavar="NAME=N")
    ap.add_argument("--icon", action="append", default=[], metavar="NAME")
    ap.add_argument("pictures", nargs="+")
    args = ap.parse_args()
    limits = {}
    for item in args.max_colours:
        name, _, n = item.partition("=")
        limits[name] = int(n)
    os.makedirs(args.out, exist_ok=True)

    cpp = ["// Made by resources/make_resources.py from the XPM pictures; do not edit.",
           '#include "resources/ResourceBitmaps.h"', "", "namespace kyt::resources {", "namespace {"]
    table = []
    rc = ["// Made by resources/make_resources.py; the bitmap and icon resources of the plug-in."]
    try:
        for path in args.pictures:
            name = os.path.splitext(os.path.basename(path))[0]
            width, height, rows = read_xpm(path)
            used = {c for row in rows for c in row}
            if name in limits:
                if len(used) > limits[name]:
                    raise PictureError(f"{path}: {len(used)} colours, at most {limits[name]} allowed")
                if limits[name] <= 16 and not used <= VGA16:
                    odd = ", ".join(f"#{c:06X}" for c in sorted(used - VGA16))
                    raise PictureError(f"{path}: colours outside the 16-colour palette: {odd}")
            bmp = os.path.join(args.out, name + ".bmp")
            with open(bmp, "wb") as f:
                f.write(bmp_bytes(width, height, rows, limits.get(name, len(used))))
            # The checksum makes the script change with its pictures, so the resource compiler runs again.
            with open(bmp, "rb") as f:
                digest = zlib.crc32(f.read())
            rc.append(f"// {name}: crc32 {digest:08x}")
            rc.append(f'{name} BITMAP "{bmp.replace(os.sep, "/")}"')
            if name in args.icon:
                ico = os.path.join(args.out, name + ".ico")
                with open(ico, "wb") as f:
                    f.write(ico_bytes(width, height, rows))
                with open(ico, "rb") as f:
                    digest = zlib.crc32(f.read())
                rc.append(f"// {name} icon: crc32 {digest:08x}")
                rc.append(f'{name} ICON "{ico.replace(os.sep, "/")}"')
            values = []
            for row in rows:
                # 0x00BBGGRR, red in the low byte, as kyt::Color.
                values.append(", ".join(f"0x{((c & 0xFF) << 16) | (c & 0xFF00) | (c >> 16):06X}u" for c in row))
            cpp.append(f"const uint32_t k{name}[] = {{")
            cpp += [f"    {v}," for v in values]
            cpp.append("};")
            table.append(f'    {{"{name}", {width}, {height}, k{name}}},')
    except (PictureError, OSError) as e:
        print(f"make_resources: {e}", file=sys.stderr)
        return 1
    cpp.append("const BitmapData kBitmaps[] = {")
    cpp += table
    cpp += ["};", "}  // namespace", "",
            "const BitmapData* FindBitmap(std::string_view name) {",
            "  for (const BitmapData& b : kBitmaps)",
            "    if (name == b.name) return &b;",
            "  return nullptr;", "}", "", "}  // namespace kyt::resources", ""]
    for fname, lines in (("ResourceBitmaps.cpp", cpp), ("kytDCR_resources.rc", rc + [""])):
        target = os.path.join(args.out, fname)
        text = "\n".join(lines)
        old = None
        if os.path.exists(target):
            with open(target) as f:
                old = f.read()
        if old != text:
            with open(target, "w") as f:
                f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
