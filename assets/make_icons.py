#!/usr/bin/env python3
"""Writes the program's own SVG icons into assets/images/.

One flat style for all of them: a 32 x 32 grid, dark slate outlines 1.5 units wide
with round joins, white paper, and four accent colours. Run again after a change:
    python3 assets/make_icons.py
"""
from pathlib import Path

OUT = Path(__file__).resolve().parent / "images"

INK = "#2f3e4e"      # outlines
PAPER = "#ffffff"
TEAL = "#2a9d8f"
CORAL = "#e76f51"
GOLD = "#f4b942"
SKY = "#4f8fd6"
GREY = "#8c99a6"
HEART = "M16 27 C9 22 4.5 18 5 12.5 C5.4 8.6 9.6 6.4 13 8.6 C14.4 9.5 15.4 10.8 16 12 " \
        "C16.6 10.8 17.6 9.5 19 8.6 C22.4 6.4 26.6 8.6 27 12.5 C27.5 18 23 22 16 27 Z"

STROKE = f'stroke="{INK}" stroke-width="1.5" stroke-linejoin="round" stroke-linecap="round"'


def svg32(body: str) -> str:
    return ('<svg xmlns="http://www.w3.org/2000/svg" width="32" height="32" '
            'viewBox="0 0 32 32">\n' + body.strip() + "\n</svg>\n")


def sheet(x=6, y=3, w=18, h=24, fold=6) -> str:
    """A sheet of paper with a folded top-right corner."""
    r = x + w
    b = y + h
    return (f'<path d="M{x} {y} H{r - fold} L{r} {y + fold} V{b} H{x} Z" fill="{PAPER}" {STROKE}/>'
            f'<path d="M{r - fold} {y} V{y + fold} H{r}" fill="none" {STROKE}/>')


def lines(x1, x2, ys, colour=GREY) -> str:
    return "".join(f'<path d="M{x1} {y} H{x2}" stroke="{colour}" stroke-width="1.5" '
                   f'stroke-linecap="round"/>' for y in ys)


def badge(cx, cy, colour, glyph) -> str:
    """A round badge in the lower right corner carrying a white glyph."""
    return (f'<circle cx="{cx}" cy="{cy}" r="7" fill="{colour}" stroke="{PAPER}" stroke-width="1.5"/>'
            f'<path d="{glyph}" fill="none" stroke="{PAPER}" stroke-width="2" '
            f'stroke-linecap="round" stroke-linejoin="round"/>')


def plus(cx, cy, s=3.5):
    return f"M{cx - s} {cy} H{cx + s} M{cx} {cy - s} V{cy + s}"


def cross(cx, cy, s=3):
    return f"M{cx - s} {cy - s} L{cx + s} {cy + s} M{cx + s} {cy - s} L{cx - s} {cy + s}"


def tick(cx, cy, s=1.0):
    return (f"M{cx - 4 * s} {cy + 0.2 * s} L{cx - 1.2 * s} {cy + 3 * s} "
            f"L{cx + 4.2 * s} {cy - 3 * s}")


def pencil(angle=45, cx=20, cy=17) -> str:
    return (f'<g transform="rotate({angle} {cx} {cy})">'
            f'<rect x="{cx - 2.5}" y="{cy - 11}" width="5" height="16" fill="{GOLD}" {STROKE}/>'
            f'<path d="M{cx - 2.5} {cy + 5} L{cx} {cy + 10} L{cx + 2.5} {cy + 5} Z" '
            f'fill="#f6dcb4" {STROKE}/>'
            f'<rect x="{cx - 2.5}" y="{cy - 14}" width="5" height="3" fill="{CORAL}" {STROKE}/>'
            "</g>")


def door(colour=SKY) -> str:
    return (f'<path d="M5 4 H19 V28 H5 Z" fill="{PAPER}" {STROKE}/>'
            f'<path d="M5 4 L14 7 V30 L5 28 Z" fill="{colour}" {STROKE}/>'
            f'<circle cx="11.5" cy="17" r="1" fill="{PAPER}"/>')


def exit_arrow() -> str:
    return (f'<path d="M18 16 H29 M25 12 L29 16 L25 20" fill="none" stroke="{CORAL}" '
            'stroke-width="2.5" stroke-linecap="round" stroke-linejoin="round"/>')


def trash() -> str:
    return (f'<path d="M8 10 H24 L22.5 28 H9.5 Z" fill="{CORAL}" {STROKE}/>'
            f'<path d="M6 7.5 H26 M13 7.5 V5 H19 V7.5" fill="none" {STROKE}/>'
            f'<path d="M13 13.5 V24.5 M16 13.5 V24.5 M19 13.5 V24.5" stroke="{PAPER}" '
            'stroke-width="1.5" stroke-linecap="round"/>')


