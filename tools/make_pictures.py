#!/usr/bin/env python3
"""Draws the program's pictures and writes them into res/.

Icons are 32 x 32, 16 colours with a transparency mask (766-byte .ico files);
the program's icon also carries its own 16 x 16 drawing for the notification
area.  The tray menu's items are 8-bit .bmp files, and the Properties
background is a placeable Windows metafile of filled polygons.  The setup's
welcome and finish pages show wizard.bmp, an 8-bit 164 x 314 picture of the
same notebook under the program's icon.
Run it again after changing a drawing; the outputs are committed.
"""
import math
import os
import struct
import sys

# The standard 16-colour palette, by name.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, MAROON, GREEN, OLIVE, NAVY, PURPLE, TEAL, SILVER = range(8)
GREY, RED, LIME, YELLOW, BLUE, MAGENTA, CYAN, WHITE = range(8, 16)

N = 32


class Canvas:
    """Rows of colours, None where nothing is painted (transparent in an icon)."""

    def __init__(self, width=N, height=N):
        self.width, self.height = width, height
        self.px = [[None] * width for _ in range(height)]

    def paint(self, mask, colour):
        for x, y in mask:
            if 0 <= x < self.width and 0 <= y < self.height:
                self.px[y][x] = colour

    def outline(self, mask, colour=BLACK):
        """Paints the pixels of the mask that touch a pixel outside it."""
        self.paint({(x, y) for x, y in mask
                    if any((x + dx, y + dy) not in mask
                           for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))}, colour)

    def shape(self, mask, fill, edge=BLACK):
        self.paint(mask, fill)
        if edge is not None:
            self.outline(mask, edge)


def pixels(test):
    return {(x, y) for y in range(N) for x in range(N) if test(x + 0.5, y + 0.5)}


def disc(cx, cy, r):
    return pixels(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r)


def ellipse(cx, cy, rx, ry):
    return pixels(lambda x, y: ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1)


def rect(x0, y0, x1, y1):
    """Pixels x0..x1, y0..y1 inclusive."""
    return {(x, y) for y in range(y0, y1 + 1) for x in range(x0, x1 + 1)}


def inside_polygon(points):
    """The even-odd test of a point against the polygon."""
    def inside(x, y):
        hit = False
        for (x0, y0), (x1, y1) in zip(points, points[1:] + points[:1]):
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit
    return inside


def polygon(points):
    return pixels(inside_polygon(points))


