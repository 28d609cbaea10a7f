#!/usr/bin/env python3
"""Draws Sirelta's icons and cursors and writes them to ui/res/.

Every image is built from a few vector shapes (boxes, polygons, circles,
strokes) described as signed distance functions on a 16-unit design grid.
Each shape is filled with a colour and outlined with a darker one; edges
are anti-aliased by supersampling. The results are written as classic
BMP-style 32-bit BGRA entries with a matching 1-bit AND mask, which every
Windows version down to XP can read (no PNG-compressed entries).

Usage: python3 tools/make_icons.py [output directory]
The output is deterministic: running the script twice gives identical files.
"""

import math
import os
import struct
import sys

SUPERSAMPLE = 6  # samples per pixel along each axis
DESIGN_GRID = 16.0  # all shapes are given in units of a 16x16 grid


# ---------------------------------------------------------------------------
# Signed distance functions. Negative inside, positive outside, in grid units.
# ---------------------------------------------------------------------------

def box(x0, y0, x1, y1, radius=0.0):
    cx, cy = (x0 + x1) / 2, (y0 + y1) / 2
    hx, hy = (x1 - x0) / 2 - radius, (y1 - y0) / 2 - radius

    def sdf(x, y):
        qx, qy = abs(x - cx) - hx, abs(y - cy) - hy
        outside = math.hypot(max(qx, 0.0), max(qy, 0.0))
        return outside + min(max(qx, qy), 0.0) - radius
    return sdf


def circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def ring(cx, cy, r, half_width):
    return lambda x, y: abs(math.hypot(x - cx, y - cy) - r) - half_width


def polygon(points):
    """Exact distance to a simple polygon; inside by the even-odd rule."""
    pts = list(points)

    def sdf(x, y):
        best = float("inf")
        inside = False
        j = len(pts) - 1
        for i in range(len(pts)):
            ax, ay = pts[j]
            bx, by = pts[i]
            ex, ey = bx - ax, by - ay
            wx, wy = x - ax, y - ay
            t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
            best = min(best, math.hypot(wx - ex * t, wy - ey * t))
            if (ay > y) != (by > y) and x < ax + (y - ay) * ex / ey:
                inside = not inside
            j = i
        return -best if inside else best
    return sdf


def stroke(a, b, half_width):
    """A line segment with round caps."""
    ax, ay = a
    ex, ey = b[0] - ax, b[1] - ay

    def sdf(x, y):
        wx, wy = x - ax, y - ay
        t = max(0.0, min(1.0, (wx * ex + wy * ey) / (ex * ex + ey * ey)))
        return math.hypot(wx - ex * t, wy - ey * t) - half_width
    return sdf


def half_plane(a, b):
    """Everything to the right of the directed line a->b (y axis points down)."""
    ax, ay = a
    ex, ey = b[0] - ax, b[1] - ay
    length = math.hypot(ex, ey)

    def sdf(x, y):
        return ((x - ax) * ey - (y - ay) * ex) / length
    return sdf


def union(*shapes):
    return lambda x, y: min(s(x, y) for s in shapes)


def intersect(*shapes):
    return lambda x, y: max(s(x, y) for s in shapes)


def subtract(shape, cut):
    return lambda x, y: max(shape(x, y), -cut(x, y))


def transform(shape, dx=0.0, dy=0.0, flip_y_at=None):
    def sdf(x, y):
        if flip_y_at is not None:
            y = 2 * flip_y_at - y
        return shape(x - dx, y - dy)
    return sdf


# ---------------------------------------------------------------------------
# Colours and the canvas.
# ---------------------------------------------------------------------------

def rgb(hex_text):
    value = int(hex_text.lstrip("#"), 16)
    return ((value >> 16) & 255, (value >> 8) & 255, value & 255)


