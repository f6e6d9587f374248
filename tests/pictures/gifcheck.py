"""Shared by the picture interop scripts: input GIFs written by independent tools, a
plain block walk of GIF files, and each frame's own pixels as Pillow decodes them."""
import os
import struct
import subprocess
import sys

try:
    import numpy as np
    from PIL import Image, ImageDraw, ImageSequence
except ImportError:
    print("Pillow or numpy is not installed; skipped")
    sys.exit(77)

CONVERT = "/usr/bin/convert"


def need(*tools):
    for tool in tools:
        if not os.path.exists(tool) and subprocess.run(["which", tool], capture_output=True).returncode != 0:
            print(tool + " is not installed; skipped")
            sys.exit(77)


def images(path):
    """The image descriptors of a GIF: (left, top, width, height, flags) each."""
    data = open(path, "rb").read()
    flags = data[10]
    at = 13 + (3 << ((flags & 7) + 1) if flags & 0x80 else 0)
    found = []

    def blocks(at):
        while data[at] != 0:
            at += data[at] + 1
        return at + 1

    while data[at] != 0x3B:
        if data[at] == 0x21:
            at = blocks(at + 2)
        elif data[at] == 0x2C:
            left, top, w, h, f = struct.unpack("<HHHHB", data[at + 1:at + 10])
            found.append((left, top, w, h, f))
            at += 10 + (3 << ((f & 7) + 1) if f & 0x80 else 0)
            at = blocks(at + 1)
        else:
            raise ValueError("%s: byte %02x at %d" % (path, data[at], at))
    return found


def frames(path):
    """Every image's own pixels as RGB arrays, with its rectangle: Pillow composes the
    frames of an animation, so each frame is cut to its image's rectangle (the test
    inputs use no transparency)."""
    out = []
    rects = images(path)
    with Image.open(path) as im:
        for i, (left, top, w, h, _) in enumerate(rects):
            im.seek(i)
            rgb = np.asarray(im.convert("RGB"))
            out.append(((left, top, w, h), rgb[top:top + h, left:left + w]))
    return out


