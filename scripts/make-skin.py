#!/usr/bin/env python3
"""Draws the window's skin bitmaps into resources/Skin/.

Every picture is drawn here from simple shapes, so the set can be remade or
changed without an image editor:

    python3 scripts/make-skin.py [output-folder]

The files are 24-bit BMP (bottom-up rows, no compression), which GdkPixbuf
reads. Pictures sit side by side in strips of equal squares; the background
of every picture is the key colour magenta (255, 0, 255), which the window
turns transparent (gdk_pixbuf_add_alpha with that colour).

Strips, picture by picture:
  colctfolder   16  closed folder, open folder
  colctdoc      16  page, web page, page with pictures
  StyleIcon     16  letter style, colour style
  Flags         16  page, web page, deleted page, then flag + 3 for the
                    flags: clear, red/yellow/green/blue star, important,
                    question, checked, remember for later, research,
                    unfinished
  BarNav(Dis)   20  go back, go forward, search collections, tags window
  BarGeneral(Dis) 20 new page, new folder, save, print, cut, copy, paste,
                    undo, redo, delete
  Icons20       20  bold, italic, underline, strike through, superscript,
                    subscript, foreground colour, background colour,
                    highlight, left, center, right, number list, bullet
                    list, increase indent, decrease indent, table, link,
                    image
  ExtraIcons    16  project, recent project, search, tag, trash, web
  NoteBarBg, NoteBar2Bg  4 x 24 backgrounds, stretched across their bars
"""

import math
import os
import struct
import sys

KEY = (255, 0, 255)

INK = (52, 58, 66)
GREY = (128, 134, 142)
LIGHT = (214, 218, 224)
PAPER = (255, 255, 255)
BLUE = (47, 111, 179)
SKY = (120, 170, 225)
RED = (205, 52, 48)
YELLOW = (240, 190, 30)
GREEN = (52, 150, 70)
ORANGE = (230, 130, 30)
FOLDER = (232, 184, 72)
FOLDER_DARK = (178, 128, 36)
PURPLE = (130, 80, 170)


