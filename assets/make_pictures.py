#!/usr/bin/env python3
"""Draws the program's own raster pictures with Pillow.

    images/qelvi-256.png, images/qelvi-48.png   the program mark (same shapes as qelvi.svg)
    images/cover.jpg        start-up cover, a dusk landscape with room for the caption
    images/background.jpg   main-window background, soft and low in contrast
    images/runner.jpg       test-runner background, light enough for dark text
    images/hand.png         32 x 32 pointing hand for links (hot spot at 11, 1)
    shipped/nosars.gif      the About box's little bouncing heart

Everything is drawn at a larger scale and reduced, for smooth edges. Random touches
use a fixed start value so a rerun gives the same files:
    python3 assets/make_pictures.py
"""
import math
import random
from pathlib import Path

from PIL import Image, ImageChops, ImageDraw, ImageFilter

HERE = Path(__file__).resolve().parent
IMAGES = HERE / "images"
SHIPPED = HERE / "shipped"


# ---------------------------------------------------------------- helpers

def hex_rgb(h):
    h = h.lstrip("#")
    return tuple(int(h[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def ramp(stops, t):
    """Colour at t on a list of (position, colour) stops."""
    for (p0, c0), (p1, c1) in zip(stops, stops[1:]):
        if t <= p1:
            return mix(c0, c1, 0 if p1 == p0 else (t - p0) / (p1 - p0))
    return stops[-1][1]


def vertical_gradient(size, stops):
    w, h = size
    img = Image.new("RGB", size)
    d = ImageDraw.Draw(img)
    for y in range(h):
        d.line([(0, y), (w, y)], fill=ramp(stops, y / (h - 1)))
    return img


def cubic(p0, p1, p2, p3, steps=40):
    pts = []
    for i in range(steps + 1):
        t = i / steps
        u = 1 - t
        pts.append((u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0],
                    u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]))
    return pts


def heart_points(cx, cy, scale):
    """The heart of qelvi.svg (drawn there around 128, 128), moved and scaled."""
    segments = [
        ((128, 212), (62, 168), (34, 130), (44, 94)),
        ((44, 94), (53, 61), (98, 50), (128, 86)),
        ((128, 86), (158, 50), (203, 61), (212, 94)),
        ((212, 94), (222, 130), (194, 168), (128, 212)),
    ]
    pts = []
    for seg in segments:
        pts += cubic(*seg)[:-1]
    return [(cx + (x - 128) * scale, cy + (y - 128) * scale) for x, y in pts]


def thick_line(draw, pts, width, fill):
    draw.line(pts, fill=fill, width=round(width), joint="curve")
    r = width / 2
    for x, y in (pts[0], pts[-1]):
        draw.ellipse([x - r, y - r, x + r, y + r], fill=fill)


def grain(img, amount=3, start=7):
    """A faint even noise, so that wide gradients do not band in JPEG."""
    rnd = random.Random(start)
    noise = Image.new("L", img.size)
    noise.putdata([128 + rnd.randint(-amount, amount) for _ in range(img.size[0] * img.size[1])])
    noise = Image.merge("RGB", (noise, noise, noise))
    return ImageChops.add(img, noise, scale=1.0, offset=-128)


def soft_blobs(img, blobs, blur):
    """Paints large blurred discs (x, y, radius, colour, opacity) over img."""
    for x, y, r, colour, alpha in blobs:
        layer = Image.new("RGB", img.size, colour)
        mask = Image.new("L", img.size, 0)
        ImageDraw.Draw(mask).ellipse([x - r, y - r, x + r, y + r], fill=alpha)
        img = Image.composite(layer, img, mask.filter(ImageFilter.GaussianBlur(blur)))
    return img


# ---------------------------------------------------------------- program mark

def program_mark(px):
    k = 4 * px / 256  # drawn four times larger, then reduced
    size = 4 * px
    ground = vertical_gradient((size, size), [(0, hex_rgb("#34b3a3")), (1, hex_rgb("#1f7f74"))])
    mask = Image.new("L", (size, size), 0)
    ImageDraw.Draw(mask).rounded_rectangle([8 * k, 8 * k, 248 * k, 248 * k], radius=52 * k,
                                           fill=255)
    img = Image.new("RGBA", (size, size), (0, 0, 0, 0))
    img.paste(ground, (0, 0), mask)

    heart = [(x * k, y * k) for x, y in heart_points(128, 128, 1.0)]
    fill = vertical_gradient((size, size), [(0.2, hex_rgb("#f58a6a")), (0.85, hex_rgb("#e2574a"))])
    d = ImageDraw.Draw(img)
    d.polygon(heart, fill="white")
    d.line(heart + [heart[0]], fill="white", width=round(10 * k), joint="curve")
    inner = Image.new("L", (size, size), 0)
    ImageDraw.Draw(inner).polygon(heart, fill=255)
    inner = inner.filter(ImageFilter.MinFilter(2 * round(2.5 * k) + 1))
    img.paste(fill, (0, 0), inner)
    thick_line(d, [(88 * k, 126 * k), (117 * k, 155 * k), (170 * k, 100 * k)], 20 * k, "white")
    return img.resize((px, px), Image.LANCZOS)


# ---------------------------------------------------------------- backgrounds

W, H = 1024, 768


def ridge(rnd, base, amp, waves):
    """Heights of a gentle hill line across the picture."""
    phases = [rnd.uniform(0, 2 * math.pi) for _ in waves]
    return [base + sum(a * math.sin(x / wl * 2 * math.pi + ph)
                       for (a, wl), ph in zip(waves, phases)) * amp
            for x in range(W + 1)]


def cover():
    rnd = random.Random(1024)
    sky = [(0.0, hex_rgb("#1f2b57")), (0.38, hex_rgb("#4b3f7a")), (0.62, hex_rgb("#a0577f")),
           (0.78, hex_rgb("#e27d6f")), (0.9, hex_rgb("#f7b377")), (1.0, hex_rgb("#f9c98a"))]
    img = vertical_gradient((W, H), sky)

    # A few faint stars, kept out of the middle band where the caption goes.
    d = ImageDraw.Draw(img)
    for _ in range(70):
        x, y = rnd.uniform(0, W), rnd.uniform(0, 300)
        if 220 < x < 800 and 60 < y < 260:
            continue
        r = rnd.choice([0.8, 1.0, 1.3])
        d.ellipse([x - r, y - r, x + r, y + r], fill=mix(hex_rgb("#fff6df"), sky[1][1], 0.45))

    # The low sun and its glow.
    glow = Image.new("L", (W, H), 0)
    ImageDraw.Draw(glow).ellipse([560, 430, 900, 770], fill=150)
    img = Image.composite(Image.new("RGB", (W, H), hex_rgb("#ffd9a0")), img,
                          glow.filter(ImageFilter.GaussianBlur(70)))
    ImageDraw.Draw(img).ellipse([680, 530, 780, 630], fill=hex_rgb("#fff0c8"))

    # Hills, far to near, each a little darker and crisper.
    layers = [
        (520, 30, [(1.0, 520), (0.5, 230)], "#b06b86", 4),
        (575, 34, [(1.0, 610), (0.4, 170)], "#7f4f78", 3),
        (640, 40, [(1.0, 700), (0.35, 260)], "#553e68", 2),
        (705, 30, [(1.0, 800), (0.3, 300)], "#34294a", 1),
    ]
    for base, amp, waves, colour, blur in layers:
        heights = ridge(rnd, base, amp, waves)
        mask = Image.new("L", (W, H), 0)
        ImageDraw.Draw(mask).polygon([(x, heights[x]) for x in range(W + 1)] + [(W, H), (0, H)],
                                     fill=255)
        img = Image.composite(Image.new("RGB", (W, H), hex_rgb(colour)), img,
                              mask.filter(ImageFilter.GaussianBlur(blur)))
    return grain(img)


def background():
    img = vertical_gradient((W, H), [(0, hex_rgb("#f4eee6")), (1, hex_rgb("#ebe2d7"))])
    img = soft_blobs(img, [
        (180, 160, 260, hex_rgb("#f6e2d2"), 170),
        (820, 220, 300, hex_rgb("#e2ece7"), 160),
        (620, 640, 330, hex_rgb("#efe4ee"), 150),
        (120, 660, 200, hex_rgb("#e6ebf1"), 140),
    ], 90)
    return grain(img, 2)


def runner():
    img = vertical_gradient((W, H), [(0, hex_rgb("#fbfcfd")), (1, hex_rgb("#eef4f6"))])
    rnd = random.Random(768)
    for base, colour in ((610, "#e3f0ec"), (660, "#dae9f1"), (715, "#d3e7e1")):
        heights = ridge(rnd, base, 22, [(1.0, 900), (0.4, 330)])
        mask = Image.new("L", (W, H), 0)
        ImageDraw.Draw(mask).polygon([(x, heights[x]) for x in range(W + 1)] + [(W, H), (0, H)],
                                     fill=255)
        img = Image.composite(Image.new("RGB", (W, H), hex_rgb(colour)), img,
                              mask.filter(ImageFilter.GaussianBlur(3)))
    img = soft_blobs(img, [(900, 90, 160, hex_rgb("#fdf1e2"), 150)], 60)
    return grain(img, 2)


# ---------------------------------------------------------------- pointing hand

def hand():
    s = 8  # drawing scale
    outline = 1.25

    def shapes(d, grow, fill):
        g = grow
        box = lambda x0, y0, x1, y1, r: d.rounded_rectangle(  # noqa: E731
            [(x0 - g) * s, (y0 - g) * s, (x1 + g) * s, (y1 + g) * s], radius=(r + g) * s, fill=fill)
        box(9, 0.8, 14.2, 17, 2.6)        # the pointing finger
        box(14, 10.5, 18.2, 19, 2.1)      # folded fingers
        box(18, 11.5, 22.2, 20, 2.1)
        box(22, 13, 26, 21, 2.0)
        box(7.5, 15, 26, 27, 4)           # palm
        d.polygon([((x - g * dx) * s, (y - g * dy) * s) for x, y, dx, dy in
                   ((9, 16.5, 0, 1), (4.5, 13.5, 0.6, 1), (2.5, 15.5, 1, 0), (8, 23.5, 0, -1))],
                  fill=fill)                # thumb
        box(10, 26, 24, 31, 1)            # cuff

    mask_out = Image.new("L", (32 * s, 32 * s), 0)
    shapes(ImageDraw.Draw(mask_out), outline, 255)
    body = Image.new("L", (32 * s, 32 * s), 0)
    shapes(ImageDraw.Draw(body), 0, 255)

    img = Image.new("RGBA", (32 * s, 32 * s), (0, 0, 0, 0))
    img.paste((30, 30, 30, 255), (0, 0), mask_out)
    img.paste((255, 255, 255, 255), (0, 0), body)
    d = ImageDraw.Draw(img)
    ink = (30, 30, 30, 255)
    for x, y0, y1 in ((14.1, 13.5, 19), (18.1, 14.5, 19.5), (22.1, 15.5, 20.5)):
        d.line([(x * s, y0 * s), (x * s, y1 * s)], fill=ink, width=round(0.9 * s))
    d.line([(10 * s, 26 * s), (24 * s, 26 * s)], fill=ink, width=round(1.1 * s))
    d.rectangle([10.3 * s, 26.6 * s, 23.7 * s, 30.4 * s], fill=(120, 170, 220, 255))
    return img.resize((32, 32), Image.LANCZOS)


# ---------------------------------------------------------------- animation

def nosars_frames(count=14):
    w, h, k = 90, 96, 4
    card = vertical_gradient((w * k, h * k), [(0, hex_rgb("#eaf4fb")), (0.8, hex_rgb("#fdf3e7")),
                                              (1, hex_rgb("#f6e3cf"))])
    frames = []
    ground_y = 84 * k
    for i in range(count):
        t = i / count
        lift = abs(math.sin(math.pi * t))                 # 0 on the ground, 1 at the top
        squash = max(0.0, 1 - lift * 4) * 0.16             # flattened while touching down
        img = card.copy()
        d = ImageDraw.Draw(img)
        # Shadow: wide and dark on the ground, small and pale in the air.
        sw = (24 - 10 * lift) * k
        d.ellipse([45 * k - sw, ground_y - 2.5 * k, 45 * k + sw, ground_y + 2.5 * k],
                  fill=mix(hex_rgb("#c9b6a6"), hex_rgb("#f6e3cf"), lift * 0.7))
        shape = heart_points(0, 0, 1.0)               # around the origin, svg units
        low = max(y for _, y in shape)
        unit = 38 * k / 150                               # the heart is 38 pixels tall
        sx, sy = unit * (1 + squash), unit * (1 - squash)
        bottom = ground_y - 2 * k - lift * 36 * k
        pts = [(45 * k + x * sx, bottom + (y - low) * sy) for x, y in shape]
        d.polygon(pts, fill=hex_rgb("#e2574a"))
        d.line(pts + [pts[0]], fill=hex_rgb("#b8413a"), width=k, joint="curve")
        # A highlight on the upper left lobe.
        hx, hy = 45 * k - 48 * sx, bottom + (-40 - low) * sy
        d.ellipse([hx - 9 * sx, hy - 12 * sy, hx + 9 * sx, hy + 12 * sy], fill=hex_rgb("#f7a08a"))
        # Two sparkles that twinkle at the top of the jump.
        if lift > 0.7:
            for cx, cy in ((18, 22), (72, 30)):
                r = (lift - 0.7) / 0.3 * 4 * k
                c = hex_rgb("#f4b942")
                d.polygon([(cx * k, cy * k - r), (cx * k + r / 3, cy * k), (cx * k, cy * k + r),
                           (cx * k - r / 3, cy * k)], fill=c)
                d.polygon([(cx * k - r, cy * k), (cx * k, cy * k - r / 3), (cx * k + r, cy * k),
                           (cx * k, cy * k + r / 3)], fill=c)
        frames.append(img.resize((w, h), Image.LANCZOS))
    return frames


def save_gif(frames, path):
    palette = frames[len(frames) // 2].quantize(colors=128, method=Image.MEDIANCUT)
    paletted = [f.quantize(palette=palette, dither=Image.Dither.NONE) for f in frames]
    paletted[0].save(path, save_all=True, append_images=paletted[1:], duration=70, loop=0,
                     optimize=False, disposal=1)


def main():
    IMAGES.mkdir(exist_ok=True)
    SHIPPED.mkdir(exist_ok=True)
    program_mark(256).save(IMAGES / "qelvi-256.png", optimize=True)
    program_mark(48).save(IMAGES / "qelvi-48.png", optimize=True)
    cover().save(IMAGES / "cover.jpg", quality=88, optimize=True, progressive=True)
    background().save(IMAGES / "background.jpg", quality=85, optimize=True, progressive=True)
    runner().save(IMAGES / "runner.jpg", quality=85, optimize=True, progressive=True)
    hand().save(IMAGES / "hand.png", optimize=True)
    save_gif(nosars_frames(), SHIPPED / "nosars.gif")


if __name__ == "__main__":
    main()