def gif_bytes(size, table, images):
    """A GIF89a file: screen size (w, h), a global table of 256 entries (768 bytes) and
    images as (left, top, indices array of h x w), written as 9-bit literal codes with a
    clear every 250 codes, so that the code width never grows."""
    out = bytearray(b"GIF89a" + struct.pack("<HHBBB", size[0], size[1], 0xF7, 0, 0) + table)
    for left, top, pixels in images:
        codes = []
        for i, p in enumerate(pixels.flatten()):
            codes += [256] * (i % 250 == 0) + [int(p)]
        bits = sum(c << 9 * i for i, c in enumerate(codes + [257]))
        data = bits.to_bytes((9 * len(codes) + 9 + 7) // 8, "little")
        out += b"," + struct.pack("<HHHHB", left, top, pixels.shape[1], pixels.shape[0], 0) + b"\x08"
        out += b"".join(bytes([len(data[i:i + 255])]) + data[i:i + 255] for i in range(0, len(data), 255))
        out += b"\0"
    return bytes(out + b";")


def run(*args, **kw):
    return subprocess.run([str(a) for a in args], check=True, capture_output=True, **kw)


def tetra_stl(path):
    """A binary STL of a tetrahedron with a colour on every face; returns the path."""
    corners = [(0, 0, 0), (1, 0, 0), (0, 1, 0), (0, 0, 1)]
    faces = [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)]
    colours = [0xFC00, 0x83E0, 0x801F, 0xFFE0]
    with open(path, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", len(faces)))
        for face, colour in zip(faces, colours):
            f.write(struct.pack("<3f", 0, 0, 0))
            for v in face:
                f.write(struct.pack("<3f", *corners[v]))
            f.write(struct.pack("<H", colour))
    return path


def saved(d, pattern, pictures):
    """Saves picture i as pattern % i in folder d; returns the paths."""
    paths = []
    for i, picture in enumerate(pictures):
        paths.append(os.path.join(d, pattern % i))
        picture.save(paths[-1])
    return paths


def orbit_gif(bin_dir, d, name, size, views):
    """meshorbit's rendering of tetra_stl, size pixels square, for the view lines given
    (bytes), as d/name; returns the path, or None where meshorbit is not built."""
    orbit = os.path.join(bin_dir, "meshorbit")
    if not os.path.exists(orbit):
        return None
    stl = tetra_stl(os.path.join(d, "tetra.stl"))
    p = os.path.join(d, name)
    subprocess.run([orbit, stl, "-%d" % size, "1", "40", "255", "255", "255", "0", "0", "0", "200", "200", "200", p],
                   input=views, capture_output=True, check=True)
    return p


def make_inputs(d, bin_dir):
    """GIFs of several writers and kinds; returns their paths."""
    need(CONVERT, "gifsicle")
    paths = []

    def frame(w, h, i, bg=(255, 255, 255)):
        im = Image.new("RGB", (w, h), bg)
        dr = ImageDraw.Draw(im)
        dr.ellipse([3 + 4 * i, 2 + i, 3 + 4 * i + w // 3, 2 + i + h // 3], fill=(200, 40 * i % 256, 30))
        dr.rectangle([w - 9, h - 7 - i, w - 3, h - 2], fill=(20, 120, 250 - 30 * i))
        for x in range(0, w, 7):
            im.putpixel((x, (x * 3 + i) % h), (x * 5 % 256, 255 - x % 256, (x * i) % 256))
        return im

    # Pillow: an animation with per-frame palettes, a grey picture, an interlaced one.
    p = os.path.join(d, "pillow-anim.gif")
    fr = [frame(61, 47, i) for i in range(4)]
    fr[0].save(p, save_all=True, append_images=fr[1:], duration=70, loop=0, optimize=False, disposal=1)
    paths.append(p)
    p = os.path.join(d, "pillow-grey.gif")
    Image.linear_gradient("L").resize((40, 30)).save(p)
    paths.append(p)
    p = os.path.join(d, "pillow-interlaced.gif")
    frame(33, 19, 2).convert("P", palette=Image.ADAPTIVE, colors=16).save(p, interlace=True)
    paths.append(p)
    # ImageMagick: many colours reduced, interlaced; and an animation with extensions.
    src = os.path.join(d, "src.png")
    frame(70, 50, 1).save(src)
    p = os.path.join(d, "magick.gif")
    run(CONVERT, src, "-colors", "200", "-interlace", "GIF", p)
    paths.append(p)
    srcs = saved(d, "src%d.png", [frame(44, 36, i) for i in range(3)])
    p = os.path.join(d, "magick-anim.gif")
    run(CONVERT, "-delay", "20", "-loop", "3", *srcs, p)
    paths.append(p)
    # gifsicle: inputs with different tables merged (local tables), interlaced, with a
    # comment, delays and a loop extension; and a crop that moves the image.
    # Frames of 200 colours each, too many for one table together.
    parts = []
    rng = np.random.default_rng(8)
    for i in range(3):
        s = os.path.join(d, "part%d.gif" % i)
        noise = rng.integers(0, 256, (24, 30, 3), dtype=np.uint8)
        noise[:, :, i] = 255 - 40 * i
        Image.fromarray(noise).convert("P", palette=Image.ADAPTIVE, colors=200).save(s)
        parts.append(s)
    p = os.path.join(d, "gifsicle-merged.gif")
    run("gifsicle", "--interlace", "--comment", "made for meshpix", "--delay", "15", "--loopcount=0", parts[0],
        "--position", "6,5", parts[1], parts[2], "-o", p)
    paths.append(p)
    p = os.path.join(d, "gifsicle-crop.gif")
    run("gifsicle", "--crop", "5,4+20x15", "--no-warnings", parts[2], "-o", p)
    paths.append(p)
    # Our own renderer's turntable of a coloured tetrahedron, when it is built.
    p = orbit_gif(bin_dir, d, "meshorbit.gif", 64, b"0 20 45 10 4\n")
    if p:
        paths.append(p)
    return paths