def vertical_gradient(top, bottom, y0, y1):
    """A fill whose colour blends from `top` at y0 to `bottom` at y1."""
    top, bottom = rgb(top), rgb(bottom)

    def colour(_x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        return tuple(top[i] + (bottom[i] - top[i]) * t for i in range(3))
    return colour


class Canvas:
    """A square RGBA image in premultiplied floating point."""

    def __init__(self, size, grid=DESIGN_GRID):
        self.size = size
        self.scale = size / grid  # pixels per design unit
        # Outlines stay 1 px at 16 px and 2 px at larger sizes so they remain
        # crisp instead of scaling to fractional widths.
        self.outline_px = 1.0 if size <= 16 else 2.0
        self.pixels = [[0.0, 0.0, 0.0, 0.0] for _ in range(size * size)]

    def draw(self, shape, fill, outline=None, outline_px=None):
        """Fills `shape` with `fill`, inside an `outline` border if given."""
        fill_colour = fill if callable(fill) else (lambda c: (lambda x, y: c))(rgb(fill))
        edge_colour = rgb(outline) if outline else None
        border = (outline_px or self.outline_px) if outline else 0.0
        border_units = border / self.scale
        half_pixel_units = 0.75 / self.scale  # a safe bound for a whole pixel
        n = SUPERSAMPLE
        for py in range(self.size):
            for px in range(self.size):
                cx, cy = (px + 0.5) / self.scale, (py + 0.5) / self.scale
                centre = shape(cx, cy)
                if centre > half_pixel_units:
                    continue
                if centre < -(border_units + half_pixel_units):
                    total, inner = 1.0, 1.0
                else:
                    total, inner = self._coverage(shape, px, py, n, border_units)
                if total <= 0.0:
                    continue
                self._blend(px, py, edge_colour or fill_colour(cx, cy), total)
                if edge_colour and inner > 0.0:
                    self._blend(px, py, fill_colour(cx, cy), inner)

    def draw_pixels(self, rows, x0, y0, palette):
        """Paints a small pixel pattern; each character names a palette colour."""
        for dy, row in enumerate(rows):
            for dx, key in enumerate(row):
                if key in palette:
                    self._blend(x0 + dx, y0 + dy, rgb(palette[key]), 1.0)

    def _coverage(self, shape, px, py, n, border_units):
        total = inner = 0
        for sy in range(n):
            y = (py + (sy + 0.5) / n) / self.scale
            for sx in range(n):
                x = (px + (sx + 0.5) / n) / self.scale
                d = shape(x, y)
                if d <= 0.0:
                    total += 1
                    if d <= -border_units:
                        inner += 1
        return total / (n * n), inner / (n * n)

    def _blend(self, px, py, colour, alpha):
        p = self.pixels[py * self.size + px]
        keep = 1.0 - alpha
        for i in range(3):
            p[i] = colour[i] / 255.0 * alpha + p[i] * keep
        p[3] = alpha + p[3] * keep

    def bgra_rows_bottom_up(self):
        """Straight (non-premultiplied) BGRA bytes, rows bottom-up, as BMP wants."""
        out = bytearray()
        for py in reversed(range(self.size)):
            for px in range(self.size):
                r, g, b, a = self.pixels[py * self.size + px]
                alpha = round(a * 255)
                if alpha == 0:
                    out += b"\0\0\0\0"
                    continue
                out += bytes(min(255, round(c / a * 255)) for c in (b, g, r))
                out.append(alpha)
        return bytes(out)

    def and_mask_bottom_up(self):
        """1 bit per pixel, 1 = transparent; rows padded to 32 bits."""
        row_bytes = ((self.size + 31) // 32) * 4
        out = bytearray()
        for py in reversed(range(self.size)):
            row = bytearray(row_bytes)
            for px in range(self.size):
                if self.pixels[py * self.size + px][3] < 0.5:
                    row[px // 8] |= 0x80 >> (px % 8)
            out += row
        return bytes(out)


# ---------------------------------------------------------------------------
# ICO / CUR writer.
# ---------------------------------------------------------------------------

def dib_entry(canvas):
    size = canvas.size
    xor = canvas.bgra_rows_bottom_up()
    mask = canvas.and_mask_bottom_up()
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def write_icon_file(path, canvases, hotspot=None):
    """Writes an .ico, or a .cur when a hot spot (x, y) is given."""
    is_cursor = hotspot is not None
    images = [dib_entry(c) for c in canvases]
    out = bytearray(struct.pack("<HHH", 0, 2 if is_cursor else 1, len(images)))
    offset = 6 + 16 * len(images)
    for canvas, data in zip(canvases, images):
        dim = canvas.size if canvas.size < 256 else 0
        if is_cursor:
            field1, field2 = hotspot
        else:
            field1, field2 = 1, 32  # colour planes, bits per pixel
        out += struct.pack("<BBBBHHII", dim, dim, 0, 0, field1, field2, len(data), offset)
        offset += len(data)
    for data in images:
        out += data
    with open(path, "wb") as f:
        f.write(out)


# ---------------------------------------------------------------------------
# The artwork. Each function draws on a canvas in 16-unit grid coordinates.
# ---------------------------------------------------------------------------

GREEN = dict(fill=vertical_gradient("#7ED67F", "#3E9B43", 2, 14), outline="#1E5E24")
BLUE = dict(fill=vertical_gradient("#7DB8F2", "#2F74C8", 2, 14), outline="#173E73")
RED = dict(fill=vertical_gradient("#F27A6E", "#C62A22", 2, 14), outline="#6E1410")
GREY = dict(fill=vertical_gradient("#8C96A3", "#4D5661", 2, 14), outline="#22272E")
SIREN = dict(fill=vertical_gradient("#FFD36B", "#F08A00", 8, 16), outline="#7A3A00")


def play_triangle(x0, y0, x1, y1):
    return polygon([(x0, y0), (x1, (y0 + y1) / 2), (x0, y1)])


def draw_play(c):
    c.draw(play_triangle(4, 2, 14, 14), **GREEN)


def draw_pause(c):
    c.draw(union(box(3, 2, 7, 14, 0.5), box(9, 2, 13, 14, 0.5)), **BLUE)


def draw_stop(c):
    c.draw(box(3, 3, 13, 13, 0.75), **GREY)


# Icons 204, 209 and 210 have no button yet; they get neutral, matching
# pictures (record dot, arrow up, arrow down) so the set is complete.
def draw_record(c):
    c.draw(circle(8, 8, 5.5), **RED)


def siren_mark():
    """A small horn loudspeaker in the lower right corner, 9 x 8 units."""
    driver = box(7, 9, 10, 13, 0.5)
    horn = polygon([(9.5, 10), (15, 7), (15, 15), (9.5, 12)])
    return union(driver, horn)


def draw_play_on_siren(c):
    c.draw(play_triangle(1, 1, 11, 12), **GREEN)
    c.draw(siren_mark(), **SIREN)


def draw_stop_on_siren(c):
    c.draw(box(1, 1, 10, 10, 0.75), **GREY)
    c.draw(siren_mark(), **SIREN)


def draw_add(c):
    c.draw(union(box(6, 2, 10, 14), box(2, 6, 14, 10)), **GREEN)


def draw_delete(c):
    c.draw(union(stroke((4, 4), (12, 12), 2.1), stroke((12, 4), (4, 12), 2.1)), **RED)


def arrow_up_shape():
    return polygon([(8, 1), (15, 8), (11, 8), (11, 15), (5, 15), (5, 8), (1, 8)])


def draw_arrow_up(c):
    c.draw(arrow_up_shape(), **BLUE)


def draw_arrow_down(c):
    c.draw(transform(arrow_up_shape(), flip_y_at=8), **BLUE)


def draw_loop(c):
    cx, cy = 8, 9
    band = ring(cx, cy, 4.6, 1.9)
    # Open the ring's upper right quarter; the arrow head at twelve o'clock
    # points clockwise into the gap.
    gap = intersect(half_plane((cx, cy), (cx, cy - 10)),
                    half_plane((cx + 10, cy), (cx, cy)))
    head = polygon([(8, 0.5), (12, 4.5), (8, 8.5)])
    c.draw(union(subtract(band, gap), head), **BLUE)


def sound_wave(cx, cy, radius, half_width, half_angle):
    """A short arc right of (cx, cy), like the ")" of a sound symbol."""
    dx, dy = math.cos(half_angle), math.sin(half_angle)
    return intersect(ring(cx, cy, radius, half_width),
                     half_plane((cx, cy), (cx + dx, cy - dy)),
                     half_plane((cx + dx, cy + dy), (cx, cy)))


HORN_RED = dict(fill=vertical_gradient("#FF8A73", "#C0241B", 2, 14), outline="#5E100B")
RIM_RED = dict(fill=vertical_gradient("#F25C4A", "#9E1A12", 1, 15), outline="#5E100B")
WAVE = dict(fill="#F5A000", outline="#7A3A00")


def draw_app(c):
    """A horn loudspeaker sending out sound waves: the siren."""
    if c.size <= 16:
        # Kept on whole pixels so the small window icon stays sharp.
        c.draw(box(0, 5, 4, 11), **GREY)
        c.draw(polygon([(3.5, 6.5), (11, 2), (11, 14), (3.5, 9.5)]), **HORN_RED)
        c.draw(box(10, 1, 13, 15), **RIM_RED)
        c.draw(box(14, 5, 15, 11), fill="#D96F00")
        return
    c.draw(box(0.5, 5, 4.5, 11, 0.75), **GREY)
    c.draw(polygon([(4, 6.5), (10, 2), (10, 14), (4, 9.5)]), **HORN_RED)
    c.draw(box(9.5, 1, 11.5, 15, 0.6), **RIM_RED)
    for radius in (2.4, 4.3):
        c.draw(sound_wave(10.8, 8, radius, 0.6, 0.8), outline_px=1.0, **WAVE)


# Cursors: the usual arrow, drawn pixel by pixel so it stays sharp, with its
# tip (and the hot spot) at (0, 0), and a badge at lower right telling the
# kind of drag.
CURSOR_SIZE = 32
CURSOR_HOTSPOT = (0, 0)
CURSOR_ARROW = [
    "X",
    "XX",
    "X.X",
    "X..X",
    "X...X",
    "X....X",
    "X.....X",
    "X......X",
    "X.......X",
    "X........X",
    "X.........X",
    "X......XXXXX",
    "X...X..X",
    "X..XX..X",
    "X.X  X..X",
    "XX   X..X",
    "X     X..X",
    "      X..X",
    "       XX",
]


MOVE_BADGE = [
    "   XX",
    "  XXXX",
    " XXXXXX",
    "   XX",
    "   XX",
    " XXXXXX",
    "  XXXX",
    "   XX",
]


def draw_cursor_base(c):
    c.draw_pixels(CURSOR_ARROW, 0, 0, {"X": "#000000", ".": "#FFFFFF"})
    c.draw(box(14, 18, 26, 30), fill="#FFFFFF", outline="#000000", outline_px=1.0)


def draw_drag_fragment(c):
    """Copy: a fragment is added to the playlist."""
    draw_cursor_base(c)
    c.draw(union(box(19, 20, 21, 28), box(16, 23, 24, 25)), fill="#1F7A2A")


def draw_drag_playlist(c):
    """Move: a playlist entry changes its place."""
    draw_cursor_base(c)
    c.draw_pixels(MOVE_BADGE, 16, 20, {"X": "#1F4F9A"})


def render(draw, size, grid=DESIGN_GRID):
    # Icons are drawn on the 16-unit grid, cursors directly in pixels.
    canvas = Canvas(size, grid)
    draw(canvas)
    return canvas


ICONS = [
    ("app.ico", draw_app, (16, 32, 48)),
    ("pause.ico", draw_pause, (16, 32)),
    ("play.ico", draw_play, (16, 32)),
    ("stop.ico", draw_stop, (16, 32)),
    ("record.ico", draw_record, (16, 32)),
    ("play_on_siren.ico", draw_play_on_siren, (16, 32)),
    ("add.ico", draw_add, (16, 32)),
    ("delete.ico", draw_delete, (16, 32)),
    ("stop_on_siren.ico", draw_stop_on_siren, (16, 32)),
    ("arrow_up.ico", draw_arrow_up, (16, 32)),
    ("arrow_down.ico", draw_arrow_down, (16, 32)),
    ("loop.ico", draw_loop, (16, 32)),
]

CURSORS = [
    ("drag_playlist.cur", draw_drag_playlist),
    ("drag_fragment.cur", draw_drag_fragment),
]


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    out_dir = sys.argv[1] if len(sys.argv) > 1 else os.path.join(root, "ui", "res")
    os.makedirs(out_dir, exist_ok=True)
    for name, draw, sizes in ICONS:
        write_icon_file(os.path.join(out_dir, name), [render(draw, s) for s in sizes])
    for name, draw in CURSORS:
        canvas = render(draw, CURSOR_SIZE, grid=CURSOR_SIZE)
        write_icon_file(os.path.join(out_dir, name), [canvas], hotspot=CURSOR_HOTSPOT)
    print("wrote %d files to %s" % (len(ICONS) + len(CURSORS), out_dir))


if __name__ == "__main__":
    main()
