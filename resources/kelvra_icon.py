"""Kelvra's application icon: a sheet of a note pad held by a metal clip.

The drawing is a list of layers in a unit square (x to the right, y down),
painted bottom to top. Each layer is (box, inside, colour): `box` bounds the
layer as (x0, y0, x1, y1), `inside(x, y)` says whether a point is covered and
`colour(x, y)` gives its (r, g, b, a), 0-255. The layers depend on the size
in pixels, so the small images keep only what still reads at that size.

render_icon.py turns this into kelvra.ico and kelvra.png.
"""

import math

PAPER = (255, 249, 224, 255)
PAPER_EDGE = (138, 122, 80, 255)
FOLD = (232, 221, 176, 255)
RULE = (111, 168, 220, 255)
MARGIN = (217, 83, 79, 255)
INK = (60, 64, 80, 255)
SHADOW = (0, 0, 0, 70)
CLIP_EDGE = (45, 50, 58, 255)
WIRE = (70, 76, 86, 255)

SHEET = (0.17, 0.15, 0.83, 0.94)  # left, top, right, bottom
CORNER = 0.035  # radius of the sheet's rounded corners
FOLD_SIZE = 0.17  # the turned-up corner at the bottom right


def solid(rgba):
    return lambda x, y: rgba


def rounded_rect(x0, y0, x1, y1, r):
    def inside(x, y):
        if x < x0 or x > x1 or y < y0 or y > y1:
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i in range(len(points)):
            xi, yi = points[i]
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def segment(x0, y0, x1, y1, width):
    dx, dy = x1 - x0, y1 - y0
    length2 = dx * dx + dy * dy
    half2 = (width / 2) ** 2

    def inside(x, y):
        t = 0.0 if length2 == 0 else max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / length2))
        px, py = x0 + t * dx - x, y0 + t * dy - y
        return px * px + py * py <= half2
    return inside


def ring_arc(cx, cy, rx, ry, width, below):
    """The part of an elliptical ring above the line y = below."""
    def inside(x, y):
        if y > below:
            return False
        outer = ((x - cx) / (rx + width / 2)) ** 2 + ((y - cy) / (ry + width / 2)) ** 2
        inner = ((x - cx) / (rx - width / 2)) ** 2 + ((y - cy) / (ry - width / 2)) ** 2
        return outer <= 1 and inner > 1
    return inside


def both(a, b):
    return lambda x, y: a(x, y) and b(x, y)


def minus(a, b):
    return lambda x, y: a(x, y) and not b(x, y)


def metal(y0, y1):
    """Brushed steel: light at the top, darker at the bottom."""
    top, bottom = (178, 186, 196), (92, 100, 112)

    def colour(x, y):
        t = max(0.0, min(1.0, (y - y0) / (y1 - y0)))
        shine = 18 * math.cos((x - 0.5) * 6.0)
        return tuple(int(max(0, min(255, a + (b - a) * t + shine))) for a, b in zip(top, bottom)) + (255,)
    return colour