def disc(colour, glyph, width=3) -> str:
    return (f'<circle cx="16" cy="16" r="12.5" fill="{colour}" {STROKE}/>'
            f'<path d="{glyph}" fill="none" stroke="{PAPER}" stroke-width="{width}" '
            'stroke-linecap="round" stroke-linejoin="round"/>')


def arrow(points_left: bool, bar: bool) -> str:
    if points_left:
        tri = "M22 7 L9 16 L22 25 Z"
        edge = "M7 7 V25"
    else:
        tri = "M10 7 L23 16 L10 25 Z"
        edge = "M25 7 V25"
    out = f'<path d="{tri}" fill="{SKY}" {STROKE}/>'
    if bar:
        out += f'<path d="{edge}" stroke="{INK}" stroke-width="3" stroke-linecap="round"/>'
    return out


TOOLBAR = {
    # Two folders, one behind the other: the category list.
    "tbr-categories": (
        f'<path d="M3 9 H11 L13 11 H25 V24 H3 Z" fill="{GOLD}" {STROKE}/>'
        f'<path d="M7 13 H15 L17 15 H29 V28 H7 Z" fill="{TEAL}" {STROKE}/>'
        + lines(11, 25, [19.5, 23.5], PAPER)),
    "tbr-create": sheet() + lines(10, 18, [11, 15, 19]) + badge(23, 23, TEAL, plus(23, 23)),
    "tbr-edit": sheet() + lines(10, 18, [11, 15, 19]) + pencil(40, 21, 17),
    "tbr-delete": trash(),
    # A clipboard with ticked answers: taking a test.
    "tbr-take": (
        f'<rect x="6" y="5" width="20" height="24" rx="2" fill="{TEAL}" {STROKE}/>'
        f'<rect x="9" y="8" width="14" height="18" fill="{PAPER}" stroke="none"/>'
        f'<rect x="12" y="3" width="8" height="4" rx="1" fill="{GOLD}" {STROKE}/>'
        f'<path d="M11 13 L12.5 14.5 L15 11.5 M11 20 L12.5 21.5 L15 18.5" fill="none" '
        f'stroke="{CORAL}" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round"/>'
        + lines(17, 21, [13, 20])),
    # Two joined eighth notes.
    "tbr-music": (
        f'<path d="M12 22 V7 L26 4 V19" fill="none" stroke="{INK}" stroke-width="2" '
        'stroke-linejoin="round"/>'
        f'<path d="M12 7 L26 4 V8 L12 11 Z" fill="{INK}"/>'
        f'<ellipse cx="8.5" cy="23" rx="4" ry="3" transform="rotate(-20 8.5 23)" fill="{SKY}" {STROKE}/>'
        f'<ellipse cx="22.5" cy="20" rx="4" ry="3" transform="rotate(-20 22.5 20)" fill="{SKY}" '
        f'{STROKE}/>'),
    "tbr-exit": door() + exit_arrow(),
    # A clipboard with a rising line of totals: the results kept so far.
    "tbr-history": (
        f'<rect x="6" y="5" width="20" height="24" rx="2" fill="{SKY}" {STROKE}/>'
        f'<rect x="9" y="8" width="14" height="18" fill="{PAPER}" stroke="none"/>'
        f'<rect x="12" y="3" width="8" height="4" rx="1" fill="{GOLD}" {STROKE}/>'
        f'<path d="M11 23 L14 18 L17 20 L21 12" fill="none" stroke="{CORAL}" stroke-width="1.8" '
        'stroke-linecap="round" stroke-linejoin="round"/>'
        f'<circle cx="21" cy="12" r="1.4" fill="{CORAL}"/>'),
}

