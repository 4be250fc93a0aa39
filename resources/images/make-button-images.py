#!/usr/bin/env python3
"""Draws the export & setup page's Select All, Clear All and Export buttons,
normal and pressed, in each of the five languages, and writes them beside
this script as button_<language>_<button>[_pressed].bmp.

    python3 resources/images/make-button-images.py

The words are read from the language tables (l49, l50, l51 of
resources/languages/*.txt), so a changed translation only needs this script
run again. The button body is drawn with the shapes and canvas of
make-images.py; the words need a real typeface, which the standard library
lacks, so ImageMagick's `convert` renders each one (Liberation Sans Bold, the
typeface metrically equal to the Arial the pages use) as a grey-level mask
that is then laid over the body. Needs ImageMagick and the Liberation fonts
only when run; the output is committed.
"""

import importlib.util
import os
import subprocess

HERE = os.path.dirname(os.path.abspath(__file__))
LANGUAGES_DIR = os.path.join(HERE, "..", "languages")
_spec = importlib.util.spec_from_file_location("images", os.path.join(HERE, "make-images.py"))
images = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(images)

Canvas, Rect = images.Canvas, images.Rect
vertical_gradient, write_bmp, WHITE = images.vertical_gradient, images.write_bmp, images.WHITE

WIDTH, HEIGHT = 90, 28
# Room the words may take: the body less its rounded ends.
TEXT_ROOM = 82
FONT_DIR = "/usr/share/fonts/truetype/liberation"
REGULAR = os.path.join(FONT_DIR, "LiberationSans-Bold.ttf")
NARROW = os.path.join(FONT_DIR, "LiberationSansNarrow-Bold.ttf")
SIZES = (12.0, 11.5, 11.0, 10.5, 10.0)

# Language file, file name part; the order of the program's languages.
LANGUAGES = (("english", "english"), ("germany", "german"), ("france", "french"),
             ("italy", "italian"), ("spanish", "spanish"))
# Language key, file name part.
BUTTONS = ((49, "select_all"), (50, "clear_all"), (51, "export"))

RIM = (3, 62, 112)
NORMAL_TOP, NORMAL_BOTTOM = (88, 160, 214), (5, 93, 160)
PRESSED_TOP, PRESSED_BOTTOM = (4, 70, 124), (20, 104, 168)


def language_words(file_name):
    """l49..l51 of a language table; "&&" stands for one "&" there."""
    words = {}
    with open(os.path.join(LANGUAGES_DIR, file_name + ".txt"), encoding="utf-8") as table:
        for line in table:
            key, _, value = line.rstrip("\r\n").partition("=")
            if key.startswith("l") and key[1:].isdigit():
                words[int(key[1:])] = value.replace("&&", "&")
    return [words[key] for key, _ in BUTTONS]


def render_text(text, font, size):
    """The words as rows of coverage values 0..1, white on black, in the box
    the typeface gives a line (ascent to descent), so every word of a size
    sits on the same baseline."""
    pgm = subprocess.run(["convert", "-density", "72", "-background", "black", "-fill", "white",
                          "-font", font, "-pointsize", str(size), "label:" + text,
                          "-colorspace", "Gray", "-depth", "8", "pgm:-"],
                         check=True, stdout=subprocess.PIPE).stdout
    fields = pgm.split(maxsplit=4)
    width, height = int(fields[1]), int(fields[2])
    data = fields[4]
    return [[data[y * width + x] / 255.0 for x in range(width)] for y in range(height)]


def ink_width(mask):
    columns = [x for x in range(len(mask[0])) if any(row[x] > 0.05 for row in mask)]
    return columns[-1] - columns[0] + 1 if columns else 0


def language_masks(words):
    """One typeface and one size per language, so its three buttons match:
    the regular typeface at the largest size where every word fits, else
    the narrow one."""
    for font in (REGULAR, NARROW):
        for size in SIZES:
            masks = [render_text(word, font, size) for word in words]
            if all(ink_width(mask) <= TEXT_ROOM for mask in masks):
                return masks
    raise SystemExit("a button word does not fit: %r" % (words,))


def lay_text(canvas, mask, dx, dy, colour):
    """Centres the mask's ink horizontally and its line box vertically."""
    columns = [x for x in range(len(mask[0])) if any(row[x] > 0.05 for row in mask)]
    left = (WIDTH - (columns[-1] - columns[0] + 1)) // 2 - columns[0] + dx
    top = (HEIGHT - len(mask)) // 2 + dy
    for y, row in enumerate(mask):
        for x, coverage in enumerate(row):
            px, py = left + x, top + y
            if coverage > 0 and 0 <= px < WIDTH and 0 <= py < HEIGHT:
                canvas._over(px, py, colour, coverage)


def button(mask, pressed):
    """A rounded blue body with a darker rim and white words; pressed, the
    shading turns over and the words move one pixel down and right, as a
    pushed key looks."""
    c = Canvas(WIDTH, HEIGHT)
    c.fill(Rect(0.5, 0.5, WIDTH - 0.5, HEIGHT - 0.5, radius=6.0), RIM)
    top, bottom = (PRESSED_TOP, PRESSED_BOTTOM) if pressed else (NORMAL_TOP, NORMAL_BOTTOM)
    c.fill(Rect(1.6, 1.6, WIDTH - 1.6, HEIGHT - 1.6, radius=5.0), vertical_gradient(top, bottom, 2, HEIGHT - 2))
    if not pressed:
        # A thin highlight under the top edge.
        c.fill(Rect(4.0, 2.0, WIDTH - 4.0, 3.0), WHITE, 0.25)
    shift = 1 if pressed else 0
    lay_text(c, mask, shift, shift, WHITE)
    return c


def main():
    for file_name, name in LANGUAGES:
        masks = language_masks(language_words(file_name))
        for mask, (_, button_name) in zip(masks, BUTTONS):
            write_bmp("button_%s_%s.bmp" % (name, button_name), button(mask, False))
            write_bmp("button_%s_%s_pressed.bmp" % (name, button_name), button(mask, True))


if __name__ == "__main__":
    main()
