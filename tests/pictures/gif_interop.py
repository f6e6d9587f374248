"""Independent GIF readers decode what the GIF writer, meshorbit and meshturn write.

usage: gif_interop.py bin_dir gifsample cube.stl

Pillow decodes every image and must give the expected pixels; giflib (gif2rgb) and
gifsicle, where installed, must read the files without complaint and agree with it.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

try:
    from PIL import Image
except ImportError:
    sys.exit(77)

BIN, SAMPLE, CUBE = sys.argv[1], sys.argv[2], sys.argv[3]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def frames(path):
    """Every frame of a GIF as an RGB image, through Pillow."""
    im = Image.open(path)
    out = []
    for i in range(im.n_frames):
        im.seek(i)
        out.append(im.convert("RGB"))
    return im, out


def giflib_agrees(path, last, box=None):
    """gif2rgb paints every image's indices on one screen and colours them all with the
    last image's table: within the last image, the result is the last frame."""
    if shutil.which("gif2rgb") is None:
        return
    with tempfile.TemporaryDirectory() as d:
        out = os.path.join(d, "out.rgb")
        r = subprocess.run(["gif2rgb", "-1", "-o", out, path], capture_output=True)
        check(r.returncode == 0, f"gif2rgb reads {path}: {r.stderr.decode()}")
        if r.returncode == 0:
            screen = Image.frombytes("RGB", last.size, raw(out))
            if box is not None:
                screen, last = screen.crop(box), last.crop(box)
            check(screen.tobytes() == last.tobytes(), f"gif2rgb and Pillow agree on {path}")


def gifsicle_info(path):
    """Images and screen size as gifsicle reports them, with any complaint."""
    if shutil.which("gifsicle") is None:
        return None
    r = subprocess.run(["gifsicle", "--info", path], capture_output=True, text=True)
    check(r.returncode == 0 and r.stderr == "", f"gifsicle reads {path}: {r.stderr}")
    first = r.stdout.splitlines()[0].split()
    screen = [l for l in r.stdout.splitlines() if "logical screen" in l][0].split()[-1]
    # gifsicle decodes every image when asked to rewrite it without compression tricks.
    r2 = subprocess.run(["gifsicle", "--no-warnings", "-U", path, "-o", os.devnull], capture_output=True, text=True)
    check(r2.returncode == 0, f"gifsicle decodes {path}: {r2.stderr}")
    return int(first[2]), tuple(int(v) for v in screen.split("x"))


def raw(path):
    with open(path, "rb") as f:
        return f.read()


def sample_files(d):
    subprocess.run([SAMPLE, d], check=True)

    for name, size in (("noise", (301, 203)), ("flat", (1500, 1200))):
        path = os.path.join(d, name + ".gif")
        im, fr = frames(path)
        check(im.size == size and im.n_frames == 1, f"{name}: size {im.size}")
        im.seek(0)
        # A grey table: Pillow gives the indices as grey levels (mode L) or as they are (P).
        check(im.mode in ("P", "L") and im.tobytes() == raw(os.path.join(d, name + ".idx")), f"{name}: indices")
        check(fr[0].tobytes() == bytes(v for v in raw(os.path.join(d, name + ".idx")) for _ in range(3)),
              f"{name}: grey colours")
        giflib_agrees(path, fr[0])
        info = gifsicle_info(path)
        check(info is None or info == (1, size), f"{name}: gifsicle sees {info}")

    path = os.path.join(d, "exact.gif")
    _, fr = frames(path)
    check(fr[0].tobytes() == raw(os.path.join(d, "exact.rgb")), "exact: 256 colours kept")
    giflib_agrees(path, fr[0])

    # Reduced: every colour drawn must be the pixel-weighted mean of what it stands for.
    path = os.path.join(d, "many.gif")
    im, fr = frames(path)
    im.seek(0)
    index = im.tobytes()
    want = raw(os.path.join(d, "many.rgb"))
    got = fr[0].tobytes()
    sums = {}
    for i, k in enumerate(index):
        s = sums.setdefault(k, [0, 0, 0, 0])
        for c in range(3):
            s[c] += want[3 * i + c]
        s[3] += 1
    means = {k: bytes(int(s[c] / s[3] + 0.5) for c in range(3)) for k, s in sums.items()}
    check(250 <= len(sums) <= 256, f"many: {len(sums)} colours")
    check(all(got[3 * i:3 * i + 3] == means[k] for i, k in enumerate(index)), "many: weighted means")
    giflib_agrees(path, fr[0])

    # Images at offsets: each one's rectangle of the screen.
    path = os.path.join(d, "frames.gif")
    im, fr = frames(path)
    check(im.n_frames == 3 and im.size == (40, 30), f"frames: {im.n_frames} of {im.size}")
    grey = lambda b: bytes(v for v in b for _ in range(3))
    table = lambda b: bytes(c for v in b for c in (v, 255 - v, (7 * v) % 256))
    check(fr[0].tobytes() == table(raw(os.path.join(d, "frames-0.idx"))), "frames: the first")
    check(fr[1].crop((5, 7, 15, 13)).tobytes() == grey(raw(os.path.join(d, "frames-1.idx"))), "frames: at 5, 7")
    check(fr[2].crop((30, 20, 40, 30)).tobytes() == raw(os.path.join(d, "frames-2.rgb")), "frames: at 30, 20")
    giflib_agrees(path, fr[2], (30, 20, 40, 30))
    info = gifsicle_info(path)
    check(info is None or info == (3, (40, 30)), f"frames: gifsicle sees {info}")