BUTTONS = {
    # A printer with a sheet coming out.
    "btn-print": (
        f'<path d="M10 4 H22 V11 H10 Z" fill="{PAPER}" {STROKE}/>'
        f'<rect x="4" y="11" width="24" height="11" rx="2" fill="{GREY}" {STROKE}/>'
        f'<path d="M9 18 H23 V29 H9 Z" fill="{PAPER}" {STROKE}/>'
        + lines(12, 20, [22, 25.5]) + f'<circle cx="24" cy="14.5" r="1.2" fill="{TEAL}"/>'),
    # A sheet with a red band: a document to keep.
    "btn-pdf": sheet() + f'<rect x="3" y="15" width="17" height="8" rx="1.5" fill="{CORAL}" {STROKE}/>'
        + lines(10, 18, [8, 11]) + lines(6.5, 16.5, [19], PAPER),
    # A sheet ruled into a table: rows for a spreadsheet.
    "btn-csv": sheet() + f'<path d="M9 11 H21 V24 H9 Z" fill="{TEAL}" fill-opacity="0.25" {STROKE}/>'
        f'<path d="M9 15.5 H21 M9 20 H21 M15 11 V24" fill="none" stroke="{INK}" stroke-width="1.2"/>',
    "btn-new": sheet() + badge(23, 23, GOLD, plus(23, 23)),
    # A name tag being rewritten.
    "btn-rename": (
        f'<path d="M3 11 H19 L23 16 L19 21 H3 Z" fill="{SKY}" {STROKE}/>'
        f'<circle cx="18.5" cy="16" r="1.3" fill="{PAPER}"/>'
        + lines(6.5, 14, [16], PAPER) + pencil(35, 23, 15)),
    "btn-ok": disc(TEAL, tick(16, 16, 1.3)),
    "btn-delete": trash(),
    "btn-exit": door() + exit_arrow(),
    "btn-cancel": disc(GREY, cross(16, 16, 5)),
    "btn-add": disc(SKY, plus(16, 16, 6.5)),
    # A flag on its pole: the work is finished.
    "btn-done": (
        f'<path d="M8 29 V4" stroke="{INK}" stroke-width="2" stroke-linecap="round"/>'
        f'<path d="M8 5 C13 3 17 8 26 5 V17 C17 20 13 15 8 17 Z" fill="{TEAL}" {STROKE}/>'
        f'<path d="{tick(16.5, 11, 0.8)}" fill="none" stroke="{PAPER}" stroke-width="1.8" '
        'stroke-linecap="round" stroke-linejoin="round"/>'),
    "btn-first": arrow(True, True),
    "btn-last": arrow(False, True),
    "btn-prev": arrow(True, False),
    "btn-next": arrow(False, False),
    # A star on a ribbon: the score bands.
    "btn-score": (
        f'<path d="M11 19 L7 29 L11 27 L13 30 L16 21 M21 19 L25 29 L21 27 L19 30 L16 21" '
        f'fill="{CORAL}" {STROKE}/>'
        f'<circle cx="16" cy="13" r="10" fill="{GOLD}" {STROKE}/>'
        f'<path d="M16 7 L17.8 10.9 L22 11.3 L18.8 14.1 L19.7 18.2 L16 16 L12.3 18.2 L13.2 14.1 '
        f'L10 11.3 L14.2 10.9 Z" fill="{PAPER}" stroke="{PAPER}" stroke-width="0.8" '
        'stroke-linejoin="round"/>'),
    "btn-help": (
        f'<circle cx="16" cy="16" r="12.5" fill="{SKY}" {STROKE}/>'
        f'<path d="M12 12.5 C12 9.5 14 8 16 8 C18.5 8 20.3 9.7 20.3 12 C20.3 15 16 15.3 16 18.5" '
        f'fill="none" stroke="{PAPER}" stroke-width="3" stroke-linecap="round"/>'
        f'<circle cx="16" cy="23.3" r="1.9" fill="{PAPER}"/>'),
    # A heart with a small sparkle: thank you.
    "btn-thanks": (
        f'<path d="{HEART}" fill="{CORAL}" {STROKE}/>'
        f'<path d="M10 12 C10 10.5 11 9.6 12.2 9.6" fill="none" stroke="{PAPER}" '
        'stroke-width="1.6" stroke-linecap="round"/>'
        f'<path d="M26 2.5 L27 5 L29.5 6 L27 7 L26 9.5 L25 7 L22.5 6 L25 5 Z" fill="{GOLD}" '
        f'stroke="{INK}" stroke-width="0.8" stroke-linejoin="round"/>'),
}

# The program's mark: a heart with a tick on a rounded teal square, 256 units wide.
# make_pictures.py draws the same shapes into the PNG exports.
ICON = """
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="ground" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#34b3a3"/>
      <stop offset="1" stop-color="#1f7f74"/>
    </linearGradient>
    <linearGradient id="heart" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#f58a6a"/>
      <stop offset="1" stop-color="#e2574a"/>
    </linearGradient>
  </defs>
  <rect x="8" y="8" width="240" height="240" rx="52" fill="url(#ground)"/>
  <path d="M128 212 C62 168 34 130 44 94 C53 61 98 50 128 86 C158 50 203 61 212 94 C222 130 194 168 128 212 Z"
        fill="url(#heart)" stroke="#ffffff" stroke-width="10" stroke-linejoin="round"/>
  <path d="M88 126 L117 155 L170 100" fill="none" stroke="#ffffff" stroke-width="20"
        stroke-linecap="round" stroke-linejoin="round"/>
</svg>
"""


def main():
    OUT.mkdir(exist_ok=True)
    (OUT / "qelvi.svg").write_text(ICON.lstrip(), encoding="utf-8")
    for name, body in {**TOOLBAR, **BUTTONS}.items():
        (OUT / f"{name}.svg").write_text(svg32(body), encoding="utf-8")


if __name__ == "__main__":
    main()
