#!/usr/bin/env python3
"""Reads a Windows bitmap with nothing but the standard library and checks it
against what the program drew.

    check_bmp.py PICTURE.BMP EXPECTED

EXPECTED holds the width and height on its first line, then one line per
sampled pixel: x y red green blue (x from the left, y from the top). The
bitmap must be a standard one: a BITMAPFILEHEADER whose size field is the
file's size, a BITMAPINFOHEADER (or a later version of it), one plane,
uncompressed 24-bit or 32-bit pixels (32-bit also with the usual bit-field
masks), rows padded to four bytes, bottom-up or top-down."""

import struct
import sys


def fail(message):
    print("check_bmp: " + message, file=sys.stderr)
    sys.exit(1)


def read_bitmap(path):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 14 + 40:
        fail("%s: too short for a bitmap (%d bytes)" % (path, len(data)))
    magic, file_size, _r1, _r2, offset = struct.unpack_from("<2sIHHI", data, 0)
    if magic != b"BM":
        fail("%s: no 'BM' signature" % path)
    if file_size != len(data):
        fail("%s: the header says %d bytes, the file has %d" % (path, file_size, len(data)))
    (header_size, width, height, planes, bits, compression, _image_size, _xppm, _yppm,
     _colours, _important) = struct.unpack_from("<IiiHHIIiiII", data, 14)
    if header_size < 40:
        fail("%s: info header of %d bytes" % (path, header_size))
    if planes != 1:
        fail("%s: %d planes" % (path, planes))
    if width <= 0 or height == 0:
        fail("%s: size %d x %d" % (path, width, height))
    masks = None
    if compression == 3:  # BI_BITFIELDS: red, green, blue masks after the 40 bytes
        masks = struct.unpack_from("<III", data, 14 + 40)
        if bits != 32:
            fail("%s: bit fields with %d bits a pixel" % (path, bits))
    elif compression != 0:
        fail("%s: compression %d" % (path, compression))
    if bits not in (24, 32):
        fail("%s: %d bits a pixel" % (path, bits))
    stride = (bits * width + 31) // 32 * 4
    rows = abs(height)
    if offset + stride * rows > len(data):
        fail("%s: pixel data runs past the end of the file" % path)
    return {"data": data, "width": width, "height": rows, "top_down": height < 0,
            "bits": bits, "stride": stride, "offset": offset, "masks": masks}


def shift_of(mask):
    shift = 0
    while mask and not mask & 1:
        mask >>= 1
        shift += 1
    return shift


def pixel(bitmap, x, y):
    row = y if bitmap["top_down"] else bitmap["height"] - 1 - y
    at = bitmap["offset"] + row * bitmap["stride"] + x * (bitmap["bits"] // 8)
    data = bitmap["data"]
    if bitmap["bits"] == 24:
        blue, green, red = data[at], data[at + 1], data[at + 2]
        return red, green, blue
    value = struct.unpack_from("<I", data, at)[0]
    masks = bitmap["masks"] or (0x00FF0000, 0x0000FF00, 0x000000FF)
    return tuple((value & m) >> shift_of(m) for m in masks)


def main(argv):
    if len(argv) != 3:
        fail("usage: check_bmp.py PICTURE.BMP EXPECTED")
    bitmap = read_bitmap(argv[1])
    with open(argv[2]) as f:
        lines = [line.split() for line in f if line.strip()]
    width, height = int(lines[0][0]), int(lines[0][1])
    if (bitmap["width"], bitmap["height"]) != (width, height):
        fail("size %d x %d, expected %d x %d" % (bitmap["width"], bitmap["height"], width, height))
    samples = [tuple(int(v) for v in line) for line in lines[1:]]
    if not samples:
        fail("no pixels to check")
    black = 0
    for x, y, red, green, blue in samples:
        got = pixel(bitmap, x, y)
        if got != (red, green, blue):
            fail("pixel (%d, %d) is %s, expected %s" % (x, y, got, (red, green, blue)))
        black += (red, green, blue) == (0, 0, 0)
    if black == 0:
        fail("no drawn (black) pixel among the samples")
    print("check_bmp: %s: %d x %d, %d bits, %d pixels as drawn (%d black)"
          % (argv[1], width, height, bitmap["bits"], len(samples), black))


if __name__ == "__main__":
    main(sys.argv)
