#!/usr/bin/env python3
"""Helper for make_pictures.sh: writes the vector sources and checks the finished pictures.

    pictures_helper.py svg SVG_DIR        write every vector source into SVG_DIR
    pictures_helper.py check PICTURE_DIR  check sizes, palettes and transparency of the PNGs
    pictures_helper.py theme              list the icon theme's sizes: source name, size
    pictures_helper.py check-theme DIR    check the icon theme's PNGs in DIR

Standard library only. Every shape comes from the parameters below, so running the
helper again writes byte-identical files.
"""

import math
import os
import struct
import sys
import zlib

# ---------------------------------------------------------------------------
# Colours
# ---------------------------------------------------------------------------

OUTLINE = "#3d1a0e"  # chocolate outline around every slice
CREAM = "#fff2d6"  # frosting on top of a slice
CREAM_SHADE = "#f3d9a8"  # the shaded side of a cream dollop
PINK = "#f27aa6"  # strawberry cream piped along the rim
BERRY = "#e3263b"
BERRY_DARK = "#9e1426"
BERRY_LIGHT = "#ff9d9d"
LEAF = "#3f9d36"
GOLD = "#ffd23f"
GOLD_DARK = "#d9880f"
SPONGE = "#f2bf5e"  # the cut face of a slice, seen in the icon
SPONGE_DARK = "#c98a2e"

ARROW = "#1c3f9c"  # dark blue that stands out on a light grey button
ARROW_DARK = "#0b1c4d"
ARROW_LIGHT = "#4d7be0"

# ---------------------------------------------------------------------------
# Small SVG helpers
# ---------------------------------------------------------------------------


def num(value):
    """A coordinate with at most three decimals and no trailing zeros."""
    text = f"{value:.3f}".rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def point(x, y):
    return f"{num(x)},{num(y)}"


def polar(cx, cy, radius, degrees):
    """Screen coordinates: 0 degrees points right, angles grow clockwise (y points down)."""
    rad = math.radians(degrees)
    return cx + radius * math.cos(rad), cy + radius * math.sin(rad)


def document(width, height, body, view=None):
    view = view or f"0 0 {width} {height}"
    return (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width}" height="{height}" '
        f'viewBox="{view}">\n' + "".join(f"  {line}\n" for line in body) + "</svg>\n"
    )


def circle(cx, cy, r, fill, extra=""):
    return f'<circle cx="{num(cx)}" cy="{num(cy)}" r="{num(r)}" fill="{fill}"{extra}/>'


# ---------------------------------------------------------------------------
# The slice pictures
# ---------------------------------------------------------------------------

CELL = 100  # a board cell, in pixels at 1x
CAKE_RADIUS = 46.0  # leaves a small margin inside the cell
SLICES = 8
SLICE_DEGREES = 360.0 / SLICES
SLICE_GAP = 3.6  # each slice moves out along its middle line by this much


def slice_start(k):
    """Slice k (1 to 8) always sits in the same place, clockwise from twelve o'clock,
    so a glance at the cake reads like a clock face."""
    return -90.0 + SLICE_DEGREES * (k - 1)


