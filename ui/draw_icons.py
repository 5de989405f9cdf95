#!/usr/bin/env python3
"""Draws the two programs' icons at the sizes Windows asks for beyond 16 and 32 pixels.

    ui/draw_icons.py            rewrites ui/duskpanel.ico and updater/renewick.ico

Windows shows a program's icon at 32 pixels at 100 % scaling, 40 at 125 %, 48 at 150 % and 64 at
200 % (and up to 256 in Explorer). An icon file holding only 16 and 32 is stretched there, and
looks blurred. The 16- and 32-pixel images of both files are kept as they are; the larger ones
are drawn here from the same design, anti-aliased by supersampling: Duskpanel's is a dark frame
around a gradient from light to dark blue, Renewick's a blue disc with a white download arrow.
Needs python3 and ImageMagick's convert.
"""
import os
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SIZES = (48, 64, 256)
SUPERSAMPLE = 4


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def rgb(hex_colour):
    return tuple(int(hex_colour[i:i + 2], 16) for i in (0, 2, 4))


def duskpanel(size):
    """Frame of a sixteenth of the size; inside, a gradient from left to right."""
    frame = size // 16
    inner = size - 2 * frame
    pixels = []
    for y in range(size):
        for x in range(size):
            if frame <= x < size - frame and frame <= y < size - frame:
                pixels.append(lerp(rgb("599FC7"), rgb("162832"), (x - frame) / (inner - 1)) + (255,))
            else:
                pixels.append(rgb("1E2846") + (255,))
    return pixels


def renewick_cover(u, v):
    """What covers a point of the 32-unit design: 'arrow', 'disc' or None."""
    if (u - 16) ** 2 + (v - 16) ** 2 > 15 ** 2:
        return None
    shaft = 13 <= u < 19 and 6 <= v < 16
    head = 16 <= v < 23.5 and abs(u - 16) <= 8 * (23.5 - v) / 7.5
    bar = 8 <= u < 24 and 25 <= v < 28
    return "arrow" if shaft or head or bar else "disc"


def renewick(size):
    """A disc shaded from top to bottom, a white arrow pointing down onto a bar."""
    pixels = []
    n = SUPERSAMPLE
    for y in range(size):
        disc = lerp(rgb("2793C5"), rgb("145C98"), y / (size - 1))
        for x in range(size):
            total = [0, 0, 0, 0]
            for sy in range(n):
                for sx in range(n):
                    u = (x + (sx + 0.5) / n) * 32 / size
                    v = (y + (sy + 0.5) / n) * 32 / size
                    cover = renewick_cover(u, v)
                    if cover:
                        colour = (255, 255, 255) if cover == "arrow" else disc
                        for i in range(3):
                            total[i] += colour[i]
                        total[3] += 1
            covered = total[3]
            if covered == 0:
                pixels.append((0, 0, 0, 0))
            else:
                pixels.append(tuple(round(c / covered) for c in total[:3]) +
                              (round(255 * covered / (n * n)),))
    return pixels


def write_png(pixels, size, path):
    raw = path + ".rgba"
    with open(raw, "wb") as f:
        f.write(bytes(channel for pixel in pixels for channel in pixel))
    subprocess.run(["convert", "-size", f"{size}x{size}", "-depth", "8", f"rgba:{raw}",
                    f"PNG32:{path}"], check=True)


def rebuild(icon, draw, work):
    kept = []
    for index in (0, 1):  # the 16- and 32-pixel images as they are
        path = os.path.join(work, f"kept{index}.png")
        subprocess.run(["convert", f"{icon}[{index}]", f"PNG32:{path}"], check=True)
        kept.append(path)
    drawn = []
    for size in SIZES:
        path = os.path.join(work, f"{os.path.basename(icon)}-{size}.png")
        write_png(draw(size), size, path)
        drawn.append(path)
    subprocess.run(["convert", *kept, *drawn, icon], check=True)


def main():
    with tempfile.TemporaryDirectory() as work:
        rebuild(os.path.join(ROOT, "ui", "duskpanel.ico"), duskpanel, work)
        rebuild(os.path.join(ROOT, "updater", "renewick.ico"), renewick, work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
