#!/usr/bin/env python3
"""Writes knowledge bases that claim far more than they hold, and legal ones
whose records are so small that each takes many times its bytes in memory,
into the folder given (default: hostile-knowledge-bases);
bench/decode-memory/kb-memory.sh measures the peak memory of loading each."""
import os, struct, sys

out = sys.argv[1] if len(sys.argv) > 1 else 'hostile-knowledge-bases'
os.makedirs(out, exist_ok=True)

TRAILER = struct.pack('<5f3if', 0.001, 0.5, 1.0, -1.0, 0.01, 10000, 0, 0, 0.0)

def put(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)

def kb(ir, ic, orows, ocols, hidden, patterns, claimed=None):
    """patterns: list of (samples, name); every sample and target is +1."""
    i, o = ir * ic, orows * ocols
    head = struct.pack('<5i', ir, ic, orows, ocols, hidden)
    weights = b'\x00' * (4 * hidden * (i + 1) + 4 * o * (hidden + 1))
    body = [struct.pack('<i', len(patterns) if claimed is None else claimed)]
    one = struct.pack('<f', 1.0)
    for samples, name in patterns:
        body.append(struct.pack('<i', samples) + one * (samples * i) + one * o + struct.pack('<i', len(name)) + name)
    return head + weights + b''.join(body) + TRAILER

small = kb(1, 2, 1, 1, 1, [(1, b'A')])                      # the 101-byte worked example
put('tiny-claims-1000x1000-by-1000.dcr', struct.pack('<5i', 1000, 1000, 1, 1, 1000) + small[20:])
put('tiny-claims-2g-patterns.dcr', small[:40] + struct.pack('<i', 2**31 - 1) + small[44:])
put('tiny-claims-1g-samples.dcr', small[:44] + struct.pack('<i', 2**30) + small[48:])
put('tiny-claims-2g-name.dcr', small[:60] + struct.pack('<i', 2**31 - 1) + small[64:])
# Legal, with one-value samples: 4 bytes each in the file.
put('one-value-samples-8mb.dcr', kb(1, 1, 1, 1, 1, [(2_000_000, b'A')]))
# Legal, a million patterns of no samples: 13 bytes each in the file.
put('empty-patterns-13mb.dcr', kb(1, 1, 1, 1, 1, [(0, b'A')] * 1_000_000))
# Legal, one hidden unit and a 2048 x 2048 input grid.
put('one-hidden-unit-16mb.dcr', kb(2048, 2048, 1, 1, 1, [(0, b'A')]))
# An ordinary shape at the same size: 20 x 20 grids, 50 hidden units.
put('ordinary-8mb.dcr', kb(20, 20, 20, 20, 50, [(50, bytes([65 + n % 26])) for n in range(100)]))