def slice_shapes(k, cx, cy, gap):
    """Every shape of slice k, drawn from back to front."""
    a0 = slice_start(k)
    a1 = a0 + SLICE_DEGREES
    mid = a0 + SLICE_DEGREES / 2
    ox, oy = polar(0, 0, gap, mid)
    tx, ty = cx + ox, cy + oy
    r = CAKE_RADIUS - gap
    rim = 8.0  # width of the piped rim

    def wedge(radius, fill, extra=""):
        x0, y0 = polar(tx, ty, radius, a0)
        x1, y1 = polar(tx, ty, radius, a1)
        return (
            f'<path d="M{point(tx, ty)} L{point(x0, y0)} A{num(radius)},{num(radius)} 0 0 1 '
            f'{point(x1, y1)} Z" fill="{fill}"{extra}/>'
        )

    shapes = [
        wedge(r, PINK),
        wedge(r - rim, CREAM),
    ]
    # Two cream dollops sit on the pink rim of every slice.
    for share in (0.28, 0.72):
        dx, dy = polar(tx, ty, r - rim / 2, a0 + SLICE_DEGREES * share)
        shapes.append(circle(dx + 0.5, dy + 0.6, 3.0, CREAM_SHADE))
        shapes.append(circle(dx, dy, 2.5, CREAM))
    # One strawberry in the middle of the frosting, its tip pointing at the centre.
    bx, by = polar(tx, ty, r * 0.55, mid)
    shapes.append(
        f'<g transform="translate({point(bx, by)}) rotate({num(mid + 90)})">'
        f'<path d="M0,-6.5 C5.5,-6.5 6.5,-2 4.5,2 C3,5 1,7 0,7.5 C-1,7 -3,5 -4.5,2 '
        f'C-6.5,-2 -5.5,-6.5 0,-6.5 Z" fill="{BERRY}" stroke="{BERRY_DARK}" stroke-width="1"/>'
        f'<path d="M-3,-3.5 C-2.5,-5 -1,-5.5 0.5,-5.2" fill="none" stroke="{BERRY_LIGHT}" '
        f'stroke-width="1.3" stroke-linecap="round"/>'
        f'<path d="M-3.5,-6.8 L0,-4.6 L3.5,-6.8 L1.2,-8.2 L0,-6.9 L-1.2,-8.2 Z" fill="{LEAF}"/>'
        "</g>"
    )
    # The outline goes on last so neighbouring slices stay clearly apart.
    shapes.append(wedge(r, "none", f' stroke="{OUTLINE}" stroke-width="1.2" stroke-linejoin="round"'))
    return shapes


def sparkle(cx, cy, size):
    s, t = size, size * 0.28
    d = (
        f"M{point(cx, cy - s)} L{point(cx + t, cy - t)} L{point(cx + s, cy)} "
        f"L{point(cx + t, cy + t)} L{point(cx, cy + s)} L{point(cx - t, cy + t)} "
        f"L{point(cx - s, cy)} L{point(cx - t, cy - t)} Z"
    )
    return f'<path d="{d}" fill="{GOLD}" stroke="{GOLD_DARK}" stroke-width="0.8" stroke-linejoin="round"/>'


def candle(cx, cy):
    """A candle standing in the middle of a finished cake, seen from slightly above."""
    return [
        f'<ellipse cx="{num(cx)}" cy="{num(cy + 1)}" rx="6" ry="3" fill="{CREAM_SHADE}"/>',
        f'<rect x="{num(cx - 3.5)}" y="{num(cy - 15)}" width="7" height="16" rx="1.5" '
        f'fill="{PINK}" stroke="{OUTLINE}" stroke-width="1"/>',
        f'<path d="M{point(cx - 3.5, cy - 9)} L{point(cx + 3.5, cy - 13)} '
        f'M{point(cx - 3.5, cy - 3)} L{point(cx + 3.5, cy - 7)}" '
        f'stroke="{CREAM}" stroke-width="1.6"/>',
        f'<path d="M{point(cx, cy - 27)} C{point(cx + 5, cy - 21)} {point(cx + 4, cy - 16)} '
        f'{point(cx, cy - 16)} C{point(cx - 4, cy - 16)} {point(cx - 5, cy - 21)} '
        f'{point(cx, cy - 27)} Z" fill="{GOLD}" stroke="{GOLD_DARK}" stroke-width="1"/>',
        f'<path d="M{point(cx, cy - 22)} C{point(cx + 2, cy - 19.5)} {point(cx + 1.5, cy - 17.5)} '
        f'{point(cx, cy - 17.5)} C{point(cx - 1.5, cy - 17.5)} {point(cx - 2, cy - 19.5)} '
        f'{point(cx, cy - 22)} Z" fill="{CREAM}"/>',
    ]


def cake_svg(count):
    """The cake with slices 1 to count present; the missing ones are simply not drawn,
    so the dark board shows where they would be."""
    c = CELL / 2
    body = []
    whole = count == SLICES
    if whole:
        # A finished cake shows only for a moment: it glows and carries a candle.
        body.append(circle(c, c, CAKE_RADIUS + 2.5, GOLD))
        for x, y in ((10, 10), (90, 10), (10, 90), (90, 90)):
            body.append(sparkle(x, y, 8))
    for k in range(1, count + 1):
        body.extend(slice_shapes(k, c, c, 0.0 if whole else SLICE_GAP))
    if whole:
        body.extend(candle(c, c + 6))
    return document(CELL, CELL, body)


