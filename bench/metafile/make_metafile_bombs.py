#!/usr/bin/python3
"""Writes small metafiles whose bitmaps claim far more pixels than they hold.

usage: make_metafile_bombs.py OUTDIR

Each record carries a device-independent bitmap whose header claims up to
8192 x 4096 pixels, RLE-compressed to a lone end-of-bitmap code. Measure a
file with `/usr/bin/time -v build/tools/picture2png/picture2png FILE - [WxH]`
(the CPU seconds and "Maximum resident set size" lines).
"""
import struct
import sys
from pathlib import Path

WIDTH, HEIGHT = 8192, 4096


def rle_dib(width=WIDTH, height=HEIGHT):
    # BITMAPINFOHEADER, RLE8, one colour, then the end-of-bitmap code.
    header = struct.pack("<IiiHHIIiiII", 40, width, height, 1, 8, 1, 2, 0, 0, 1, 0)
    return header + struct.pack("<I", 0x00FF0000) + b"\x00\x01\x00\x00"


def emf(records, size=(400, 300)):
    w, h = size
    body = b"".join(records)
    eof = struct.pack("<IIIII", 14, 20, 0, 16, 20)
    count = len(records) + 2
    frame_w, frame_h = w * 2540 // 96, h * 2540 // 96
    header = struct.pack("<II4i4iIIIIHHIII2i2i", 1, 88, 0, 0, w - 1, h - 1, 0, 0, frame_w - 1,
                         frame_h - 1, 0x464D4520, 0x10000, 88 + len(body) + len(eof), count, 0, 0,
                         0, 0, 0, 960, 960, 254, 254)
    return header + body + eof


def emf_record(kind, body):
    while len(body) % 4:
        body += b"\0"
    return struct.pack("<II", kind, len(body) + 8) + body


def stretchdibits(dib, dest=(0, 0, 400, 300)):
    x, y, cx, cy = dest
    sw, sh = dib_size(dib)
    fixed = 80
    body = struct.pack("<4i", 0, 0, cx, cy)  # rclBounds
    body += struct.pack("<iiiiiiIIIIIIii", x, y, 0, 0, sw, sh, fixed, 40 + 4, fixed + 44,
                        len(dib) - 44, 0, 0x00CC0020, cx, cy)
    return emf_record(81, body + dib)


def stretchblt(dib, dest=(0, 0, 400, 300)):
    x, y, cx, cy = dest
    sw, sh = dib_size(dib)
    fixed = 108
    body = struct.pack("<4i", 0, 0, cx, cy)
    body += struct.pack("<iiiiIii", x, y, cx, cy, 0x00CC0020, 0, 0)
    body += struct.pack("<6f", 1, 0, 0, 1, 0, 0)
    body += struct.pack("<IIIIIIii", 0xFFFFFF, 0, fixed, 44, fixed + 44, len(dib) - 44, sw, sh)
    return emf_record(77, body + dib)


def wmf(records, size=(400, 300)):
    w, h = size
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, w, h, 96, 0)
    checksum = 0
    for (v,) in struct.iter_unpack("<H", placeable):
        checksum ^= v
    placeable += struct.pack("<H", checksum)
    body = b"".join(records) + struct.pack("<IH", 3, 0)
    largest = max(len(r) // 2 for r in records)
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, 9 + len(body) // 2, 0, largest, 0)
    return placeable + header + body


def wmf_record(function, params):
    if len(params) % 2:
        params += b"\0"
    return struct.pack("<IH", 3 + len(params) // 2, function) + params


def dibstretchblt(dib, dest=(0, 0, 400, 300)):
    x, y, cx, cy = dest
    sw, sh = dib_size(dib)
    params = struct.pack("<I8h", 0x00CC0020, sh, sw, 0, 0, cy, cx, y, x)
    return wmf_record(0x0B41, params + dib)


def stretchdib(dib, dest=(0, 0, 400, 300)):
    x, y, cx, cy = dest
    sw, sh = dib_size(dib)
    params = struct.pack("<IH8h", 0x00CC0020, 0, sh, sw, 0, 0, cy, cx, y, x)
    return wmf_record(0x0F43, params + dib)


def dib_size(dib):
    return struct.unpack_from("<ii", dib, 4)


def rectangles(n, side):
    # A solid brush selected, then the whole frame filled n times.
    brush = emf_record(39, struct.pack("<IIII", 1, 0, 0x0000FF, 0))
    select = emf_record(37, struct.pack("<I", 1))
    rect = emf_record(43, struct.pack("<4i", 0, 0, side, side))
    return [brush, select] + [rect] * n


def distinct_dibs(n):
    # Bitmaps of slightly different sizes, so no cache can share them.
    return [rle_dib(WIDTH - i, HEIGHT) for i in range(n)]


def main():
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    files = {
        "emf-stretchdibits-10.emf": emf([stretchdibits(rle_dib())] * 10),
        "emf-stretchdibits-300-distinct.emf": emf([stretchdibits(d) for d in distinct_dibs(300)]),
        "emf-stretchblt-300.emf": emf([stretchblt(rle_dib())] * 300),
        "wmf-dibstretchblt-1.wmf": wmf([dibstretchblt(rle_dib())]),
        "wmf-stretchdib-60.wmf": wmf([stretchdib(rle_dib())] * 60),
        "wmf-stretchdib-60-distinct.wmf": wmf([stretchdib(d) for d in distinct_dibs(60)]),
        # Small bitmaps stretched over the whole frame, many times over.
        "emf-stretched-small-20000.emf": emf([stretchdibits(rle_dib(3, 3), (0, 0, 4000, 4000))] *
                                             20000, (4000, 4000)),
    }
    files["emf-rectangles-100000.emf"] = emf(rectangles(100000, 4000), (4000, 4000))
    for name, data in files.items():
        (out / name).write_bytes(data)
        print(f"{len(data):8} bytes  {out / name}")


if __name__ == "__main__":
    main()
