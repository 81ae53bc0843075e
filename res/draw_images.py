#!/usr/bin/env python3
"""Draws Telvane's two pictures: the 32 x 32 dish-antenna icon and the 100 x 75 satellite.

Standard library only. Shapes are painted back to front with 4 x 4 supersampling, then written
as PNG. Run from this folder to regenerate dish-antenna.png and satellite.png.
"""
import math
import struct
import zlib

SAMPLES = 4


def write_png(path, width, height, pixels):
    """pixels: rows of (r, g, b, a) tuples."""
    raw = b"".join(b"\x00" + bytes(c for p in row for c in p) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
                  + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def render(width, height, shapes):
    """shapes: (inside(x, y) -> bool, (r, g, b, a)) painted in order over a transparent canvas."""
    rows = []
    for py in range(height):
        row = []
        for px in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    colour = (0, 0, 0, 0)
                    for inside, fill in shapes:
                        if inside(x, y):
                            colour = fill
                    alpha = colour[3] / 255
                    for i in range(3):
                        acc[i] += colour[i] * alpha
                    acc[3] += alpha
            n = SAMPLES * SAMPLES
            a = acc[3] / n
            rgb = [round(acc[i] / acc[3]) if acc[3] else 0 for i in range(3)]
            row.append((*rgb, round(a * 255)))
        rows.append(row)
    return rows


def ellipse(cx, cy, rx, ry, angle=0.0):
    c, s = math.cos(angle), math.sin(angle)

    def inside(x, y):
        dx, dy = x - cx, y - cy
        u, v = dx * c + dy * s, -dx * s + dy * c
        return (u / rx) ** 2 + (v / ry) ** 2 <= 1
    return inside


def polygon(points):
    def inside(x, y):
        hit = False
        j = len(points) - 1
        for i, (xi, yi) in enumerate(points):
            xj, yj = points[j]
            if (yi > y) != (yj > y) and x < (xj - xi) * (y - yi) / (yj - yi) + xi:
                hit = not hit
            j = i
        return hit
    return inside


def segment(x0, y0, x1, y1, width):
    def inside(x, y):
        dx, dy = x1 - x0, y1 - y0
        t = max(0.0, min(1.0, ((x - x0) * dx + (y - y0) * dy) / (dx * dx + dy * dy)))
        return math.hypot(x - (x0 + t * dx), y - (y0 + t * dy)) <= width / 2
    return inside


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def everywhere(x, y):
    return True


def dish_antenna():
    dark, grey, light = (40, 48, 60, 255), (150, 160, 172, 255), (226, 232, 238, 255)
    tilt = -0.75
    return render(32, 32, [
        (polygon([(13, 19), (19, 19), (22, 28), (10, 28)]), dark),     # pedestal
        (rect(6, 27.5, 26, 30.5), dark),                                # base
        (ellipse(14, 13, 11.5, 5.2, tilt), dark),                       # rim
        (ellipse(14, 13, 10.3, 4.1, tilt), light),                      # bowl
        (ellipse(12.8, 14.2, 7.5, 2.4, tilt), grey),                    # shading
        (segment(14, 13, 23, 5, 1.6), dark),                            # feed arm
        (ellipse(23.3, 4.7, 2.2, 2.2), (214, 64, 52, 255)),             # feed horn
        (segment(26, 2, 29.5, 5.5, 0.9), (214, 64, 52, 255)),           # signal
        (segment(27.5, 0.5, 31, 4, 0.9), (214, 64, 52, 160)),
    ])


def satellite():
    sky, star = (10, 16, 40, 255), (235, 235, 200, 255)
    stars = [(7, 9), (22, 5), (41, 12), (63, 6), (86, 10), (93, 28), (5, 33), (78, 40),
             (15, 52), (52, 4), (33, 27)]
    shapes = [(everywhere, sky)]
    shapes += [(ellipse(x, y, 0.7, 0.7), star) for x, y in stars]
    shapes += [(ellipse(50, 128, 90, 62), (38, 96, 170, 255)),          # the Earth's limb
               (ellipse(50, 128, 88, 60), (52, 120, 196, 255)),
               (ellipse(30, 72, 14, 4), (70, 150, 90, 255))]
    # A 1U cube seen from one corner: top, left and right faces.
    top = [(50, 14), (68, 22), (50, 30), (32, 22)]
    left = [(32, 22), (50, 30), (50, 52), (32, 44)]
    right = [(50, 30), (68, 22), (68, 44), (50, 52)]
    shapes += [(polygon(top), (196, 200, 206, 255)),
               (polygon(left), (44, 66, 132, 255)),
               (polygon(right), (60, 88, 168, 255))]
    # Solar cell gaps on the two side faces.
    for t in (1 / 3, 2 / 3):
        shapes.append((segment(32, 22 + 22 * t, 50, 30 + 22 * t, 0.8), (170, 176, 186, 255)))
        shapes.append((segment(50, 30 + 22 * t, 68, 22 + 22 * t, 0.8), (170, 176, 186, 255)))
    shapes.append((segment(41, 26, 41, 48, 0.8), (170, 176, 186, 255)))
    shapes.append((segment(59, 26, 59, 48, 0.8), (170, 176, 186, 255)))
    # Whip antennas and the beacon's call.
    shapes += [(segment(32, 44, 18, 58, 0.9), (230, 230, 230, 255)),
               (segment(68, 44, 84, 60, 0.9), (230, 230, 230, 255)),
               (segment(50, 14, 50, 3, 0.9), (230, 230, 230, 255))]
    for r in (6, 9):
        arc = lambda x, y, r=r: abs(math.hypot(x - 50, y - 3) - r) < 0.5 and y < 3 and x > 50
        shapes.append((arc, (255, 200, 80, 255)))
    return render(100, 75, shapes)


if __name__ == "__main__":
    write_png("dish-antenna.png", 32, 32, dish_antenna())
    write_png("satellite.png", 100, 75, satellite())