# ---------------------------------------------------------------------------
# The window icon: one slice of cake, seen from the front and a little above
# ---------------------------------------------------------------------------


def icon_svg(size):
    """Drawn on a 32 x 32 grid. The cut face lies flat towards the viewer so its layers
    and edges fall on whole pixels; the 16 x 16 icon keeps the same shape with fewer
    details and its edges on whole pixels of its own."""
    small = size == 16
    tip, back, right = (3, 17), (25, 7), (29, 17)
    bottom = 29
    top = f"M{point(*tip)} L{point(*back)} L{point(*right)} Z"
    face = f"M{point(*tip)} L{point(*right)} L{point(right[0], bottom)} L{point(tip[0], bottom)} Z"
    body = [f'<path d="{face}" fill="{SPONGE}"/>']

    def band(y0, y1, fill):
        return (
            f'<rect x="{tip[0]}" y="{y0}" width="{right[0] - tip[0]}" height="{y1 - y0}" '
            f'fill="{fill}"/>'
        )

    # Layers of sponge with cream between them, as on a cut cake.
    if small:
        body.append(band(20, 22, CREAM))
        body.append(band(24, 26, SPONGE_DARK))
    else:
        body.append(band(20, 23, CREAM))
        body.append(band(25, 26, SPONGE_DARK))
    body.append(f'<path d="{top}" fill="{CREAM}"/>')
    # Strawberry cream piped along the back edge of the frosting.
    body.append(
        f'<path d="M{point(back[0] + 0.5, back[1] + 2.5)} L{point(right[0] - 1.2, right[1] - 2)}" '
        f'stroke="{PINK}" stroke-width="{3 if small else 2.5}" stroke-linecap="round"/>'
    )
    body.append(
        f'<path d="{top} {face}" fill="none" stroke="{OUTLINE}" stroke-width="2" '
        'stroke-linejoin="round"/>'
    )
    # A strawberry sits in the middle of the frosting.
    bx, by = 18, 11
    scale = 0.95 if not small else 1.1
    berry_line = 1.6 if small else 1
    highlight = (
        ""
        if small
        else f'<path d="M-2,-1.5 C-1.8,-2.6 -0.8,-3 0.2,-2.9" fill="none" '
        f'stroke="{BERRY_LIGHT}" stroke-width="1" stroke-linecap="round"/>'
    )
    body.append(
        f'<g transform="translate({point(bx, by)}) scale({num(scale)})">'
        f'<path d="M0,-4 C4,-4 5,-1 3.5,2 C2.5,4 0.8,5.5 0,6 C-0.8,5.5 -2.5,4 -3.5,2 '
        f'C-5,-1 -4,-4 0,-4 Z" fill="{BERRY}" stroke="{BERRY_DARK}" '
        f'stroke-width="{num(berry_line)}"/>'
        + highlight
        + f'<path d="M-3,-4.2 L0,-2.6 L3,-4.2 L1,-5.6 L0,-4.6 L-1,-5.6 Z" fill="{LEAF}"/>'
        "</g>"
    )
    return document(size, size, body, view="0 0 32 32")


# ---------------------------------------------------------------------------
# Button icons
# ---------------------------------------------------------------------------


def arrow_svg(size, direction):
    """A solid arrowhead; the right one is the left one mirrored."""
    small = size == 16
    line = 2.6 if small else 2.0
    points = [(6.0, 16.0), (24.5, 5.0), (24.5, 27.0)]
    if small:
        points = [(5.0, 16.0), (26.0, 4.0), (26.0, 28.0)]
    shape = "M" + " L".join(point(x, y) for x, y in points) + " Z"
    body = [
        f'<g transform="{"" if direction == "left" else "translate(32,0) scale(-1,1)"}">',
        f'  <path d="{shape}" fill="{ARROW}" stroke="{ARROW_DARK}" stroke-width="{num(line)}" '
        'stroke-linejoin="round"/>',
    ]
    if not small:
        # A light edge along the top gives the arrowhead a little depth.
        body.append(
            f'  <path d="M{point(9.5, 15.0)} L{point(22.5, 7.4)}" stroke="{ARROW_LIGHT}" '
            'stroke-width="1.6" stroke-linecap="round"/>'
        )
    body.append("</g>")
    return document(size, size, body, view="0 0 32 32")


