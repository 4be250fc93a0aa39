#!/usr/bin/env python3
"""Draws the program's icons and bitmaps and writes them beside this script.

    python3 resources/images/make-images.py

Only the standard library: shapes are tested at 8 x 8 sample points per
pixel, so edges are anti-aliased without an imaging package. The output is
committed, so building the program never needs this script; run it again
after changing a drawing.

Bitmaps are 24-bit and drawn on white, the page colour (COLOR_BTNHIGHLIGHT)
the dialogs fill their backgrounds with. Icons are 32-bit with alpha plus the
1-bit mask older readers want.
"""

import math
import os
import struct

SAMPLES = 8
HERE = os.path.dirname(os.path.abspath(__file__))

BLUE = (5, 93, 160)  # caption blue of the dashboard
POINTER_BLUE = (64, 144, 197)  # compass pointer blue
GREY = (145, 145, 145)  # status bar text grey
DARK_GREY = (99, 99, 99)  # title grey
WHITE = (255, 255, 255)


# ---- shapes: objects with a bounding box and a point test ----------------------


class Shape:
    def __or__(self, other):
        return Union(self, other)

    def __sub__(self, other):
        return Difference(self, other)

    def __and__(self, other):
        return Intersection(self, other)


class Circle(Shape):
    def __init__(self, cx, cy, r):
        self.cx, self.cy, self.r = cx, cy, r
        self.box = (cx - r, cy - r, cx + r, cy + r)

    def contains(self, x, y):
        return (x - self.cx) ** 2 + (y - self.cy) ** 2 <= self.r * self.r


class Ellipse(Shape):
    def __init__(self, cx, cy, rx, ry):
        self.cx, self.cy, self.rx, self.ry = cx, cy, rx, ry
        self.box = (cx - rx, cy - ry, cx + rx, cy + ry)

    def contains(self, x, y):
        return ((x - self.cx) / self.rx) ** 2 + ((y - self.cy) / self.ry) ** 2 <= 1.0


class Rect(Shape):
    def __init__(self, x0, y0, x1, y1, radius=0.0):
        self.x0, self.y0, self.x1, self.y1, self.radius = x0, y0, x1, y1, radius
        self.box = (x0, y0, x1, y1)

    def contains(self, x, y):
        if not (self.x0 <= x <= self.x1 and self.y0 <= y <= self.y1):
            return False
        r = self.radius
        if r <= 0:
            return True
        cx = min(max(x, self.x0 + r), self.x1 - r)
        cy = min(max(y, self.y0 + r), self.y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


class Polygon(Shape):
    def __init__(self, points):
        self.points = points
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        self.box = (min(xs), min(ys), max(xs), max(ys))

    def contains(self, x, y):
        inside = False
        pts = self.points
        j = len(pts) - 1
        for i in range(len(pts)):
            xi, yi = pts[i]
            xj, yj = pts[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                inside = not inside
            j = i
        return inside


class Stroke(Shape):
    """A polyline of the given width with round joins and caps."""

    def __init__(self, points, width):
        self.points, self.half = points, width / 2.0
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        h = self.half
        self.box = (min(xs) - h, min(ys) - h, max(xs) + h, max(ys) + h)

    def contains(self, x, y):
        limit = self.half * self.half
        for (ax, ay), (bx, by) in zip(self.points, self.points[1:]):
            dx, dy = bx - ax, by - ay
            length = dx * dx + dy * dy
            t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / length))
            px, py = ax + t * dx - x, ay + t * dy - y
            if px * px + py * py <= limit:
                return True
        return False


class Union(Shape):
    def __init__(self, *shapes):
        self.shapes = shapes
        self.box = (min(s.box[0] for s in shapes), min(s.box[1] for s in shapes),
                    max(s.box[2] for s in shapes), max(s.box[3] for s in shapes))

    def contains(self, x, y):
        return any(s.contains(x, y) for s in self.shapes)


class Difference(Shape):
    def __init__(self, a, b):
        self.a, self.b, self.box = a, b, a.box

    def contains(self, x, y):
        return self.a.contains(x, y) and not self.b.contains(x, y)


class Intersection(Shape):
    def __init__(self, a, b):
        self.a, self.b = a, b
        self.box = (max(a.box[0], b.box[0]), max(a.box[1], b.box[1]),
                    min(a.box[2], b.box[2]), min(a.box[3], b.box[3]))

    def contains(self, x, y):
        return self.a.contains(x, y) and self.b.contains(x, y)


