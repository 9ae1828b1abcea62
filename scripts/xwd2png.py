#!/usr/bin/env python3
"""Converts the frame buffer file of Xvfb (-fbdir, XWD format, 24 or 32 bits
per pixel, TrueColor) to PNG, optionally cropped: xwd2png.py IN OUT [X Y W H].
Prints "blank" instead of writing when the (cropped) image has one colour."""
import struct
import sys
import zlib


def read_xwd(path):
    data = open(path, 'rb').read()
    header_size = struct.unpack('>I', data[0:4])[0]
    fields = struct.unpack('>25I', data[0:100])
    (_, version, _fmt, depth, width, height, _xoff, byte_order, _unit, _bit_order, _pad,
     bpp, bytes_per_line, _visual, red_mask, green_mask, blue_mask, _bits_rgb, _cmap_entries,
     ncolors, _ww, _wh, _wx, _wy, _bw) = fields
    if version != 7 or bpp not in (24, 32):
        raise SystemExit('unsupported XWD file (version %d, %d bits per pixel)' % (version, bpp))
    pixels = header_size + ncolors * 12
    return dict(data=data, offset=pixels, width=width, height=height, bpp=bpp,
                stride=bytes_per_line, lsb=(byte_order == 0),
                masks=(red_mask, green_mask, blue_mask))


def shift_of(mask):
    s = 0
    while mask and not (mask >> s) & 1:
        s += 1
    return s


def rows(img, x, y, w, h):
    step = img['bpp'] // 8
    fmt = '<I' if img['lsb'] else '>I'
    shifts = [shift_of(m) for m in img['masks']]
    data = img['data']
    for row in range(y, y + h):
        base = img['offset'] + row * img['stride']
        out = bytearray()
        for col in range(x, x + w):
            at = base + col * step
            raw = data[at:at + step]
            if step == 3:
                raw = raw + b'\0' if img['lsb'] else b'\0' + raw
            v = struct.unpack(fmt, raw)[0]
            out += bytes(((v & m) >> s) & 0xff for m, s in zip(img['masks'], shifts))
        yield bytes(out)


def write_png(path, width, height, lines):
    raw = b''.join(b'\0' + line for line in lines)

    def chunk(kind, body):
        c = struct.pack('>I', len(body)) + kind + body
        return c + struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff)

    png = b'\x89PNG\r\n\x1a\n'
    png += chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(raw, 9))
    png += chunk(b'IEND', b'')
    open(path, 'wb').write(png)


def main():
    img = read_xwd(sys.argv[1])
    x, y, w, h = 0, 0, img['width'], img['height']
    if len(sys.argv) >= 7:
        x, y, w, h = (int(v) for v in sys.argv[3:7])
    lines = list(rows(img, x, y, w, h))
    if len(set(lines)) == 1 and len(set(lines[0][i:i + 3] for i in range(0, len(lines[0]), 3))) == 1:
        print('blank')
        return
    write_png(sys.argv[2], w, h, lines)
    print('written')


if __name__ == '__main__':
    main()