class Canvas:
    def __init__(self, width, height, fill=KEY):
        self.width = width
        self.height = height
        self.pixels = [[fill] * width for _ in range(height)]
        self.ox = 0

    def put(self, x, y, colour):
        x += self.ox
        if 0 <= y < self.height and self.ox <= x < self.width:
            self.pixels[y][x] = colour

    def rect(self, x, y, w, h, colour):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.put(xx, yy, colour)

    def frame(self, x, y, w, h, colour):
        self.rect(x, y, w, 1, colour)
        self.rect(x, y + h - 1, w, 1, colour)
        self.rect(x, y, 1, h, colour)
        self.rect(x + w - 1, y, 1, h, colour)

    def box(self, x, y, w, h, fill, edge):
        self.rect(x, y, w, h, fill)
        self.frame(x, y, w, h, edge)

    def disc(self, cx, cy, r, colour, inner=-1.0):
        for y in range(int(cy - r) - 1, int(cy + r) + 2):
            for x in range(int(cx - r) - 1, int(cx + r) + 2):
                d = math.hypot(x + 0.5 - cx, y + 0.5 - cy)
                if inner < d <= r:
                    self.put(x, y, colour)

    def line(self, x0, y0, x1, y1, colour, width=1):
        steps = max(abs(x1 - x0), abs(y1 - y0), 1) * 2
        for i in range(steps + 1):
            t = i / steps
            x = round(x0 + (x1 - x0) * t)
            y = round(y0 + (y1 - y0) * t)
            self.rect(x - (width - 1) // 2, y - (width - 1) // 2, width, width, colour)

    def poly(self, points, colour):
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        for y in range(int(min(ys)), int(max(ys)) + 1):
            for x in range(int(min(xs)), int(max(xs)) + 1):
                if inside(points, x + 0.5, y + 0.5):
                    self.put(x, y, colour)

    def text(self, x, y, chars, colour, scale=1):
        for ch in chars:
            rows = GLYPHS[ch]
            for gy, row in enumerate(rows):
                for gx, bit in enumerate(row):
                    if bit == "#":
                        self.rect(x + gx * scale, y + gy * scale, scale, scale, colour)
            x += (len(rows[0]) + 1) * scale


def inside(points, px, py):
    result = False
    j = len(points) - 1
    for i in range(len(points)):
        xi, yi = points[i]
        xj, yj = points[j]
        if (yi > py) != (yj > py) and px < (xj - xi) * (py - yi) / (yj - yi) + xi:
            result = not result
        j = i
    return result


GLYPHS = {
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "S": [".####", "#....", "#....", ".###.", "....#", "....#", "####."],
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "x": [".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["##.", "..#", ".#.", "#..", "###"],
    "3": ["##.", "..#", ".#.", "..#", "##."],
    "!": ["#", "#", "#", "#", ".", "#"],
    "?": ["###", "..#", ".##", ".#.", "...", ".#."],
}


def strip(size, drawers):
    canvas = Canvas(size * len(drawers), size)
    for i, draw in enumerate(drawers):
        canvas.ox = i * size
        draw(canvas)
    canvas.ox = 0
    return canvas


def disabled(canvas):
    """The same pictures washed out to a pale grey."""
    out = Canvas(canvas.width, canvas.height)
    for y in range(canvas.height):
        for x in range(canvas.width):
            r, g, b = canvas.pixels[y][x]
            if (r, g, b) != KEY:
                grey = (r * 30 + g * 59 + b * 11) // 100
                level = 150 + grey * 90 // 255
                out.pixels[y][x] = (level, level, level)
    return out


def save_bmp(canvas, path):
    stride = (canvas.width * 3 + 3) & ~3
    rows = []
    for row in reversed(canvas.pixels):
        data = b"".join(bytes((b, g, r)) for r, g, b in row)
        rows.append(data + b"\0" * (stride - len(data)))
    image = b"".join(rows)
    header = struct.pack("<2sIHHI", b"BM", 54 + len(image), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(image), 2835, 2835, 0, 0)
    with open(path, "wb") as out:
        out.write(header + info + image)


# ---- 16 x 16 pictures ----

def page(c, fill=PAPER):
    c.poly([(3, 1), (10, 1), (13, 4), (13, 15), (3, 15)], fill)
    c.line(3, 1, 10, 1, GREY)
    c.line(3, 1, 3, 14, GREY)
    c.line(3, 14, 12, 14, GREY)
    c.line(12, 4, 12, 14, GREY)
    c.line(10, 1, 12, 3, GREY)
    c.line(10, 1, 10, 3, GREY)
    c.line(10, 3, 12, 3, GREY)


def page_lines(c):
    page(c)
    for y in (6, 8, 10):
        c.rect(5, y, 6, 1, LIGHT)


def web_page(c):
    page(c)
    c.disc(8, 9, 3.6, SKY)
    c.rect(5, 9, 7, 1, BLUE)
    c.rect(8, 6, 1, 7, BLUE)


def picture_page(c):
    page(c)
    c.rect(5, 6, 6, 6, SKY)
    c.poly([(5, 12), (7.5, 8), (10, 12)], GREEN)
    c.disc(9.5, 7.5, 1, YELLOW)


def deleted_page(c):
    page_lines(c)
    c.line(7, 8, 13, 14, RED, 2)
    c.line(13, 8, 7, 14, RED, 2)


def folder_closed(c):
    c.rect(1, 3, 6, 2, FOLDER_DARK)
    c.box(1, 4, 14, 10, FOLDER, FOLDER_DARK)


def folder_open(c):
    c.rect(1, 3, 6, 2, FOLDER_DARK)
    c.box(1, 4, 12, 10, FOLDER_DARK, FOLDER_DARK)
    c.poly([(3, 7), (15, 7), (13, 14), (1, 14)], FOLDER)
    c.line(3, 7, 14, 7, FOLDER_DARK)


def style_letter(c):
    c.text(3, 0, "A", BLUE, 2)
    c.rect(2, 14, 12, 2, INK)


def style_colour(c):
    c.box(1, 2, 7, 7, RED, INK)
    c.box(8, 2, 7, 7, YELLOW, INK)
    c.box(1, 8, 7, 7, GREEN, INK)
    c.box(8, 8, 7, 7, BLUE, INK)


def star(colour):
    def draw(c):
        points = []
        for i in range(10):
            r = 7.2 if i % 2 == 0 else 3.0
            a = -math.pi / 2 + i * math.pi / 5
            points.append((8 + r * math.cos(a), 8.6 + r * math.sin(a)))
        c.poly(points, colour)
    return draw


def clear_flag(c):
    for i in range(2, 14, 2):
        for x, y in ((i, 2), (i, 13), (2, i), (13, i)):
            c.put(x, y, GREY)


def important(c):
    c.disc(8, 8, 7, RED)
    c.text(7, 3, "!", PAPER)
    c.rect(8, 3, 1, 4, PAPER)


def question(c):
    c.disc(8, 8, 7, BLUE)
    c.text(6, 4, "?", PAPER)


def checked(c):
    c.line(2, 8, 6, 12, GREEN, 3)
    c.line(6, 12, 13, 3, GREEN, 3)


def remember(c):
    c.disc(8, 8, 7, ORANGE)
    c.disc(8, 8, 5.5, PAPER)
    c.line(8, 8, 8, 4, INK)
    c.line(8, 8, 11, 10, INK)


def research(c):
    c.disc(6.5, 6.5, 5, BLUE, 3.2)
    c.disc(6.5, 6.5, 3.2, (225, 238, 250))
    c.line(10, 10, 14, 14, INK, 2)


def unfinished(c):
    c.disc(8, 8, 7, GREY)
    c.disc(8, 8, 6, PAPER)
    for y in range(16):
        for x in range(8, 16):
            if math.hypot(x + 0.5 - 8, y + 0.5 - 8) <= 6:
                c.put(x, y, PURPLE)


def project(c):
    c.box(2, 1, 11, 14, BLUE, INK)
    c.rect(4, 1, 1, 14, INK)
    c.rect(6, 4, 5, 3, PAPER)


def recent_project(c):
    project(c)
    c.disc(11.5, 11.5, 4.5, PAPER)
    c.disc(11.5, 11.5, 4.5, ORANGE, 3.4)
    c.line(11, 11, 11, 9, INK)
    c.line(11, 11, 13, 11, INK)


def search16(c):
    research(c)


def tag16(c):
    c.poly([(1, 8), (6, 3), (14, 3), (14, 13), (6, 13)], YELLOW)
    c.disc(6, 8, 1.3, INK)


def trash16(c):
    c.rect(2, 3, 12, 2, GREY)
    c.rect(6, 1, 4, 2, GREY)
    c.box(3, 5, 10, 10, LIGHT, GREY)
    for x in (5, 8, 10):
        c.rect(x, 7, 1, 6, GREY)


def globe16(c):
    c.disc(8, 8, 7, SKY)
    c.disc(8, 8, 7, BLUE, 6)
    c.rect(1, 8, 14, 1, BLUE)
    c.rect(8, 1, 1, 14, BLUE)
    # the meridian: a narrower ellipse
    for y in range(16):
        for x in range(16):
            d = math.hypot((x + 0.5 - 8) * 2, y + 0.5 - 8)
            if 6.3 < d <= 7.3 and abs(y + 0.5 - 8) < 6.5:
                c.put(x, y, BLUE)


# ---- 20 x 20 pictures ----

def arrow(direction, colour=GREEN):
    def draw(c):
        if direction < 0:
            c.poly([(2, 10), (10, 2), (10, 6.5), (18, 6.5), (18, 13.5), (10, 13.5), (10, 18)], colour)
        else:
            c.poly([(18, 10), (10, 2), (10, 6.5), (2, 6.5), (2, 13.5), (10, 13.5), (10, 18)], colour)
    return draw


def search20(c):
    c.disc(8, 8, 6.5, BLUE, 4.3)
    c.disc(8, 8, 4.3, (225, 238, 250))
    c.line(13, 13, 18, 18, INK, 3)


def tags20(c):
    c.poly([(1, 10), (7, 4), (18, 4), (18, 16), (7, 16)], YELLOW)
    c.line(7, 4, 18, 4, FOLDER_DARK)
    c.line(7, 16, 18, 16, FOLDER_DARK)
    c.line(18, 4, 18, 16, FOLDER_DARK)
    c.disc(7, 10, 1.6, INK)


def page20(c, fill=PAPER):
    c.poly([(4, 1), (12, 1), (16, 5), (16, 19), (4, 19)], fill)
    c.line(4, 1, 12, 1, GREY)
    c.line(4, 1, 4, 18, GREY)
    c.line(4, 18, 15, 18, GREY)
    c.line(15, 5, 15, 18, GREY)
    c.line(12, 1, 15, 4, GREY)
    c.line(12, 1, 12, 4, GREY)
    c.line(12, 4, 15, 4, GREY)


def sparkle(c, x, y):
    c.line(x - 3, y, x + 3, y, ORANGE)
    c.line(x, y - 3, x, y + 3, ORANGE)
    c.line(x - 2, y - 2, x + 2, y + 2, ORANGE)
    c.line(x - 2, y + 2, x + 2, y - 2, ORANGE)


def new_page(c):
    page20(c)
    for y in (8, 11, 14):
        c.rect(6, y, 7, 1, LIGHT)
    sparkle(c, 15, 15)


def new_folder(c):
    c.rect(1, 4, 7, 2, FOLDER_DARK)
    c.box(1, 5, 17, 12, FOLDER, FOLDER_DARK)
    sparkle(c, 15, 15)


def save(c):
    c.box(2, 2, 16, 16, BLUE, INK)
    c.rect(5, 3, 10, 6, PAPER)
    c.rect(6, 12, 8, 5, LIGHT)
    c.rect(11, 13, 2, 3, INK)


def print20(c):
    c.box(5, 2, 10, 6, PAPER, GREY)
    c.box(2, 7, 16, 8, LIGHT, INK)
    c.box(5, 12, 10, 7, PAPER, GREY)
    c.rect(14, 9, 2, 1, GREEN)


def cut(c):
    c.line(6, 2, 13, 12, INK, 2)
    c.line(13, 2, 6, 12, INK, 2)
    c.disc(5.5, 15, 3, RED, 1.6)
    c.disc(13.5, 15, 3, RED, 1.6)


def copy20(c):
    c.box(2, 2, 10, 12, PAPER, GREY)
    c.box(8, 6, 10, 12, PAPER, BLUE)
    for y in (9, 12, 15):
        c.rect(10, y, 6, 1, LIGHT)


def paste(c):
    c.box(3, 3, 13, 15, FOLDER, FOLDER_DARK)
    c.box(7, 1, 5, 4, GREY, INK)
    c.box(9, 8, 9, 11, PAPER, BLUE)
    for y in (11, 14):
        c.rect(11, y, 5, 1, LIGHT)


def turn(direction):
    """Undo (-1) and redo (1): a hooked arrow, a half ring and its head."""
    def draw(c):
        cx = 10
        for y in range(20):
            for x in range(20):
                dx = x + 0.5 - cx
                d = math.hypot(dx, y + 0.5 - 11)
                if 3.5 < d <= 6.5 and (dx * direction >= 0 or y + 0.5 > 11):
                    c.put(x, y, BLUE)
        c.poly([(cx, 2), (cx, 9), (cx - 5 * direction, 5.5)], BLUE)
    return draw


def delete20(c):
    c.line(4, 4, 16, 16, RED, 3)
    c.line(16, 4, 4, 16, RED, 3)


def letter(chars, colour=INK, scale=2, x=5, y=3):
    def draw(c):
        c.text(x, y, chars, colour, scale)
    return draw


def underline(c):
    c.text(5, 1, "U", INK, 2)
    c.rect(4, 17, 12, 2, INK)


def strike(c):
    c.text(5, 3, "S", INK, 2)
    c.rect(2, 9, 16, 2, RED)


def superscript(c):
    c.text(1, 5, "x", INK, 2)
    c.text(13, 1, "2", BLUE)


def subscript(c):
    c.text(1, 3, "x", INK, 2)
    c.text(13, 13, "2", BLUE)


def fore_colour(c):
    c.text(5, 1, "A", INK, 2)
    c.rect(2, 16, 16, 3, RED)


def back_colour(c):
    c.rect(2, 1, 16, 18, YELLOW)
    c.text(5, 3, "A", INK, 2)


def highlight(c):
    c.poly([(11, 2), (17, 8), (9, 16), (3, 10)], YELLOW)
    c.poly([(3, 10), (9, 16), (6, 18), (1, 13)], GREY)
    c.rect(2, 18, 16, 1, INK)


def align(kind):
    def draw(c):
        for i, w in enumerate((16, 10, 14, 8, 16)):
            x = 2 if kind == 0 else (18 - w if kind == 2 else 10 - w // 2)
            c.rect(x, 3 + i * 3, w, 2, INK)
    return draw


def number_list(c):
    for i, n in enumerate("123"):
        c.text(2, 2 + i * 6, n, BLUE)
        c.rect(7, 4 + i * 6, 11, 2, INK)


def bullet_list(c):
    for i in range(3):
        c.disc(4, 4.5 + i * 6, 1.8, BLUE)
        c.rect(8, 4 + i * 6, 10, 2, INK)


def indent(direction):
    def draw(c):
        c.rect(2, 2, 16, 2, INK)
        c.rect(2, 16, 16, 2, INK)
        for y in (7, 11):
            c.rect(9, y, 9, 2, INK)
        if direction > 0:
            c.poly([(2, 6), (7, 10), (2, 14)], BLUE)
        else:
            c.poly([(7, 6), (2, 10), (7, 14)], BLUE)
    return draw


def table(c):
    c.box(1, 2, 18, 16, PAPER, INK)
    c.rect(1, 2, 18, 4, SKY)
    c.frame(1, 2, 18, 16, INK)
    for x in (7, 13):
        c.rect(x, 2, 1, 16, INK)
    for y in (6, 10, 14):
        c.rect(1, y, 18, 1, INK)


def link(c):
    for cx in (6.5, 13.5):
        for y in range(20):
            for x in range(20):
                dx = abs(x + 0.5 - cx)
                dy = abs(y + 0.5 - 10)
                ring = max(dx - 2.5, 0) ** 2 + dy * dy
                if 2.2 ** 2 < ring <= 4.2 ** 2 and not (abs(x + 0.5 - 10) < 2.2 and dy < 2.2):
                    c.put(x, y, BLUE)
    c.rect(7, 9, 6, 2, BLUE)


def image(c):
    c.box(1, 3, 18, 14, PAPER, INK)
    c.rect(2, 4, 16, 12, SKY)
    c.poly([(2, 16), (8, 8), (13, 16)], GREEN)
    c.poly([(9, 16), (13, 11), (18, 16)], (40, 120, 55))
    c.disc(14.5, 7.5, 2, YELLOW)


def bar(top, bottom, edge):
    c = Canvas(4, 24)
    for y in range(24):
        t = y / 23
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        c.rect(0, y, 4, 1, colour)
    c.rect(0, 23, 4, 1, edge)
    return c


def build():
    nav = strip(20, [arrow(-1), arrow(1), search20, tags20])
    general = strip(20, [new_page, new_folder, save, print20, cut, copy20, paste, turn(-1), turn(1), delete20])
    return {
        "colctfolder": strip(16, [folder_closed, folder_open]),
        "colctdoc": strip(16, [page_lines, web_page, picture_page]),
        "StyleIcon": strip(16, [style_letter, style_colour]),
        "Flags": strip(16, [page_lines, web_page, deleted_page, clear_flag,
                            star(RED), star(YELLOW), star(GREEN), star(BLUE),
                            important, question, checked, remember, research, unfinished]),
        "NoteBarBg": bar((250, 251, 253), (232, 236, 241), (205, 210, 218)),
        "NoteBar2Bg": bar((240, 245, 252), (218, 229, 243), (190, 204, 224)),
        "BarNav": nav,
        "BarNavDis": disabled(nav),
        "BarGeneral": general,
        "BarGeneralDis": disabled(general),
        "Icons20": strip(20, [letter("B"), letter("I", x=7), underline, strike, superscript, subscript,
                              fore_colour, back_colour, highlight, align(0), align(1), align(2),
                              number_list, bullet_list, indent(1), indent(-1), table, link, image]),
        "ExtraIcons": strip(16, [project, recent_project, search16, tag16, trash16, globe16]),
    }


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "resources", "Skin")
    os.makedirs(folder, exist_ok=True)
    for name, canvas in build().items():
        save_bmp(canvas, os.path.join(folder, name + ".bmp"))


if __name__ == "__main__":
    main()
