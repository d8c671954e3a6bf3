#!/usr/bin/env python3
"""Writes small picture files that claim far more pixels than they hold, one or
two per decoder, into the folder given (default: hostile-pictures). They are the
worst inputs the fuzzers and the budget work found; bench/decode-memory.sh
measures the peak memory of decoding each of them."""
import os, struct, sys, zlib

out = sys.argv[1] if len(sys.argv) > 1 else 'hostile-pictures'
os.makedirs(out, exist_ok=True)

def put(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)

def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))

def png(width, height, bits, colour, rows, fill=0):
    row = bytes([0]) + bytes([fill]) * ((width * bits * (3 if colour == 2 else 1) + 7) // 8)
    packed = zlib.compress(row * rows, 9)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, bits, colour, 0, 0, 0)) +
            png_chunk(b'IDAT', packed) + png_chunk(b'IEND', b''))

def tiff(width, height, compression, bits, data):
    entries = [(256, 4, 1, width), (257, 4, 1, height), (258, 3, 1, bits), (259, 3, 1, compression),
               (262, 3, 1, 1), (273, 4, 1, 0), (277, 3, 1, 1), (278, 4, 1, height), (279, 4, 1, len(data))]
    head = b'II*\x00' + struct.pack('<I', 8) + struct.pack('<H', len(entries))
    at = len(head) + 12 * len(entries) + 4
    body = b''.join(struct.pack('<HHII', t, k, n, at if t == 273 else v) for t, k, n, v in entries)
    return head + body + struct.pack('<I', 0) + data

def rle_bmp(width, height, pixels):
    dib = struct.pack('<IiiHHIIiiII', 40, width, height, 1, 8, 1, len(pixels), 0, 0, 1, 0) + b'\xff\xff\xff\x00'
    return b'BM' + struct.pack('<III', 14 + len(dib) + len(pixels), 0, 14 + len(dib)) + dib + pixels

def sgi_shared(width, height):
    head = struct.pack('>HBBHHHH', 474, 1, 1, 2, width, height, 1).ljust(512, b'\x00')
    record = b''
    left = width
    while left:
        n = min(left, 127)
        record += bytes([n, 0xFF])
        left -= n
    record += b'\x00'
    at = 512 + 8 * height
    return head + struct.pack('>I', at) * height + struct.pack('>I', len(record)) * height + record

def rla_shared(width, height):
    head = bytearray(740)
    struct.pack_into('>hhhh', head, 8, 0, width - 1, 0, height - 1)
    struct.pack_into('>h', head, 20, 1)
    struct.pack_into('>h', head, 658, 8)
    record = b''
    left = width
    while left:
        n = min(left, 128)
        record += bytes([n - 1, 0x7F])
        left -= n
    at = 740 + 4 * height
    return bytes(head) + struct.pack('>I', at) * height + struct.pack('>H', len(record)) + record

def eps(tiff_data):
    return b'\xc5\xd0\xd3\xc6' + struct.pack('<IIIIII', 0, 0, 0, 0, 30, len(tiff_data)) + b'\xff\xff' + tiff_data

def tga_rle(width, height, packets):
    return struct.pack('<BBBHHBHHHHBB', 0, 0, 11, 0, 0, 0, 0, 0, width, height, 8, 0) + bytes([0xFF, 0xFF]) * packets

def pcx_rle(width, height, pairs):
    head = struct.pack('<BBBBHHHH', 0x0A, 5, 1, 8, 0, 0, width - 1, height - 1).ljust(65, b'\x00')
    head += struct.pack('<BH', 1, width).ljust(128 - 65, b'\x00')
    return head + bytes([0xFF, 0xFF]) * pairs

put('rle-ended-16384.rle', rle_bmp(16384, 16384, bytes([0, 1])))
put('rle-truncated-9000x10000.bmp', rle_bmp(9000, 10000, bytes([255, 0]) * 10))
put('rle-ended-2896.rle', rle_bmp(2896, 2896, bytes([0, 1]) + bytes(1024)))
put('g4-16384.tif', tiff(16384, 16384, 4, 1, bytes(24)))
put('lzw-16384.tif', tiff(16384, 16384, 5, 8, bytes([0x80]) * 24))
put('packbits-16384.tif', tiff(16384, 16384, 32773, 8, bytes([0x81]) * 24))
put('lzw-preview-16384.eps', eps(tiff(16384, 16384, 5, 8, bytes([0x80]) * 24)))
put('g4-4000-page.tif', tiff(4000, 4000, 4, 1, bytes(2000)))
put('one-bit-16384.png', png(16384, 16384, 1, 0, 16384))
put('one-bit-4096.png', png(4096, 4096, 1, 0, 4096))
put('rgb-16384-one-row.png', png(16384, 16384, 8, 2, 1))
put('shared-rows-16384.sgi', sgi_shared(16384, 16384))
put('shared-rows-16384.rla', rla_shared(16384, 16384))
put('rle-runs-16384.tga', tga_rle(16384, 16384, 16384 * 16384 // 128))
put('rle-runs-4096.tga', tga_rle(4096, 4096, 4096 * 4096 // 128))
put('rle-runs-16000.pcx', pcx_rle(16000, 16000, 16000 * 16000 // 63 + 1))
