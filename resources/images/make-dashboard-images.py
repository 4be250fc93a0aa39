#!/usr/bin/env python3
"""Draws the dashboard's compass dials and refresh button bitmaps and writes
them beside this script.

    python3 resources/images/make-dashboard-images.py

Uses the shapes, canvas and BMP writer of make-images.py. The output is
committed; run this again after changing a drawing.

The compass is drawn by the page with black as its transparent colour, so
nothing here may come out pure black: every colour is a grey or the pointer
blue, mixed only with white.
"""

import importlib.util
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
_spec = importlib.util.spec_from_file_location("images", os.path.join(HERE, "make-images.py"))
images = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(images)

Canvas, Circle, Polygon, Rect, Stroke = images.Canvas, images.Circle, images.Polygon, images.Rect, images.Stroke
ring, write_bmp = images.ring, images.write_bmp
GREY, DARK_GREY, POINTER_BLUE, WHITE = images.GREY, images.DARK_GREY, images.POINTER_BLUE, images.WHITE

COMPASS_SIZE = 160
CENTRE = COMPASS_SIZE / 2.0
LIGHT_GREY = (214, 214, 214)
MINOR_GREY = (178, 178, 178)


def polar(radius, degrees):
    """The point at a bearing, clockwise from the top."""
    a = math.radians(degrees)
    return (CENTRE + radius * math.sin(a), CENTRE - radius * math.cos(a))


def tick(canvas, degrees, inner, outer, width, colour):
    canvas.fill(Stroke([polar(inner, degrees), polar(outer, degrees)], width), colour)


def compass_dial():
    """A ring of ticks: every 7.5 degrees a short light one, at each of the 16
    points a longer grey one, at N, E, S and W the longest and darkest. The
    middle stays empty for the direction text the page writes there."""
    c = Canvas(COMPASS_SIZE, COMPASS_SIZE)
    c.fill(ring(CENTRE, CENTRE, 66.0, 1.0), LIGHT_GREY)
    for step in range(48):
        degrees = step * 7.5
        if step % 12 == 0:
            tick(c, degrees, 55.0, 73.0, 2.6, DARK_GREY)
        elif step % 3 == 0:
            tick(c, degrees, 59.0, 71.0, 1.8, GREY)
        else:
            tick(c, degrees, 62.5, 69.5, 1.2, MINOR_GREY)
    return c


def compass_with_pointer(dial, point):
    """The dial with a wedge on the ring at the k-th point (0 = N), its tip
    towards the centre, like a vane's marker."""
    degrees = point * 22.5
    c = Canvas(COMPASS_SIZE, COMPASS_SIZE)
    c.pixels = [row[:] for row in dial.pixels]
    half_base = 10.0
    base_radius = 78.0
    tip = polar(50.0, degrees)
    a = math.radians(degrees)
    across = (math.cos(a) * half_base, math.sin(a) * half_base)
    base = polar(base_radius, degrees)
    wedge = Polygon([tip, (base[0] + across[0], base[1] + across[1]), (base[0] - across[0], base[1] - across[1])])
    # A white halo keeps the ticks under the wedge from touching its edges.
    c.fill(Stroke([tip, (base[0] + across[0], base[1] + across[1]), (base[0] - across[0], base[1] - across[1]), tip],
                  3.0), WHITE)
    c.fill(wedge, POINTER_BLUE)
    return c


def refresh_bitmap(ground, arrow):
    """A circular arrow turning clockwise, 14 x 16 pixels; the pressed state
    sits on a darker rounded ground."""
    c = Canvas(14, 16)
    if ground is not None:
        c.fill(Rect(0.0, 0.0, 14.0, 16.0, radius=3.0), ground)
    cx, cy, r = 7.0, 8.5, 4.3
    # Clockwise from two o'clock round to eleven, leaving a gap at the top.
    start, end = 60, 318
    points = []
    for degrees in range(start, end + 1, 6):
        a = math.radians(degrees)
        points.append((cx + r * math.sin(a), cy - r * math.cos(a)))
    c.fill(Stroke(points, 1.6), arrow)
    # The head sits on the arc's end and points along it, clockwise.
    a = math.radians(end)
    ex, ey = cx + r * math.sin(a), cy - r * math.cos(a)
    tx, ty = math.cos(a), math.sin(a)  # direction of travel
    nx, ny = -ty, tx
    c.fill(Polygon([(ex + tx * 3.4, ey + ty * 3.4), (ex - tx * 0.6 + nx * 2.7, ey - ty * 0.6 + ny * 2.7),
                    (ex - tx * 0.6 - nx * 2.7, ey - ty * 0.6 - ny * 2.7)]), arrow)
    return c


def main():
    dial = compass_dial()
    write_bmp("compass_00.bmp", dial)
    for point in range(16):
        write_bmp("compass_%02d.bmp" % (point + 1), compass_with_pointer(dial, point))
    write_bmp("refresh.bmp", refresh_bitmap(None, GREY))
    write_bmp("refresh_pressed.bmp", refresh_bitmap((205, 205, 205), DARK_GREY))


if __name__ == "__main__":
    main()