def cube_colours():
    """The cube's side colours by outward normal, as 8-bit channels."""
    with open(CUBE, "rb") as f:
        data = f.read()
    n = struct.unpack_from("<I", data, 80)[0]
    sides = {}
    for i in range(n):
        rec = data[84 + 50 * i:134 + 50 * i]
        normal = struct.unpack_from("<3f", rec, 0)
        word = struct.unpack_from("<H", rec, 48)[0]
        colour = tuple(int(((word >> s) & 31) / 31 * 255 + 0.5) for s in (10, 5, 0))
        sides[tuple(round(v) for v in normal)] = colour
    return sides


def programs(d):
    sides = cube_colours()
    top = sides[(0, 0, 1)]
    gif = os.path.join(d, "orbit.gif")
    views = "0 90\n30 20 10 0 36\n"
    r = subprocess.run([os.path.join(BIN, "meshorbit"), CUBE, "-120", "1", "0", "255", "255", "255",
                        "0", "0", "0", "128", "128", "128", gif], input=views.encode(), capture_output=True)
    check(r.returncode == 0 and r.stderr == b"", f"meshorbit: {r.stderr}")
    im, fr = frames(gif)
    check(im.n_frames == 37 and im.size == (120, 120), f"meshorbit: {im.n_frames} frames of {im.size}")
    # From above: the top side, at full light, in the middle; background at the corners.
    check(fr[0].getpixel((60, 60)) == top, f"meshorbit: middle {fr[0].getpixel((60, 60))}, top side {top}")
    for f in fr:
        check(f.getpixel((0, 0)) == (255, 255, 255), "meshorbit: background in a corner")
    colours = {c for f in fr[1:] for _, c in f.getcolors(4096)}
    check((0, 0, 0) in colours, "meshorbit: the black box")
    giflib_agrees(gif, fr[-1])
    info = gifsicle_info(gif)
    check(info is None or info == (37, (120, 120)), f"meshorbit: gifsicle sees {info}")

    gif = os.path.join(d, "turn.gif")
    r = subprocess.run([os.path.join(BIN, "meshturn"), CUBE, "0.5", "0.5", "0.5", "0", "90", "50", "1", "0",
                        "0", "0", "0", "-1", "-1", "-1", "128", "128", "128", gif],
                       input=b"0 90 0 30 12\n1 1 0 45 8\n", capture_output=True)
    check(r.returncode == 0 and r.stderr == b"", f"meshturn: {r.stderr}")
    im, fr = frames(gif)
    check(im.n_frames == 20, f"meshturn: {im.n_frames} frames")
    w, h = im.size
    check(fr[0].getpixel((w // 2, h // 2)) == top, "meshturn: the top side in the middle")
    check(all(f.getpixel((0, 0)) == (0, 0, 0) for f in fr), "meshturn: background in a corner")
    giflib_agrees(gif, fr[-1])
    info = gifsicle_info(gif)
    check(info is None or info == (20, (w, h)), f"meshturn: gifsicle sees {info}")


with tempfile.TemporaryDirectory() as work:
    sample_files(work)
    programs(work)
if failures:
    print(len(failures), "failed")
    sys.exit(1)
print("all GIF files read back as written")
