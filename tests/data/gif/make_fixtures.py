#!/usr/bin/env python3
"""Makes the GIF test pictures in this folder with ImageMagick's convert.

The source pixels come from a seeded random generator and are written as
PPM/PAM files, so every run makes the same pictures. Run from anywhere:
    python3 tests/data/gif/make_fixtures.py
"""
import os
import random
import subprocess
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def palette(n, rng):
    colours = set()
    while len(colours) < n:
        colours.add((rng.randrange(256), rng.randrange(256), rng.randrange(256)))
    return sorted(colours)


def write_ppm(path, w, h, pixels):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (w, h))
        f.write(bytes(c for p in pixels for c in p))


def write_pam(path, w, h, pixels):
    """RGBA pixels; alpha 0 is transparent."""
    with open(path, "wb") as f:
        f.write(b"P7\nWIDTH %d\nHEIGHT %d\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n" % (w, h))
        f.write(bytes(c for p in pixels for c in p))


def noise(w, h, colours, rng):
    return [rng.choice(colours) for _ in range(w * h)]


def blocks(w, h, colours, rng, size=4):
    """Flat rectangles: long runs, few codes."""
    cells = {}
    out = []
    for y in range(h):
        for x in range(w):
            key = (x // size, y // size)
            if key not in cells:
                cells[key] = rng.choice(colours)
            out.append(cells[key])
    return out


def convert(args, out):
    subprocess.run(["convert", *args, os.path.join(HERE, out)], check=True)


def main():
    rng = random.Random(4)
    tmp = tempfile.mkdtemp()

    def src(name, w, h, pixels, alpha=False):
        path = os.path.join(tmp, name + (".pam" if alpha else ".ppm"))
        (write_pam if alpha else write_ppm)(path, w, h, pixels)
        return path

    # Code sizes 2 to 8: exactly 2^k colours each.
    for k in range(1, 9):
        cols = palette(1 << k, rng)
        p = src("cs%d" % k, 23, 9, noise(23, 9, cols, rng))
        convert([p], "codesize_%d.gif" % k)

    # Interlaced pictures of heights 1, 3, 8 and 13.
    cols = palette(16, rng)
    for h in (1, 3, 8, 13):
        p = src("il%d" % h, 11, h, noise(11, h, cols, rng))
        convert([p, "-interlace", "GIF"], "interlaced_h%d.gif" % h)

    # 256 colours of noise: fills the 4096-entry table and clears many times.
    cols = palette(256, rng)
    p = src("full", 160, 120, noise(160, 120, cols, rng))
    convert([p], "table_full.gif")

    # A comment and, with the loop count, an application extension.
    cols = palette(8, rng)
    a = src("ca", 17, 6, noise(17, 6, cols, rng))
    b = src("cb", 17, 6, blocks(17, 6, cols, rng))
    convert(["-comment", "made for the reader's tests", "-loop", "0", "-delay", "7", a, b],
            "comment_loop.gif")

    # Frames with their own colour tables.
    a = src("la", 19, 7, noise(19, 7, palette(4, rng), rng))
    b = src("lb", 19, 7, noise(19, 7, palette(32, rng), rng))
    c = src("lc", 19, 7, noise(19, 7, palette(2, rng), rng))
    convert(["-delay", "5", a, b, c], "local_tables.gif")

    # An animation with disposal methods 0 to 3, delays and transparency.
    cols = palette(6, rng)
    frames = []
    for i in range(4):
        w, h = 12 + 2 * i, 8 + i
        px = blocks(w, h, cols, rng, size=3)
        px = [(r, g, b, 0 if (x + y + i) % 5 == 0 else 255)
              for y in range(h) for x in range(w) for (r, g, b) in [px[y * w + x]]]
        frames.append(src("an%d" % i, w, h, px, alpha=True))
    convert(["-dispose", "Undefined", "-delay", "10", frames[0],
             "-dispose", "None", "-delay", "20", "-page", "+2+1", frames[1],
             "-dispose", "Background", "-delay", "0", "-page", "+3+0", frames[2],
             "-dispose", "Previous", "-delay", "125", "-page", "+0+2", frames[3]],
            "animation.gif")

    # A banner: 576 x 74, 10 frames, flat shapes with some noise.
    cols = palette(64, rng)
    frames = []
    for i in range(10):
        px = blocks(576, 74, cols, rng, size=6 + i)
        px = [rng.choice(cols) if rng.random() < 0.05 else q for q in px]
        frames.append(src("banner%d" % i, 576, 74, px))
    convert(["-delay", "25", "-loop", "0", *frames], "banner.gif")

    # The banner control's disposal cases, in flat colours so that the
    # tests can name the pixels they expect.
    RED, BLUE, GREEN, YELLOW, WHITE = (255, 0, 0), (0, 0, 255), (0, 255, 0), (255, 255, 0), (255, 255, 255)
    CLEAR = (0, 0, 0, 0)

    def solid(w, h, colour):
        return [colour] * (w * h)

    def halves(w, h):
        """Left half red, right half blue."""
        return [RED if x < w // 2 else BLUE for y in range(h) for x in range(w)]

    def checker(w, h, a, b):
        return [a if (x + y) % 2 == 0 else b for y in range(h) for x in range(w)]

    def opaque(pixels):
        return [(r, g, b, 255) for (r, g, b) in pixels]

    # 20 x 10: frame 1 covers the screen; frame 2, small and opaque, asks
    # for what lay under it (disposal 3); frame 3 lies elsewhere.
    convert(["-dispose", "None", "-delay", "10", src("d3a", 20, 10, halves(20, 10)),
             "-dispose", "Previous", "-page", "20x10+2+3", src("d3b", 4, 4, solid(4, 4, GREEN)),
             "-dispose", "None", "-page", "20x10+14+3", src("d3c", 4, 4, solid(4, 4, YELLOW))],
            "disposal3.gif")

    # 20 x 10 over a red and blue checkerboard: an opaque green frame and a
    # white frame with transparent holes, both with disposal 2, then a
    # yellow frame elsewhere.
    holes = [WHITE + (255,) if (x + y) % 2 == 0 else CLEAR for y in range(4) for x in range(4)]
    convert(["-dispose", "None", "-delay", "10", src("d2a", 20, 10, checker(20, 10, RED, BLUE)),
             "-dispose", "Background", "-page", "20x10+2+3", src("d2b", 4, 4, solid(4, 4, GREEN)),
             "-dispose", "Background", "-page", "20x10+10+3", src("d2c", 4, 4, holes, alpha=True),
             "-dispose", "None", "-page", "20x10+17+7", src("d2d", 2, 2, solid(2, 2, YELLOW))],
            "disposal2.gif")
    # Background index 1: black, the unused second entry of the green
    # frame's own table, so that the background colour is no frame's.
    path = os.path.join(HERE, "disposal2.gif")
    with open(path, "rb") as f:
        d2 = bytearray(f.read())
    d2[11] = 1
    with open(path, "wb") as f:
        f.write(bytes(d2))

    # 8 x 6, frame 1 red with a transparent checkerboard of holes, then a
    # small opaque frame.
    first = [RED + (255,) if (x + y) % 2 == 0 else CLEAR for y in range(6) for x in range(8)]
    convert(["-dispose", "None", "-delay", "10", src("tfa", 8, 6, first, alpha=True),
             "-page", "8x6+1+1", src("tfb", 2, 2, opaque(solid(2, 2, BLUE)), alpha=True)],
            "transparent_first.gif")

    # Delays 0, 25 and 0 hundredths of a second.
    convert(["-delay", "0", src("dl0", 6, 4, solid(6, 4, RED)),
             "-delay", "25", src("dl1", 6, 4, solid(6, 4, GREEN)),
             "-delay", "0", src("dl2", 6, 4, solid(6, 4, BLUE))],
            "delays_0_25_0.gif")

    # A long animation: 300 full frames of 16 x 8, 100 ms each, frame i
    # showing colour (x + 2y + i) mod 16 of a 16-colour table the tests
    # recompute: colour k = (16k, 255 - 16k, 37k mod 256).
    ramp = [(16 * k, 255 - 16 * k, (37 * k) % 256) for k in range(16)]
    frames = [src("long%d" % i, 16, 8, [ramp[(x + 2 * y + i) % 16] for y in range(8) for x in range(16)])
              for i in range(300)]
    convert(["-delay", "10", "-loop", "0", *frames], "long_animation.gif")

    # Two frames, then an extension label the reader does not know.
    with open(os.path.join(HERE, "comment_loop.gif"), "rb") as f:
        good = f.read()
    assert good.endswith(b";")
    with open(os.path.join(HERE, "bad_extension.gif"), "wb") as f:
        f.write(good[:-1] + b"\x21\xF8\x01x\x00;")


if __name__ == "__main__":
    main()
