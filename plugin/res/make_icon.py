#!/usr/bin/env python3
"""Writes the module's icon file from its text pixel map.

usage: make_icon.py PIXEL_MAP ICON_FILE

Every image becomes a 16-colour (4 bits per pixel, one plane) icon image:
a 40-byte bitmap header, the 16-entry palette, the colour bitmap and the
transparency mask, both stored bottom row first with rows padded to 4 bytes.
Transparent pixels are colour 0 with their mask bit set, so the screen shows
through them unchanged.
"""
import struct
import sys

# The 16-colour Windows palette, as (red, green, blue).
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
TRANSPARENT = "."
SIZES = (32, 16)  # the images the module carries, in this order


class MapError(Exception):
    pass


def read_map(path):
    """Returns {size: [row strings]} from the pixel map, checking its shape."""
    images = {}
    size = None
    with open(path, encoding="ascii") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\r\n")
            where = f"{path}:{number}"
            if not line or line.startswith("#"):
                continue
            if line.startswith("size "):
                try:
                    size = int(line[5:])
                except ValueError:
                    raise MapError(f"{where}: bad size line {line!r}")
                if size not in SIZES or size in images:
                    raise MapError(f"{where}: size {size} is not one of {SIZES} or repeats")
                images[size] = []
                continue
            if size is None:
                raise MapError(f"{where}: pixel row before any size line")
            if len(line) != size:
                raise MapError(f"{where}: row has {len(line)} pixels, want {size}")
            if len(images[size]) == size:
                raise MapError(f"{where}: more than {size} rows")
            bad = [c for c in line if c != TRANSPARENT and c not in "0123456789abcdef"]
            if bad:
                raise MapError(f"{where}: unknown pixel {bad[0]!r}")
            images[size].append(line)
    for want in SIZES:
        if want not in images:
            raise MapError(f"{path}: no {want}x{want} image")
        if len(images[want]) != want:
            raise MapError(f"{path}: {want}x{want} image has {len(images[want])} rows")
    return images


def padded(row_bytes):
    return row_bytes + b"\0" * (-len(row_bytes) % 4)


def image_bytes(rows):
    """One icon image: header, palette, colour bitmap, mask."""
    size = len(rows)
    colour = b""
    mask = b""
    for row in reversed(rows):  # bitmaps are stored bottom row first
        indices = [0 if c == TRANSPARENT else int(c, 16) for c in row]
        colour += padded(bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2)))
        bits = 0
        for c in row:
            bits = (bits << 1) | (c == TRANSPARENT)
        mask += padded(bits.to_bytes(size // 8, "big"))
    header = struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 4, 0,
                         len(colour) + len(mask), 0, 0, 16, 0)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in PALETTE)
    return header + palette + colour + mask


def icon_file(images):
    blobs = [image_bytes(images[size]) for size in SIZES]
    out = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for size, blob in zip(SIZES, blobs):
        out += struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(blob), offset)
        offset += len(blob)
    return out + b"".join(blobs)


def main(argv):
    if len(argv) != 3:
        print("usage: make_icon.py PIXEL_MAP ICON_FILE", file=sys.stderr)
        return 2
    try:
        data = icon_file(read_map(argv[1]))
        with open(argv[2], "wb") as f:
            f.write(data)
    except (MapError, OSError, UnicodeDecodeError) as e:
        print(f"make_icon: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