def thick_line(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    nx, ny = -dy / length * width / 2, dx / length * width / 2
    return polygon([(x0 + nx, y0 + ny), (x1 + nx, y1 + ny), (x1 - nx, y1 - ny), (x0 - nx, y0 - ny)])


def globe(c, cx, cy, r):
    ball = disc(cx, cy, r)
    c.paint(ball, BLUE)
    land = (polygon([(cx - r * 0.7, cy - r * 0.5), (cx - r * 0.1, cy - r * 0.8), (cx + r * 0.1, cy - r * 0.2),
                     (cx - r * 0.3, cy + r * 0.3), (cx - r * 0.8, cy + r * 0.1)])
            | polygon([(cx + r * 0.2, cy + r * 0.1), (cx + r * 0.8, cy - r * 0.2), (cx + r * 0.7, cy + r * 0.5),
                       (cx + r * 0.2, cy + r * 0.8)]))
    c.paint(land & ball, LIME)
    meridian = ellipse(cx, cy, r * 0.45, r) - ellipse(cx, cy, r * 0.45 - 1, r - 1)
    c.paint(meridian & ball, NAVY)
    c.paint(rect(int(cx - r), int(cy), int(cx + r), int(cy)) & ball, NAVY)
    c.outline(ball, NAVY)


def icon_s1():
    """A hand pointing at a globe, with a small shortcut arrow."""
    c = Canvas()
    globe(c, 21, 10, 9.5)
    fist = polygon([(6, 18), (15, 16), (17, 20), (16, 28), (8, 29), (5, 24)])
    finger = thick_line(13, 19, 20.5, 13.5, 3.4)
    thumb = thick_line(9, 19, 13, 16, 2.6)
    c.shape(fist | finger | thumb, YELLOW)
    for y in (22, 24, 26):  # the folded fingers
        c.paint(rect(11, y, 15, y), OLIVE)
    box = rect(0, 23, 8, 31)
    c.shape(box, WHITE)
    c.paint(thick_line(2, 29.5, 5.5, 26, 1.6) | polygon([(3.5, 24.5), (7.5, 24.5), (7.5, 28.5)]), BLACK)
    return c


def icon_s2():
    """A magnifying glass."""
    c = Canvas()
    c.shape(thick_line(18, 18, 29, 29, 5), MAROON)
    ring = disc(12.5, 12.5, 10.5)
    c.shape(ring, GREY)
    lens = disc(12.5, 12.5, 7.5)
    c.shape(lens, CYAN, SILVER)
    c.paint(disc(9.5, 9.5, 2.2), WHITE)
    c.outline(ring, BLACK)
    return c


def icon_s3():
    """A red heart."""
    c = Canvas()
    heart = disc(10, 11, 7.5) | disc(22, 11, 7.5) | polygon([(3.2, 14), (28.8, 14), (16, 29)])
    c.shape(heart, RED, MAROON)
    c.paint(disc(8.5, 9, 2), WHITE)
    return c


def icon_s4():
    """A mailbox in front of a globe."""
    c = Canvas()
    globe(c, 20, 11, 10.5)
    c.shape(rect(8, 23, 11, 31), OLIVE)
    body = rect(1, 13, 18, 24) | disc(9.5, 13.5, 8.5) & pixels(lambda x, y: y < 14)
    c.shape(body, SILVER)
    c.shape(ellipse(9.5, 18.5, 5.5, 4.5), GREY)
    c.shape(rect(19, 10, 20, 21), BLACK, None)
    c.shape(rect(19, 10, 25, 13), RED)
    return c


def arrow(up):
    c = Canvas()
    shaft = rect(12, 4, 19, 17)
    head = polygon([(4, 16), (28, 16), (16, 29)])
    shape = shaft | head
    if up:
        shape = {(x, N - 1 - y) for x, y in shape}
    c.shape(shape, BLACK)
    return c


def icon_cancel():
    """A red disc with a white cross."""
    c = Canvas()
    d = disc(16, 16, 14)
    c.shape(d, RED, MAROON)
    cross = thick_line(9.5, 9.5, 22.5, 22.5, 4.5) | thick_line(22.5, 9.5, 9.5, 22.5, 4.5)
    c.paint(cross, WHITE)
    return c


def floppy(c, x, y):
    s = 17
    c.shape(rect(x, y, x + s - 1, y + s - 1) - {(x + s - 1, y)}, NAVY)
    c.shape(rect(x + 4, y, x + 12, y + 5), SILVER)
    c.paint(rect(x + 9, y + 1, x + 10, y + 4), NAVY)
    c.shape(rect(x + 3, y + 9, x + 13, y + s - 1), WHITE)
    c.paint(rect(x + 5, y + 11, x + 11, y + 11) | rect(x + 5, y + 13, x + 11, y + 13), BLUE)


def icon_apply():
    """A stack of floppy disks."""
    c = Canvas()
    for off in (0, 7, 14):
        floppy(c, off + 1, off)
    return c


def icon_program():
    """The program: four launch buttons on a notebook's edge."""
    c = Canvas()
    c.shape(polygon([(0.5, 9), (31.5, 9), (31.5, 25), (0.5, 25)]), GREY)
    c.paint(rect(1, 10, 30, 11), SILVER)
    for i, colour in enumerate((RED, LIME, CYAN, YELLOW)):
        x = 2 + i * 7.5
        key = polygon([(x, 13), (x + 6, 13), (x + 6, 22), (x, 22)])
        c.shape(key, colour)
        c.paint(rect(int(x) + 1, 14, int(x) + 4, 14), WHITE)
    return c


def icon_program_small():
    """The program at 16 x 16: the same four keys, each a bright face with a dark side."""
    c = Canvas(16, 16)
    c.shape(rect(0, 3, 15, 12), GREY)
    c.paint(rect(1, 4, 14, 4), SILVER)
    for i, (face, side) in enumerate(((RED, MAROON), (LIME, GREEN), (CYAN, TEAL), (YELLOW, OLIVE))):
        x = 2 + i * 3
        c.paint(rect(x, 6, x + 1, 10), face)
        c.paint(rect(x + 2, 6, x + 2, 10) | rect(x, 10, x + 1, 10), side)
        c.paint({(x, 6)}, WHITE)
    return c


def icon_image(canvas):
    """One 4-bit image with its AND mask, bottom-up, as stored in an .ico file."""
    w, h = canvas.width, canvas.height
    xor = bytearray()
    mask = bytearray()
    for y in reversed(range(h)):
        row = canvas.px[y]
        line = bytearray((row[x] or 0) << 4 | (row[x + 1] or 0) for x in range(0, w, 2))
        xor += line + bytes(-len(line) % 4)
        bits = 0
        for x in range(w):
            bits = (bits << 1) | (1 if row[x] is None else 0)
        line = (bits << (-w % 8)).to_bytes((w + 7) // 8, "big")
        mask += line + bytes(-len(line) % 4)
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    return header + palette + bytes(xor) + bytes(mask)


def write_icon(path, *canvases):
    """An .ico file holding one image per canvas, largest first."""
    images = [icon_image(c) for c in canvases]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for canvas, image in zip(canvases, images):
        directory += struct.pack("<BBBBHHII", canvas.width, canvas.height, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    data = directory + b"".join(images)
    # 766 bytes for a lone 32 x 32 image; the 16 x 16 one adds 16 + 40 + 64 + 128 + 64.
    expected = {(32,): 766, (32, 16): 766 + 312}[tuple(c.width for c in canvases)]
    assert len(data) == expected, len(data)
    with open(path, "wb") as f:
        f.write(data)


# --- the tray menu's items ------------------------------------------------
#
# Each item is a whole bitmap: a light band, a picture of about 30 x 30 on the
# left and a word in the program's own block letters (5 x 7, doubled).  Colours are true RGB;
# write_bitmap() gathers them into the file's palette.

INK = (28, 42, 84)          # outlines and letters
PAPER = (250, 246, 232)
MENU_TOP, MENU_BOTTOM = (252, 253, 255), (224, 231, 243)
MENU_EDGE = (196, 205, 222)

# 5 x 7 capitals (lower case sits on the same base line, its descender below row 6).
GLYPHS = {
    "A": [".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"],
    "B": ["####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."],
    "C": [".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."],
    "E": ["#####", "#....", "#....", "####.", "#....", "#....", "#####"],
    "I": ["###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"],
    "L": ["#....", "#....", "#....", "#....", "#....", "#....", "#####"],
    "O": [".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "S": [".###.", "#...#", "#....", ".###.", "....#", "#...#", ".###."],
    "T": ["#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."],
    "U": ["#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."],
    "X": ["#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"],
    "e": ["....", "....", ".##.", "#..#", "####", "#...", ".###"],
    "g": ["....", "....", ".###", "#..#", "#..#", "#..#", ".###", "...#", "###."],
    "i": ["#", ".", "#", "#", "#", "#", "#"],
    "n": ["....", "....", "###.", "#..#", "#..#", "#..#", "#..#"],
    "s": ["....", "....", ".###", "#...", ".##.", "...#", "###."],
    "t": [".#.", ".#.", "###", ".#.", ".#.", ".#.", "..#"],
    "?": [".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."],
}


def glyph_pixels(ch, x, y, scale):
    """The pixels of one glyph with its top-left corner at x, y."""
    return {(x + gx * scale + sx, y + gy * scale + sy)
            for gy, line in enumerate(GLYPHS[ch]) for gx, bit in enumerate(line) if bit == "#"
            for sx in range(scale) for sy in range(scale)}


def word_pixels(word, x, y, scale=2):
    """A word's pixels; letters are one glyph column apart."""
    mask = set()
    for ch in word:
        mask |= glyph_pixels(ch, x, y, scale)
        x += (len(GLYPHS[ch][0]) + 1) * scale
    return mask


def blit(dest, src, x, y):
    """Copies the painted pixels of src onto dest with src's corner at x, y."""
    for sy, row in enumerate(src.px):
        for sx, colour in enumerate(row):
            if colour is not None:
                dest.paint({(x + sx, y + sy)}, colour)


def menu_item(picture, word, height=40):
    """A 115-pixel-wide menu item: picture on the left, word on the right."""
    c = Canvas(115, height)
    for y in range(height):
        t = y / (height - 1)
        c.paint(rect(0, y, 114, y), tuple(round(a + (b - a) * t) for a, b in zip(MENU_TOP, MENU_BOTTOM)))
    c.paint(rect(0, height - 1, 114, height - 1), MENU_EDGE)
    blit(c, picture, 4, (height - 1 - N) // 2)
    top = (height - 1 - 14) // 2
    c.paint(word_pixels(word, 41, top + 1), (255, 255, 255))
    c.paint(word_pixels(word, 40, top), INK)
    return c


def picture_book():
    """A closed blue book with a question mark on its cover."""
    c = Canvas()
    c.shape(rect(8, 4, 27, 29), PAPER, INK)
    for y in (26, 28):
        c.paint(rect(10, y, 26, y), (200, 190, 160))
    cover = rect(4, 2, 24, 27)
    c.shape(cover, (52, 98, 190), INK)
    c.paint(rect(5, 3, 7, 26), (34, 68, 140))
    c.paint(rect(8, 3, 8, 26), (120, 160, 230))
    c.paint(glyph_pixels("?", 11, 7, 2), (255, 214, 64))
    return c


def picture_moon():
    """A crescent moon and two stars over a tuft of grass."""
    c = Canvas()
    moon = disc(14, 10.5, 9.5) - disc(19, 7, 8)
    c.shape(moon, (255, 214, 64), (150, 110, 20))
    for x, y in ((25, 4), (27, 14)):
        c.paint({(x, y - 1), (x - 1, y), (x, y), (x + 1, y), (x, y + 1)}, (230, 170, 30))
    hill = ellipse(16, 32, 15.5, 5.5)
    blades = set()
    for x0, lean, h in ((3, -2, 10), (7, 1.5, 9), (11, -1, 8), (15, 2, 9), (19, -1.5, 11), (23, 1.5, 12), (27, -1, 10)):
        blades |= polygon([(x0 - 2, 29), (x0 + 2, 29), (x0 + lean, 31 - h)])
    c.shape(hill | blades, (80, 180, 64), (30, 100, 30))
    c.paint(ellipse(16, 33, 12, 3.5) - blades, (60, 150, 50))
    return c


def picture_tools():
    """A hammer and a wrench, crossed."""
    c = Canvas()
    steel, steel_edge = (176, 186, 200), (70, 80, 100)
    c.shape(thick_line(26, 27, 11, 12, 3.6), (190, 130, 70), (110, 65, 25))
    c.shape(thick_line(4, 15, 15, 4, 6), steel, steel_edge)
    wrench = (thick_line(6, 26, 21, 11, 4) | disc(23, 9, 6.2)) - thick_line(23, 9, 31, 1, 4.5)
    wrench |= disc(6, 26, 3.6)
    c.shape(wrench, steel, steel_edge)
    c.paint(disc(6, 26, 1.4), steel_edge)
    return c


def picture_house():
    """A house with a red roof, a door and a window."""
    c = Canvas()
    c.shape(rect(21, 4, 25, 12), (160, 70, 50), INK)
    c.shape(rect(5, 14, 26, 29), (245, 225, 170), INK)
    c.shape(polygon([(1, 16), (16, 2), (31, 16)]), (210, 60, 50), (120, 25, 20))
    c.shape(rect(9, 19, 14, 29), (140, 90, 50), INK)
    c.paint({(13, 24)}, (255, 214, 64))
    window = rect(17, 18, 23, 24)
    c.shape(window, (150, 210, 250), INK)
    c.paint(rect(20, 18, 20, 24) | rect(17, 21, 23, 21), INK)
    return c


def write_bitmap(path, canvas):
    """An uncompressed 8-bit .bmp with just the palette entries it uses."""
    w, h = canvas.width, canvas.height
    colours = sorted({colour for row in canvas.px for colour in row})
    assert len(colours) <= 256, len(colours)
    index = {colour: i for i, colour in enumerate(colours)}
    stride = (w + 3) // 4 * 4
    rows = b"".join(bytes(index[colour] for colour in canvas.px[y]) + bytes(stride - w) for y in reversed(range(h)))
    palette = b"".join(bytes((b, g, r, 0)) for r, g, b in colours)
    offset = 14 + 40 + len(palette)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(rows), 2835, 2835, len(colours), 0)
    data = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset) + info + palette + rows
    assert len(data) == 54 + 4 * len(colours) + stride * h
    with open(path, "wb") as f:
        f.write(data)


# --- the notebook drawing -------------------------------------------------

def notebook_records():
    """Polygons of an open notebook computer, in metafile units (y down)."""
    shapes = [
        # lid: outer frame, bezel, screen
        ((96, 96, 96), [(1300, 150), (5850, 150), (5700, 3050), (1450, 3050)]),
        ((160, 160, 160), [(1420, 280), (5730, 280), (5590, 2930), (1560, 2930)]),
        ((208, 208, 208), [(1650, 480), (5500, 480), (5380, 2750), (1770, 2750)]),
        ((232, 232, 232), [(1700, 520), (3000, 520), (2300, 1500), (1750, 1800)]),
        # hinge
        ((80, 80, 80), [(1450, 3050), (5700, 3050), (5750, 3200), (1400, 3200)]),
        # base: top face and front edge
        ((176, 176, 176), [(1400, 3200), (5750, 3200), (7100, 4700), (50, 4700)]),
        ((112, 112, 112), [(50, 4700), (7100, 4700), (7100, 5100), (50, 5100)]),
        # keyboard
        ((96, 96, 96), [(1600, 3330), (5550, 3330), (6150, 4080), (1000, 4080)]),
        # touch pad and its buttons
        ((144, 144, 144), [(3050, 4200), (4100, 4200), (4160, 4560), (2990, 4560)]),
        ((112, 112, 112), [(2990, 4590), (3560, 4590), (3560, 4660), (2985, 4660)]),
        ((112, 112, 112), [(3590, 4590), (4160, 4590), (4165, 4660), (3590, 4660)]),
        # the four launch buttons above the keyboard
        ((64, 64, 64), [(2500, 3240), (2700, 3240), (2700, 3300), (2500, 3300)]),
        ((64, 64, 64), [(2800, 3240), (3000, 3240), (3000, 3300), (2800, 3300)]),
        ((64, 64, 64), [(3100, 3240), (3300, 3240), (3300, 3300), (3100, 3300)]),
        ((64, 64, 64), [(3400, 3240), (3600, 3240), (3600, 3300), (3400, 3300)]),
    ]
    # keyboard rows, drawn as lighter key strips
    rows = 5
    for i in range(rows):
        t0 = (i + 0.15) / rows
        t1 = (i + 0.85) / rows
        def at(t, side):
            top = (1600, 5550)[side]
            bottom = (1000, 6150)[side]
            return top + (bottom - top) * t
        y0 = 3330 + (4080 - 3330) * t0
        y1 = 3330 + (4080 - 3330) * t1
        shapes.append(((136, 136, 136), [(at(t0, 0) + 60, y0), (at(t0, 1) - 60, y0),
                                         (at(t1, 1) - 60, y1), (at(t1, 0) + 60, y1)]))
    return shapes


def write_metafile(path):
    width, height = 7152, 5155
    records = []
    objects = 0

    def record(function, *words):
        records.append(struct.pack("<IH", 3 + len(words), function) + struct.pack("<%dh" % len(words), *words))

    record(0x020B, 0, 0)             # SetWindowOrg(y, x)
    record(0x020C, height, width)    # SetWindowExt(y, x)
    record(0x0106, 1)                # SetPolyFillMode(ALTERNATE)
    # A null pen: the shapes are fills only.
    records.append(struct.pack("<IHHhhI", 8, 0x02FA, 5, 0, 0, 0))
    record(0x012D, 0)
    objects = 1
    for colour, points in notebook_records():
        r, g, b = colour
        records.append(struct.pack("<IHHIH", 7, 0x02FC, 0, r | (g << 8) | (b << 16), 0))  # CreateBrushIndirect
        record(0x012D, 1)                                                               # SelectObject
        words = [len(points)]
        for x, y in points:
            words += [int(round(x)), int(round(y))]
        record(0x0324, *words)                                                          # Polygon
        record(0x01F0, 1)                                                               # DeleteObject
    objects = max(objects, 2)
    records.append(struct.pack("<IH", 3, 0))                                             # EOF
    body = b"".join(records)
    max_record = max(struct.unpack_from("<I", r)[0] for r in records)
    header = struct.pack("<HHHIHIH", 1, 9, 0x0300, (18 + len(body)) // 2, objects, max_record, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, width, height, 1440, 0)
    checksum = 0
    for (w,) in struct.iter_unpack("<H", placeable[:20]):
        checksum ^= w
    with open(path, "wb") as f:
        f.write(placeable + struct.pack("<H", checksum) + header + body)


# --- the setup's wizard picture --------------------------------------------

WIZARD_W, WIZARD_H = 164, 314


def area(test, width, height):
    """The pixels of a width x height canvas whose centres pass test."""
    return {(x, y) for y in range(height) for x in range(width) if test(x + 0.5, y + 0.5)}


def area_polygon(points, width, height):
    return area(inside_polygon(points), width, height)


def wizard_picture():
    """The notebook, its four launch buttons lit, under the program's icon drawn
    twice its size, on a night-blue to teal gradient."""
    c = Canvas(WIZARD_W, WIZARD_H)
    top, bottom = (16, 32, 96), (24, 128, 140)
    for y in range(WIZARD_H):
        t = y / (WIZARD_H - 1)
        # 48 bands: smooth enough, and few colours for an 8-bit picture.
        t = round(t * 47) / 47
        c.paint(rect(0, y, WIZARD_W - 1, y), tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)))
    # A soft light behind the icon.
    for r, colour in ((46, (40, 70, 140)), (38, (52, 88, 160)), (30, (64, 106, 178))):
        c.paint(area(lambda x, y, r=r: (x - 82) ** 2 + (y - 86) ** 2 <= r * r, WIZARD_W, WIZARD_H), colour)
    icon = icon_program()
    for sy, row in enumerate(icon.px):
        for sx, colour in enumerate(row):
            if colour is not None:
                rgb = PALETTE[colour] if isinstance(colour, int) else colour
                c.paint(rect(50 + 2 * sx, 54 + 2 * sy, 51 + 2 * sx, 55 + 2 * sy), rgb)
    # The notebook, from the Properties background's polygons.
    scale, left, base = 148 / 7152, 8, 176
    for colour, points in notebook_records():
        shape = [(left + x * scale, base + y * scale) for x, y in points]
        c.paint(area_polygon(shape, WIZARD_W, WIZARD_H), colour)
    for x0 in (2500, 2800, 3100, 3400):
        lit = [(left + x * scale, base + y * scale) for x, y in
               ((x0 - 20, 3220), (x0 + 220, 3220), (x0 + 220, 3320), (x0 - 20, 3320))]
        c.paint(area_polygon(lit, WIZARD_W, WIZARD_H), (255, 200, 40))
    return c


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "res")
    icons = {
        "zephra.ico": icon_program(),
        "s1_browser.ico": icon_s1(),
        "s2_search.ico": icon_s2(),
        "s3_heart.ico": icon_s3(),
        "s4_mail.ico": icon_s4(),
        "ok.ico": arrow(up=False),
        "cancel.ico": icon_cancel(),
        "apply.ico": icon_apply(),
        "default.ico": arrow(up=True),
    }
    for name, canvas in icons.items():
        if name == "zephra.ico":
            write_icon(os.path.join(out, name), canvas, icon_program_small())
        else:
            write_icon(os.path.join(out, name), canvas)
    items = {
        "menu_about.bmp": menu_item(picture_book(), "ABOUT"),
        "menu_close.bmp": menu_item(picture_moon(), "CLOSE", height=41),
        "menu_settings.bmp": menu_item(picture_tools(), "Settings"),
        "menu_exit.bmp": menu_item(picture_house(), "EXIT"),
    }
    for name, canvas in items.items():
        write_bitmap(os.path.join(out, name), canvas)
    write_metafile(os.path.join(out, "notebook.wmf"))
    write_bitmap(os.path.join(out, "wizard.bmp"), wizard_picture())


if __name__ == "__main__":
    main()