def layers(size):
    """The icon's layers for an image of `size` pixels square."""
    px = 1.0 / size
    line = max(0.014, 1.1 * px)  # thin strokes never fall below a pixel
    edge = max(0.012, 1.0 * px)
    x0, y0, x1, y1 = SHEET
    fold_cut = polygon([(x1 - FOLD_SIZE, y1 + 0.01), (x1 + 0.01, y1 - FOLD_SIZE), (x1 + 0.01, y1 + 0.01)])
    out = []

    # Shadow, then the sheet with its border, its corner cut off.
    shadow = rounded_rect(x0 + 0.03, y0 + 0.03, x1 + 0.03, y1 + 0.03, CORNER)
    out.append(((x0, y0, x1 + 0.03, y1 + 0.03), minus(shadow, polygon(
        [(x1 - FOLD_SIZE + 0.03, y1 + 0.04), (x1 + 0.04, y1 - FOLD_SIZE + 0.03), (x1 + 0.04, y1 + 0.04)])),
        solid(SHADOW)))
    sheet = minus(rounded_rect(x0, y0, x1, y1, CORNER), fold_cut)
    out.append(((x0, y0, x1, y1), sheet, solid(PAPER_EDGE)))
    inner = minus(rounded_rect(x0 + edge, y0 + edge, x1 - edge, y1 - edge, max(CORNER - edge, 0.0)),
                  polygon([(x1 - FOLD_SIZE - 1.4 * edge, y1 + 0.01), (x1 + 0.01, y1 - FOLD_SIZE - 1.4 * edge),
                           (x1 + 0.01, y1 + 0.01)]))
    out.append(((x0, y0, x1, y1), inner, solid(PAPER)))

    # Ruled lines, fewer on the small images, and the red margin.
    rules = 6 if size >= 48 else (4 if size >= 24 else 3)
    top, bottom = 0.38, 0.86
    step = (bottom - top) / (rules - 1)
    left = x0 + 0.05
    for k in range(rules):
        y = top + k * step
        right = x1 - 0.05
        if y > y1 - FOLD_SIZE - 0.02:
            right = x1 - FOLD_SIZE - 0.04 + (y1 - y) * 0.9
        out.append(((left, y - line, right, y + line), segment(left, y, right, y, line), solid(RULE)))
    margin_x = x0 + 0.13
    out.append(((margin_x - line, y0, margin_x + line, y1),
                segment(margin_x, y0 + 0.2, margin_x, y1 - 0.02, line), solid(MARGIN)))

    # Handwriting on the first lines, only where it can be seen.
    if size >= 32:
        words = [(0.02, 0.20), (0.25, 0.40)] if size < 64 else [(0.02, 0.16), (0.20, 0.30), (0.34, 0.46)]
        for k, spans in enumerate([words, words[:2], words[:1]]):
            y = top + k * step - 0.035
            for a, b in spans:
                xa, xb = margin_x + 0.04 + a, margin_x + 0.04 + b
                out.append(((xa - line, y - line, xb + line, y + line), segment(xa, y, xb, y, line * 1.3),
                            solid(INK)))

    # The turned-up corner.
    fold = polygon([(x1 - FOLD_SIZE, y1), (x1, y1 - FOLD_SIZE), (x1 - FOLD_SIZE, y1 - FOLD_SIZE)])
    out.append(((x1 - FOLD_SIZE, y1 - FOLD_SIZE, x1, y1), fold, solid(PAPER_EDGE)))
    fold_inner = polygon([(x1 - FOLD_SIZE + edge, y1 - 1.4 * edge), (x1 - 1.4 * edge, y1 - FOLD_SIZE + edge),
                          (x1 - FOLD_SIZE + edge, y1 - FOLD_SIZE + edge)])
    out.append(((x1 - FOLD_SIZE, y1 - FOLD_SIZE, x1, y1), fold_inner, solid(FOLD)))

    # The clip: a wire loop above a steel jaw that grips the sheet's top.
    wire = max(0.03, 1.4 * px)
    out.append(((0.33, 0.0, 0.67, 0.14), ring_arc(0.5, 0.13, 0.14, 0.11, wire, 0.13), solid(WIRE)))
    jaw = [(0.33, 0.08), (0.67, 0.08), (0.72, 0.25), (0.28, 0.25)]
    out.append(((0.28, 0.08, 0.72, 0.25), polygon(jaw), solid(CLIP_EDGE)))
    jaw_inner = [(0.33 + edge, 0.08 + edge), (0.67 - edge, 0.08 + edge), (0.72 - 1.6 * edge, 0.25 - edge),
                 (0.28 + 1.6 * edge, 0.25 - edge)]
    out.append(((0.28, 0.08, 0.72, 0.25), polygon(jaw_inner), metal(0.08, 0.25)))
    # The jaw's lip along the sheet.
    out.append(((0.28, 0.20, 0.72, 0.25), both(polygon(jaw), lambda x, y: y >= 0.25 - max(0.035, 1.2 * px)),
                solid(CLIP_EDGE)))
    if size >= 24:
        out.append(((0.36, 0.11, 0.64, 0.13), segment(0.37, 0.12, 0.63, 0.12, max(0.012, 0.9 * px)),
                    solid((235, 240, 245, 255))))
    return out
