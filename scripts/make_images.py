#!/usr/bin/env python3
"""Writes the two small pictures the style sheet refers to:
assets/images/MainBackground.gif (8x8, a light vertical gradient) and
assets/images/dot.gif (2x1, a dotted rule: one grey pixel, one transparent).
Run from the repository root."""

import struct


def lzw_literal(pixels, min_code_size=2):
    """LZW data that holds every pixel as a literal code. A clear code
    before every second pixel keeps the code width at min_code_size + 1."""
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    codes = []
    for i, p in enumerate(pixels):
        if i % 2 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    bits, nbits, out = 0, 0, bytearray()
    for c in codes:
        bits |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(bits & 0xFF)
            bits >>= 8
            nbits -= 8
    if nbits:
        out.append(bits & 0xFF)
    blocks = bytearray([min_code_size])
    for i in range(0, len(out), 255):
        chunk = out[i:i + 255]
        blocks += bytes([len(chunk)]) + chunk
    return bytes(blocks + b"\x00")


def gif(width, height, palette, pixels, transparent=None):
    assert len(palette) == 4 and len(pixels) == width * height
    data = b"GIF89a" + struct.pack("<HHBBB", width, height, 0xF1, 0, 0)
    data += b"".join(bytes(c) for c in palette)
    if transparent is not None:
        data += b"\x21\xF9\x04\x01\x00\x00" + bytes([transparent]) + b"\x00"
    data += b"\x2C" + struct.pack("<HHHHB", 0, 0, width, height, 0)
    data += lzw_literal(pixels)
    return data + b"\x3B"


shades = [(0xFF, 0xFF, 0xFF), (0xF7, 0xFA, 0xFD), (0xEF, 0xF5, 0xFB), (0xE7, 0xF0, 0xF9)]
background = [row // 2 for row in range(8) for _ in range(8)]
with open("assets/images/MainBackground.gif", "wb") as f:
    f.write(gif(8, 8, shades, background))

dots = [(0x99, 0x99, 0x99), (0xFF, 0xFF, 0xFF), (0, 0, 0), (0, 0, 0)]
with open("assets/images/dot.gif", "wb") as f:
    f.write(gif(2, 1, dots, [0, 1], transparent=1))