def turn_svg(size):
    """A U-turn: up from the right, over the top and back down on the left, where the
    arrowhead points. The pair's two pieces trade places the same way."""
    small = size == 16
    stem = 5.0 if small else 4.0
    edge = 2.4 if small else 1.8
    path = "M23,27 L23,15 A7,7 0 0 0 9,15 L9,17"
    head = "M2.5,16 L15.5,16 L9,26.5 Z" if not small else "M1.5,15 L16.5,15 L9,27 Z"
    body = [
        f'<path d="{path}" fill="none" stroke="{ARROW_DARK}" stroke-width="{num(stem + 2 * edge)}" '
        'stroke-linecap="round"/>',
        f'<path d="{head}" fill="{ARROW_DARK}" stroke="{ARROW_DARK}" stroke-width="{num(2 * edge)}" '
        'stroke-linejoin="round"/>',
        f'<path d="{path}" fill="none" stroke="{ARROW}" stroke-width="{num(stem)}" '
        'stroke-linecap="round"/>',
        f'<path d="{head}" fill="{ARROW}"/>',
    ]
    if not small:
        body.append(
            f'<path d="M21.3,14 A5.3,5.3 0 0 0 13,10.2" fill="none" stroke="{ARROW_LIGHT}" '
            'stroke-width="1.4" stroke-linecap="round"/>'
        )
    return document(size, size, body, view="0 0 32 32")


# ---------------------------------------------------------------------------
# The title picture
# ---------------------------------------------------------------------------

TITLE = "ヌビロケーキ"
TITLE_WIDTH, TITLE_HEIGHT = 219, 55
TITLE_FONT = "IPAPGothic"
TITLE_SIZE = 37
TITLE_SPACING = 0.5
TITLE_BASELINE = 43


def title_svg():
    x = TITLE_WIDTH / 2
    common = (
        f'x="{num(x)}" y="{TITLE_BASELINE}" font-family="{TITLE_FONT}" font-size="{TITLE_SIZE}" '
        f'font-weight="bold" letter-spacing="{num(TITLE_SPACING)}" text-anchor="middle"'
    )
    body = [
        "<defs>",
        '  <linearGradient id="body" x1="0" y1="0" x2="0" y2="1">',
        '    <stop offset="0.1" stop-color="#fff6d8"/>',
        '    <stop offset="0.55" stop-color="#ffb3d0"/>',
        '    <stop offset="1" stop-color="#ff3d8b"/>',
        "  </linearGradient>",
        "</defs>",
        # A hard shadow, then the chocolate outline, then the cream-to-pink letters,
        # each drawn fatter by a stroke of its own colour so the font looks bold.
        f'<text {common} transform="translate(2,2)" fill="#2a0d18" stroke="#2a0d18" '
        'stroke-width="7" stroke-linejoin="round">' + TITLE + "</text>",
        f'<text {common} fill="{OUTLINE}" stroke="{OUTLINE}" stroke-width="7" '
        'stroke-linejoin="round">' + TITLE + "</text>",
        f'<text {common} fill="url(#body)" stroke="url(#body)" stroke-width="1.6" '
        'stroke-linejoin="round">' + TITLE + "</text>",
    ]
    return document(TITLE_WIDTH, TITLE_HEIGHT, body)


# ---------------------------------------------------------------------------
# What the script renders: name, size at 1x, background the picture sits on, colours
# ---------------------------------------------------------------------------

BOARD_GREY = "#404040"
BUTTON_GREY = "#e0e0e0"
WINDOW_GREY = "#808080"