def ring(cx, cy, radius, width):
    return Circle(cx, cy, radius + width / 2) - Circle(cx, cy, radius - width / 2)


def pixel_text(text, x, y, scale=1.0):
    """The tiny capitals the INDEX icon needs, as a union of pixel squares."""
    glyphs = {
        "I": ["###", ".#.", ".#.", ".#.", "###"],
        "N": ["#..#", "##.#", "#.##", "#..#", "#..#"],
        "D": ["###.", "#..#", "#..#", "#..#", "###."],
        "E": ["###", "#..", "##.", "#..", "###"],
        "X": ["#.#", "#.#", ".#.", "#.#", "#.#"],
    }
    squares = []
    for letter in text:
        rows = glyphs[letter]
        for row, line in enumerate(rows):
            for column, cell in enumerate(line):
                if cell == "#":
                    squares.append(Rect(x + column * scale, y + row * scale,
                                        x + (column + 1) * scale, y + (row + 1) * scale))
        x += (len(rows[0]) + 1) * scale
    return Union(*squares)


def text_width(text):
    widths = {"I": 3, "N": 4, "D": 4, "E": 3, "X": 3}
    return sum(widths[c] for c in text) + len(text) - 1


# ---- canvas ------------------------------------------------------------------


class Canvas:
    def __init__(self, width, height):
        self.width, self.height = width, height
        self.pixels = [[(0.0, 0.0, 0.0, 0.0)] * width for _ in range(height)]

    def fill(self, shape, colour, opacity=1.0):
        """Paints shape with colour, a triple or a function (x, y) -> triple."""
        x0 = max(0, int(math.floor(shape.box[0])))
        y0 = max(0, int(math.floor(shape.box[1])))
        x1 = min(self.width, int(math.ceil(shape.box[2])) + 1)
        y1 = min(self.height, int(math.ceil(shape.box[3])) + 1)
        step = 1.0 / SAMPLES
        offsets = [(i + 0.5) * step for i in range(SAMPLES)]
        for py in range(y0, y1):
            for px in range(x0, x1):
                hits = 0
                for oy in offsets:
                    for ox in offsets:
                        if shape.contains(px + ox, py + oy):
                            hits += 1
                if not hits:
                    continue
                alpha = opacity * hits / (SAMPLES * SAMPLES)
                rgb = colour(px + 0.5, py + 0.5) if callable(colour) else colour
                self._over(px, py, rgb, alpha)

    def _over(self, x, y, rgb, alpha):
        r0, g0, b0, a0 = self.pixels[y][x]
        a = alpha + a0 * (1 - alpha)
        if a <= 0:
            return
        mix = [(c * alpha + c0 * a0 * (1 - alpha)) / a for c, c0 in zip(rgb, (r0, g0, b0))]
        self.pixels[y][x] = (mix[0], mix[1], mix[2], a)

    def on(self, background):
        """The image flattened onto an opaque background colour."""
        flat = Canvas(self.width, self.height)
        for y in range(self.height):
            for x in range(self.width):
                r, g, b, a = self.pixels[y][x]
                flat.pixels[y][x] = tuple(c * a + bg * (1 - a) for c, bg in zip((r, g, b), background)) + (1.0,)
        return flat


def vertical_gradient(top_colour, bottom_colour, top, bottom):
    def colour(x, y):
        t = min(1.0, max(0.0, (y - top) / (bottom - top)))
        return tuple(a + (b - a) * t for a, b in zip(top_colour, bottom_colour))
    return colour


def byte(value):
    return max(0, min(255, int(round(value))))


# ---- file writers --------------------------------------------------------------


