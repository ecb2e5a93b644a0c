#!/usr/bin/env python3
"""Draws the program's icons and About bitmap. Deterministic: the same files on every run.

Run from this folder: python3 make_pictures.py
"""
import struct

SIZE = 32


def canvas(w, h):
    return [[(0, 0, 0, 0)] * w for _ in range(h)]


def put(img, x, y, c):
    if 0 <= y < len(img) and 0 <= x < len(img[0]):
        img[y][x] = c


def rect(img, x0, y0, x1, y1, c):
    for y in range(y0, y1):
        for x in range(x0, x1):
            put(img, x, y, c)


def disc(img, cx, cy, r, c):
    for y in range(int(cy - r) - 1, int(cy + r) + 2):
        for x in range(int(cx - r) - 1, int(cx + r) + 2):
            if (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r:
                put(img, x, y, c)


def line(img, x0, y0, x1, y1, width, c):
    steps = int(max(abs(x1 - x0), abs(y1 - y0)) * 2) + 1
    for i in range(steps + 1):
        t = i / steps
        disc(img, x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, width / 2, c)


BLUE = (40, 80, 170, 255)
DARK = (20, 30, 60, 255)
GREEN = (30, 170, 60, 255)
RED = (210, 40, 40, 255)
GREY = (150, 150, 150, 255)
LIGHT = (210, 210, 210, 255)
WHITE = (255, 255, 255, 255)


def base(img, body, screen):
    """A DECT base with its handset standing in it."""
    rect(img, 3, 20, 29, 29, body)          # the base
    rect(img, 10, 4, 20, 24, body)           # the handset
    rect(img, 12, 6, 18, 11, screen)         # its display
    for row in range(3):
        for col in range(2):
            rect(img, 12 + col * 4, 13 + row * 3, 14 + col * 4, 15 + row * 3, screen)
    line(img, 18, 4, 22, 0, 2, body)         # the antenna


def badge(img, c):
    disc(img, 25, 25, 6, WHITE)
    disc(img, 25, 25, 5, c)


def found_online():
    img = canvas(SIZE, SIZE)
    base(img, BLUE, WHITE)
    badge(img, GREEN)
    return img


def found_offline():
    img = canvas(SIZE, SIZE)
    base(img, BLUE, WHITE)
    badge(img, GREY)
    return img


def not_found():
    img = canvas(SIZE, SIZE)
    base(img, GREY, LIGHT)
    line(img, 4, 4, 28, 28, 4, RED)
    return img


def state(on):
    img = canvas(SIZE, SIZE)
    disc(img, 16, 16, 13, WHITE)
    disc(img, 16, 16, 12, GREEN if on else RED)
    if on:
        line(img, 9, 16, 14, 22, 3, WHITE)
        line(img, 14, 22, 23, 10, 3, WHITE)
    else:
        line(img, 10, 10, 22, 22, 3, WHITE)
        line(img, 22, 10, 10, 22, 3, WHITE)
    return img


def app():
    img = canvas(SIZE, SIZE)
    base(img, DARK, WHITE)
    disc(img, 25, 8, 6, WHITE)
    disc(img, 25, 8, 5, BLUE)
    rect(img, 23, 5, 27, 7, WHITE)   # an "S" for Skype, in three bars
    rect(img, 23, 7, 25, 8, WHITE)
    rect(img, 23, 8, 27, 10, WHITE)
    return img


def write_ico(path, img):
    h, w = len(img), len(img[0])
    pixels = b"".join(struct.pack("BBBB", b, g, r, a) for row in reversed(img) for (r, g, b, a) in row)
    mask_row = ((w + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(img):
        bits = bytearray(mask_row)
        for x, (_, _, _, a) in enumerate(row):
            if a == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(pixels) + len(mask), 0, 0, 0, 0)
    image = header + pixels + bytes(mask)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1))
        f.write(struct.pack("<BBBBHHII", w, h, 0, 0, 1, 32, len(image), 22))
        f.write(image)


def write_bmp(path, img, background=(236, 233, 216)):
    h, w = len(img), len(img[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(img):
        line_bytes = bytearray()
        for (r, g, b, a) in row:
            if a == 0:
                r, g, b = background
            line_bytes += bytes((b, g, r))
        line_bytes += bytes(stride - len(line_bytes))
        data += line_bytes
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54))
        f.write(struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0))
        f.write(data)


def about():
    """The About picture: two handsets beside a base, on the dialog's colour."""
    img = canvas(72, 36)
    rect(img, 4, 24, 44, 34, BLUE)
    for i, x in enumerate((10, 28)):
        rect(img, x, 4 + i * 2, x + 10, 28, DARK)
        rect(img, x + 2, 6 + i * 2, x + 8, 11 + i * 2, WHITE)
        line(img, x + 8, 4 + i * 2, x + 12, 0 + i * 2, 2, DARK)
    disc(img, 58, 18, 11, BLUE)
    rect(img, 53, 12, 63, 15, WHITE)
    rect(img, 53, 15, 56, 18, WHITE)
    rect(img, 53, 18, 63, 21, WHITE)
    rect(img, 60, 21, 63, 24, WHITE)
    rect(img, 53, 24, 63, 27, WHITE)
    return img


if __name__ == "__main__":
    write_ico("found_online.ico", found_online())
    write_ico("found_offline.ico", found_offline())
    write_ico("not_found.ico", not_found())
    write_ico("state_on.ico", state(True))
    write_ico("state_off.ico", state(False))
    write_ico("app.ico", app())
    write_bmp("about.bmp", about())