def sources():
    """(name, svg text, width, height, background, colours) for every picture."""
    items = []
    for n in range(1, SLICES + 1):
        items.append((f"cake{n}", cake_svg(n), CELL, CELL, BOARD_GREY, 16))
    items.append(("title", title_svg(), TITLE_WIDTH, TITLE_HEIGHT, WINDOW_GREY, 256))
    for size in (16, 32):
        items.append((f"icon{size}", icon_svg(size), size, size, BUTTON_GREY, 16))
        items.append((f"left{size}", arrow_svg(size, "left"), size, size, BUTTON_GREY, 16))
        items.append((f"right{size}", arrow_svg(size, "right"), size, size, BUTTON_GREY, 16))
        items.append((f"turn{size}", turn_svg(size), size, size, BUTTON_GREY, 16))
    return items


def write_svgs(folder):
    """Writes the sources and prints one line per picture for the shell script to read:
    name width height background colours."""
    os.makedirs(folder, exist_ok=True)
    for name, text, width, height, background, colours in sources():
        with open(os.path.join(folder, name + ".svg"), "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        print(name, width, height, background, colours)


# ---------------------------------------------------------------------------
# The desktop's icon theme
# ---------------------------------------------------------------------------

# The applications menu and the docks look the game up in the desktop's icon theme,
# which wants the icon at several sizes. 16 and 32 are the window icon's own pictures;
# the larger ones are rendered from the 32 x 32 drawing. Unlike the pictures inside the
# window, they keep full colour and smooth transparency: the desktop shows them on
# backgrounds of its own choosing, so there is no colour to blend their edges onto.
THEME_SOURCE = "icon32"
THEME_SIZES = (48, 64, 128, 256)


def theme_file(size):
    return f"icon{size}.png"


def list_theme():
    """Prints one line per theme icon for the shell script to read: source size."""
    for size in THEME_SIZES:
        print(THEME_SOURCE, size)


# ---------------------------------------------------------------------------
# Checking the finished PNG files
# ---------------------------------------------------------------------------


def read_png(path):
    """The header fields, palette size, tRNS alpha values and the palette indices used."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    at, packed, info = 8, [], {"palette": 0, "alpha": b""}
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at : at + 8])
        chunk = data[at + 8 : at + 8 + size]
        at += size + 12
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
            info.update(width=w, height=h, depth=depth, colour=colour, interlace=interlace)
        elif kind == b"PLTE":
            info["palette"] = len(chunk) // 3
        elif kind == b"tRNS":
            info["alpha"] = chunk
        elif kind == b"IDAT":
            packed.append(chunk)
        elif kind == b"IEND":
            break
    if info.get("colour") != 3 or info.get("interlace"):
        return info
    w, h, depth = info["width"], info["height"], info["depth"]
    stride = (w * depth + 7) // 8
    raw = zlib.decompress(b"".join(packed))
    used, prior = set(), bytearray(stride)
    for y in range(h):
        row_at = y * (stride + 1)
        filt, row = raw[row_at], bytearray(raw[row_at + 1 : row_at + 1 + stride])
        for i in range(stride):  # a palette PNG has one byte per step for filtering
            a = row[i - 1] if i else 0
            b, c = prior[i], prior[i - 1] if i else 0
            if filt == 1:
                row[i] = (row[i] + a) & 255
            elif filt == 2:
                row[i] = (row[i] + b) & 255
            elif filt == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 255
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        per_byte = 8 // depth
        for x in range(w):
            byte = row[x // per_byte]
            shift = 8 - depth * (x % per_byte + 1)
            used.add((byte >> shift) & ((1 << depth) - 1))
        prior = row
    info["used"] = used
    return info


def check(folder):
    """Every picture must exist at 1x, 2x and 3x with the right size, be an indexed PNG with
    no more colours than allowed, and have binary transparency with some of each."""
    problems = []
    for name, _, width, height, _, colours in sources():
        for suffix, scale in (("", 1), ("@2x", 2), ("@3x", 3)):
            path = os.path.join(folder, f"{name}{suffix}.png")
            try:
                info = read_png(path)
            except (OSError, ValueError, zlib.error) as e:
                problems.append(f"{path}: {e}")
                continue
            where = os.path.basename(path)
            if (info.get("width"), info.get("height")) != (width * scale, height * scale):
                problems.append(f"{where}: size {info.get('width')}x{info.get('height')}")
            if info.get("colour") != 3:
                problems.append(f"{where}: not an indexed PNG (colour type {info.get('colour')})")
                continue
            if info["palette"] > colours:
                problems.append(f"{where}: {info['palette']} palette entries, at most {colours}")
            alpha = info["alpha"]
            if any(a not in (0, 255) for a in alpha):
                problems.append(f"{where}: partial transparency in the palette")
            clear = {i for i, a in enumerate(alpha) if a == 0}
            used = info["used"]
            if not used & clear:
                problems.append(f"{where}: no transparent pixels")
            if not used - clear:
                problems.append(f"{where}: no opaque pixels")
            if colours <= 16 and info["depth"] > 4:
                problems.append(f"{where}: bit depth {info['depth']} for at most 16 colours")
    for p in problems:
        print("check:", p, file=sys.stderr)
    return not problems


def read_rgba_alpha(path):
    """The header fields of a PNG and, for an 8-bit RGBA one, how many of its pixels are
    fully transparent ("clear"), fully opaque ("solid") and in between ("partial")."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError("not a PNG file")
    at, packed, info = 8, [], {}
    while at < len(data):
        size, kind = struct.unpack(">I4s", data[at : at + 8])
        chunk = data[at + 8 : at + 8 + size]
        at += size + 12
        if kind == b"IHDR":
            w, h, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", chunk)
            info.update(width=w, height=h, depth=depth, colour=colour, interlace=interlace)
        elif kind == b"IDAT":
            packed.append(chunk)
        elif kind == b"IEND":
            break
    if info.get("colour") != 6 or info.get("depth") != 8 or info.get("interlace"):
        return info
    w, h, bpp = info["width"], info["height"], 4
    stride = w * bpp
    raw = zlib.decompress(b"".join(packed))
    counts = {"clear": 0, "solid": 0, "partial": 0}
    prior = bytearray(stride)
    for y in range(h):
        row_at = y * (stride + 1)
        filt, row = raw[row_at], bytearray(raw[row_at + 1 : row_at + 1 + stride])
        for i in range(stride):  # filters work on the byte one pixel (four bytes) back
            a = row[i - bpp] if i >= bpp else 0
            b, c = prior[i], prior[i - bpp] if i >= bpp else 0
            if filt == 1:
                row[i] = (row[i] + a) & 255
            elif filt == 2:
                row[i] = (row[i] + b) & 255
            elif filt == 3:
                row[i] = (row[i] + ((a + b) >> 1)) & 255
            elif filt == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                row[i] = (row[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        for alpha in row[3::4]:
            counts["clear" if alpha == 0 else "solid" if alpha == 255 else "partial"] += 1
        prior = row
    info.update(counts)
    return info


def check_theme(folder):
    """Every theme icon must exist at its size as an 8-bit RGBA PNG, with a transparent
    background around an opaque drawing."""
    problems = []
    for size in THEME_SIZES:
        path = os.path.join(folder, theme_file(size))
        where = os.path.basename(path)
        try:
            info = read_rgba_alpha(path)
        except (OSError, ValueError, zlib.error) as e:
            problems.append(f"{path}: {e}")
            continue
        if (info.get("width"), info.get("height")) != (size, size):
            problems.append(f"{where}: size {info.get('width')}x{info.get('height')}")
        if (info.get("colour"), info.get("depth")) != (6, 8):
            problems.append(
                f"{where}: not an 8-bit RGBA PNG (colour type {info.get('colour')}, "
                f"bit depth {info.get('depth')})"
            )
            continue
        if info.get("interlace"):
            problems.append(f"{where}: interlaced")
            continue
        if not info["clear"]:
            problems.append(f"{where}: no transparent background")
        if not info["solid"]:
            problems.append(f"{where}: no opaque pixels")
    for p in problems:
        print("check-theme:", p, file=sys.stderr)
    return not problems


def main(argv):
    if len(argv) == 3 and argv[1] == "svg":
        write_svgs(argv[2])
        return 0
    if len(argv) == 3 and argv[1] == "check":
        return 0 if check(argv[2]) else 1
    if len(argv) == 2 and argv[1] == "theme":
        list_theme()
        return 0
    if len(argv) == 3 and argv[1] == "check-theme":
        return 0 if check_theme(argv[2]) else 1
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