def write_bmp(name, canvas):
    """24-bit bottom-up BMP with a BITMAPINFOHEADER, the form LoadImage reads
    everywhere."""
    flat = canvas.on(WHITE)
    row_size = (canvas.width * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(canvas.height)):
        row = bytearray()
        for x in range(canvas.width):
            r, g, b, _ = flat.pixels[y][x]
            row += bytes((byte(b), byte(g), byte(r)))
        row += b"\0" * (row_size - len(row))
        pixels += row
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 14 + 40)
    info = struct.pack("<IiiHHIIiiII", 40, canvas.width, canvas.height, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(header + info + pixels)


def icon_image(canvas):
    """One icon image: BITMAPINFOHEADER (double height), BGRA rows bottom-up,
    then the AND mask (set where the pixel is fully transparent)."""
    w, h = canvas.width, canvas.height
    colour = bytearray()
    mask = bytearray()
    mask_row = ((w + 31) // 32) * 4
    for y in reversed(range(h)):
        bits = bytearray(mask_row)
        for x in range(w):
            r, g, b, a = canvas.pixels[y][x]
            alpha = byte(a * 255)
            # Fully transparent pixels are stored black so that readers which
            # ignore alpha and use the mask show them as the background.
            if alpha == 0:
                colour += b"\0\0\0\0"
                bits[x // 8] |= 0x80 >> (x % 8)
            else:
                colour += bytes((byte(b), byte(g), byte(r), alpha))
        mask += bits
    info = struct.pack("<IiiHHIIiiII", 40, w, h * 2, 1, 32, 0, len(colour) + len(mask), 0, 0, 0, 0)
    return info + colour + mask


def write_ico(name, canvases):
    images = [icon_image(c) for c in canvases]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    entries = b""
    for canvas, data in zip(canvases, images):
        entries += struct.pack("<BBBBHHII", canvas.width % 256, canvas.height % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(directory + entries + b"".join(images))


# ---- drawings ------------------------------------------------------------------


def program_icon(size):
    """A white weather vane arrow over a compass ring on a blue tile."""
    s = float(size)
    c = Canvas(size, size)
    inset = 0.0 if size <= 16 else s / 32
    tile = Rect(inset, inset, s - inset, s - inset, radius=s * 0.2)
    c.fill(tile, vertical_gradient((52, 142, 210), (5, 88, 152), 0, s))
    ring_width = max(1.1, s * 0.055)
    c.fill(ring(s / 2, s / 2, s * 0.33, ring_width), WHITE, 0.3 if size <= 16 else 0.35)
    # Compass ticks at N, E, S, W on the ring; too busy at 16 pixels.
    tick = max(1.1, s * 0.06)
    for angle in (0, 90, 180, 270) if size > 16 else ():
        a = math.radians(angle)
        ux, uy = math.sin(a), -math.cos(a)
        inner, outer = s * 0.27, s * 0.42
        c.fill(Stroke([(s / 2 + ux * inner, s / 2 + uy * inner), (s / 2 + ux * outer, s / 2 + uy * outer)], tick),
               WHITE, 0.55)
    # The vane points to the upper right: head, shaft, swept tail fin.
    dx, dy = math.sqrt(0.5), -math.sqrt(0.5)
    nx, ny = -dy, dx
    tip = (s * 0.80, s * 0.20)
    head_length, head_half = s * 0.25, s * (0.17 if size <= 16 else 0.14)
    base = (tip[0] - dx * head_length, tip[1] - dy * head_length)
    c.fill(Polygon([tip, (base[0] + nx * head_half, base[1] + ny * head_half),
                    (base[0] - nx * head_half, base[1] - ny * head_half)]), WHITE)
    tail = (s * 0.22, s * 0.78)
    shaft = max(1.6, s * 0.085)
    c.fill(Stroke([(base[0] + dx * s * 0.02, base[1] + dy * s * 0.02), tail], shaft), WHITE)
    fin_front = s * 0.20
    fin_half = s * 0.13
    front = (tail[0] + dx * fin_front, tail[1] + dy * fin_front)
    back = (tail[0] - dx * s * 0.03, tail[1] - dy * s * 0.03)
    c.fill(Polygon([(front[0] + nx * shaft * 0.5, front[1] + ny * shaft * 0.5),
                    (back[0] + nx * fin_half, back[1] + ny * fin_half),
                    (back[0] + dx * s * 0.06, back[1] + dy * s * 0.06),
                    (back[0] - nx * fin_half, back[1] - ny * fin_half),
                    (front[0] - nx * shaft * 0.5, front[1] - ny * shaft * 0.5)]), WHITE)
    return c


def dot_icon(fill, rim):
    """The status bar's connection dot, centred in a 32 x 32 icon."""
    c = Canvas(32, 32)
    c.fill(Circle(16, 16, 6.5), rim)
    c.fill(Circle(16, 16, 5.5), fill)
    c.fill(Ellipse(14.2, 13.6, 2.6, 1.8), WHITE, 0.45)
    return c


def logger_icon():
    """A small grey data store (a cylinder of three disks) beside the logger
    level in the status bar."""
    c = Canvas(32, 32)
    left, right, rx, ry = 10.0, 22.0, 6.0, 2.2
    top, bottom = 9.0, 23.0
    body = Rect(left, top, right, bottom) | Ellipse(16, bottom, rx, ry) | Ellipse(16, top, rx, ry)
    c.fill(body, GREY)
    for y in (13.8, 18.6):
        c.fill(Ellipse(16, y, rx, ry) - Ellipse(16, y - 1.1, rx, ry), WHITE)
    c.fill(Ellipse(16, top, rx - 1.0, ry - 0.7), (196, 196, 196))
    return c


def cancel_cross_bitmap():
    c = Canvas(16, 16)
    c.fill(Circle(8, 8, 7.2), GREY)
    for a, b in (((5.3, 5.3), (10.7, 10.7)), ((10.7, 5.3), (5.3, 10.7))):
        c.fill(Stroke([a, b], 1.8), WHITE)
    return c


def help_bitmap(fill):
    """A question mark in a blue disc, the size of the 6 x 6 dialog-unit help
    button (14 x 13 pixels with the Arial 11 dialog font)."""
    c = Canvas(14, 13)
    c.fill(Circle(7, 6.5, 6.3), fill)
    # The hook: an arc over the top from left to right, then down to the stem.
    points = []
    for step in range(0, 13):
        angle = math.radians(200 - step * 20)
        points.append((7 + 2.1 * math.cos(angle), 5.0 - 2.1 * math.sin(angle)))
    points += [(7, 7.9)]
    c.fill(Stroke(points[:10] + [(7.0, 6.9), (7.0, 7.9)], 1.45), WHITE)
    c.fill(Circle(7, 10.0, 0.95), WHITE)
    return c


def cloud(x, y, scale=1.0):
    """A cumulus of three lobes on a flat base, top-left near (x, y)."""
    k = scale
    return (Circle(x + 5 * k, y + 8 * k, 4.6 * k) | Circle(x + 11 * k, y + 5.2 * k, 6.0 * k)
            | Circle(x + 17 * k, y + 8.6 * k, 4.2 * k) | Rect(x + 3 * k, y + 8 * k, x + 19 * k, y + 12.8 * k, 2.4 * k))


def rain_cloud_icon():
    c = Canvas(32, 32)
    shape = cloud(4.5, 3.0, 1.05)
    c.fill(shape, vertical_gradient((150, 196, 232), POINTER_BLUE, 2, 17))
    for x, top in ((11.0, 20.5), (17.0, 21.5), (23.0, 20.5)):
        c.fill(Stroke([(x, top), (x - 2.2, top + 6.5)], 1.9), BLUE)
    return c


def teardrop(cx, cy, r, tip_y):
    """A drop: a circle and the two tangents to a tip above it."""
    d = cy - tip_y
    angle = math.asin(r / d)
    # Tangent points seen from the tip, mirrored about the vertical axis.
    tx = r * math.cos(angle)
    ty = cy - r * math.sin(angle)
    return Circle(cx, cy, r) | Polygon([(cx, tip_y), (cx + tx, ty), (cx - tx, ty)])


def thermometer_drop_icon():
    c = Canvas(32, 32)
    outline = DARK_GREY
    tube = Rect(7.5, 3.5, 13.5, 22.0, radius=3.0)
    bulb = Circle(10.5, 23.5, 4.6)
    c.fill(tube | bulb, outline)
    c.fill(Rect(8.7, 4.7, 12.3, 22.0, radius=1.8) | Circle(10.5, 23.5, 3.4), WHITE)
    red = (214, 64, 52)
    c.fill(Rect(9.6, 11.0, 11.4, 22.5, radius=0.9) | Circle(10.5, 23.5, 2.5), red)
    for y in (7.5, 11.0, 14.5):
        c.fill(Stroke([(14.8, y), (16.4, y)], 1.0), outline)
    drop = teardrop(23.0, 21.2, 5.0, 10.0)
    c.fill(drop, vertical_gradient((120, 180, 226), BLUE, 10, 26))
    c.fill(ring(23.0, 21.2, 3.0, 1.1) & Rect(19.5, 19.0, 23.0, 23.0), WHITE, 0.7)
    return c


def sun_index_icon():
    c = Canvas(32, 32)
    sun = (246, 176, 36)
    cx, cy = 11.0, 10.0
    for k in range(8):
        a = math.radians(k * 45)
        c.fill(Stroke([(cx + 6.6 * math.cos(a), cy + 6.6 * math.sin(a)),
                       (cx + 8.8 * math.cos(a), cy + 8.8 * math.sin(a))], 1.6), sun)
    c.fill(Circle(cx, cy, 5.0), sun)
    front = cloud(10.0, 6.5, 0.95)
    c.fill(front, vertical_gradient((170, 205, 232), (110, 160, 205), 6, 19))
    # Whole pixels keep the 5-pixel letters sharp.
    word = "INDEX"
    c.fill(pixel_text(word, (32 - text_width(word)) // 2, 24), BLUE)
    return c


def wind_turbine_icon():
    c = Canvas(32, 32)
    hub = (15.5, 11.5)
    c.fill(Polygon([(14.7, 12.5), (16.3, 12.5), (17.4, 29.0), (13.6, 29.0)]), GREY)
    c.fill(Stroke([(8.0, 29.3), (23.0, 29.3)], 1.2), GREY)
    for angle in (-90, 30, 150):
        a = math.radians(angle)
        ux, uy = math.cos(a), math.sin(a)
        nx, ny = -uy, ux
        length = 10.5
        c.fill(Polygon([(hub[0] + nx * 1.0, hub[1] + ny * 1.0),
                        (hub[0] + ux * 3.5 + nx * 1.9, hub[1] + uy * 3.5 + ny * 1.9),
                        (hub[0] + ux * length, hub[1] + uy * length),
                        (hub[0] - nx * 0.6 + ux * 2.0, hub[1] - ny * 0.6 + uy * 2.0)]), BLUE)
    c.fill(Circle(hub[0], hub[1], 2.1), DARK_GREY)
    c.fill(Circle(hub[0], hub[1], 0.9), WHITE)
    return c


def triangle_icon(pointing_left):
    """Channel arrows: a solid triangle on the side that faces the channel
    title between them."""
    c = Canvas(32, 32)
    if pointing_left:
        points = [(27.0, 9.0), (27.0, 23.0), (16.5, 16.0)]
    else:
        points = [(5.0, 9.0), (5.0, 23.0), (15.5, 16.0)]
    c.fill(Polygon(points), BLUE)
    return c


def upload_done_icon():
    c = Canvas(32, 32)
    c.fill(Circle(16, 16, 9.5), (46, 158, 70))
    c.fill(Stroke([(11.6, 16.4), (14.8, 19.6), (20.6, 12.8)], 2.5), WHITE)
    return c


def upload_failed_icon():
    c = Canvas(32, 32)
    c.fill(Circle(16, 16, 9.5), (214, 64, 52))
    for a, b in (((12.4, 12.4), (19.6, 19.6)), ((19.6, 12.4), (12.4, 19.6))):
        c.fill(Stroke([a, b], 2.5), WHITE)
    return c


def main():
    write_ico("program.ico", [program_icon(48), program_icon(32), program_icon(16)])
    write_ico("connected_dot.ico", [dot_icon((33, 118, 214), (18, 84, 160))])
    write_ico("disconnected_dot.ico", [dot_icon((221, 60, 48), (160, 36, 28))])
    write_ico("logger.ico", [logger_icon()])
    write_ico("rain_cloud.ico", [rain_cloud_icon()])
    write_ico("thermometer_drop.ico", [thermometer_drop_icon()])
    write_ico("sun_index.ico", [sun_index_icon()])
    write_ico("wind_turbine.ico", [wind_turbine_icon()])
    write_ico("channel_previous.ico", [triangle_icon(True)])
    write_ico("channel_next.ico", [triangle_icon(False)])
    write_ico("upload_done.ico", [upload_done_icon()])
    write_ico("upload_failed.ico", [upload_failed_icon()])
    write_bmp("cancel_cross.bmp", cancel_cross_bitmap())
    write_bmp("help.bmp", help_bitmap((38, 122, 196)))
    write_bmp("help_pressed.bmp", help_bitmap((6, 72, 130)))


if __name__ == "__main__":
    main()
