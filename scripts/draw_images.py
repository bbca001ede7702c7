#!/usr/bin/env python3
"""Draws the program's three GIF images and its icon into src/gui/images/.

Run it again after changing a drawing; the output is committed. Standard library only.
"""
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "gui", "images")

# A 5x7 pixel font, enough for the few words the images carry.
FONT = {
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "B": ["11110", "10001", "10001", "11110", "10001", "10001", "11110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "F": ["11111", "10000", "10000", "11110", "10000", "10000", "10000"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "O": ["01110", "10001", "10001", "10001", "10001", "10001", "01110"],
    "P": ["11110", "10001", "10001", "11110", "10000", "10000", "10000"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    ">": ["10000", "01000", "00100", "00010", "00100", "01000", "10000"],
    " ": ["00000"] * 7,
}


class Canvas:
    def __init__(self, width, height, colour):
        self.width, self.height = width, height
        self.pixels = [[colour] * width for _ in range(height)]

    def put(self, x, y, colour):
        if 0 <= x < self.width and 0 <= y < self.height:
            self.pixels[y][x] = colour

    def rect(self, x0, y0, x1, y1, colour):
        for y in range(y0, y1):
            for x in range(x0, x1):
                self.put(x, y, colour)

    def text(self, x, y, words, colour, scale=1):
        for ch in words:
            for row, bits in enumerate(FONT[ch]):
                for col, bit in enumerate(bits):
                    if bit == "1":
                        self.rect(x + col * scale, y + row * scale,
                                  x + (col + 1) * scale, y + (row + 1) * scale, colour)
            x += 6 * scale


def palette_of(canvas):
    colours = sorted({c for row in canvas.pixels for c in row})
    assert len(colours) <= 256, "too many colours for one GIF table"
    return colours + [(0, 0, 0)] * (256 - len(colours))


def lzw_uncompressed(indices):
    """GIF LZW data of 8-bit indices, sent as literals with a clear code often enough
    that the code width stays at 9 bits (larger than real compression, always valid)."""
    clear, end = 256, 257
    codes = [clear]
    for i, index in enumerate(indices):
        if i and i % 250 == 0:
            codes.append(clear)
        codes.append(index)
    codes.append(end)
    out, acc, nbits = bytearray(), 0, 0
    for code in codes:
        acc |= code << nbits
        nbits += 9
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def write_gif(name, canvas):
    colours = palette_of(canvas)
    lookup = {c: i for i, c in enumerate(colours)}
    indices = [lookup[c] for row in canvas.pixels for c in row]
    data = lzw_uncompressed(indices)
    gif = bytearray(b"GIF89a")
    # Global colour table of 256 entries (size field 7), no background, no aspect ratio.
    gif += struct.pack("<HHBBB", canvas.width, canvas.height, 0xF7, 0, 0)
    for r, g, b in colours:
        gif += bytes((r, g, b))
    gif += b"\x2C" + struct.pack("<HHHHB", 0, 0, canvas.width, canvas.height, 0)
    gif += b"\x08"
    for i in range(0, len(data), 255):
        block = data[i:i + 255]
        gif += bytes((len(block),)) + block
    gif += b"\x00\x3B"
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(gif)


def write_ico(name, canvas):
    """One 32x32 image, 24 bits per pixel, with its 1-bit AND mask (all opaque)."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b = canvas.pixels[y][x]
            xor += bytes((b, g, r))
    mask_row = ((w + 31) // 32) * 4
    mask = bytes(mask_row * h)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 24, 0, len(xor) + len(mask), 0, 0, 0, 0)
    image = header + xor + mask
    ico = struct.pack("<HHH", 0, 1, 1)
    ico += struct.pack("<BBBBHHII", w, h, 0, 0, 1, 24, len(image), 6 + 16)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(ico + image)


NAVY, WHITE, GOLD, SKY = (0, 0, 128), (255, 255, 255), (230, 180, 40), (90, 140, 210)


def banner():
    c = Canvas(296, 62, WHITE)
    for y in range(62):  # navy to sky, top to bottom
        t = y / 61
        colour = tuple(int(a + (b - a) * t) for a, b in zip(NAVY, SKY))
        c.rect(0, y, 296, y + 1, colour)
    c.rect(0, 56, 296, 59, GOLD)
    c.text(12, 10, "MORVANTIL", WHITE, scale=4)
    c.text(12, 44, "BRENOLA > FTP", GOLD, scale=1)
    return c


def footer():
    c = Canvas(50, 20, WHITE)
    c.rect(0, 0, 50, 20, NAVY)
    c.text(4, 7, "FTP", WHITE)
    c.rect(26, 9, 44, 11, GOLD)
    for i in range(4):
        c.rect(40 + i, 6 + i, 41 + i, 14 - i, GOLD)
    return c


def browse():
    c = Canvas(25, 21, (212, 208, 200))
    c.rect(3, 6, 21, 17, (200, 150, 30))   # folder body
    c.rect(3, 4, 10, 6, (200, 150, 30))    # its tab
    c.rect(4, 8, 20, 16, GOLD)
    for x in (8, 12, 16):                  # three dots: "browse"
        c.rect(x, 11, x + 2, 13, NAVY)
    return c


def icon():
    c = Canvas(32, 32, NAVY)
    c.rect(2, 2, 30, 30, SKY)
    c.rect(4, 4, 28, 28, NAVY)
    c.text(6, 9, "M", WHITE, scale=2)
    c.rect(8, 25, 24, 27, GOLD)
    return c


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    write_gif("banner.gif", banner())
    write_gif("footer.gif", footer())
    write_gif("browse.gif", browse())
    write_ico("morvantil.ico", icon())
