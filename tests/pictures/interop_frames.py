"""Animations as gifsicle (-O1 to -O3), ImageMagick (-layers optimize and OptimizePlus)
and Pillow write them, with every disposal method and transparency, and one written here
with images partly or wholly outside the logical screen. pictcrop's frames must be the
crops of the frames Pillow composes (ImageSequence) wherever Pillow's frame is opaque,
with the input's delays and loop count as gifsicle --info reports them, from a file and
through a pipe; pictunpack and pictanimate must put the frames back as Pillow composes
them."""
import os
import re
import struct
import sys
import tempfile

from gifcheck import CONVERT, Image, ImageDraw, ImageSequence, gif_bytes, need, np, run

bin_dir = sys.argv[1]
need(CONVERT, "gifsicle")


def tool(name):
    return os.path.join(bin_dir, name)


def composed(path):
    """Every frame as Pillow composes it, RGBA."""
    with Image.open(path) as im:
        return [np.asarray(frame.convert("RGBA")) for frame in ImageSequence.Iterator(im)]


def timing(path):
    info = run("gifsicle", "--info", path).stdout.decode()
    return re.findall(r"delay ([0-9.]+)s", info), re.findall(r"loop (forever|count \d+)", info)


def check_crop(src, d):
    frames = composed(src)
    data = open(src, "rb").read()
    w, h = struct.unpack("<HH", data[6:10])
    x1, y1, x2, y2 = 3, 2, w - 4, h - 3
    # The fill: what Pillow sets a frame back to for disposal 2 without transparency,
    # the global table's entry of the background index.
    fill = tuple(data[13 + 3 * data[11]:16 + 3 * data[11]]) if data[10] & 0x80 else (0, 0, 0)
    out = os.path.join(d, "crop.gif")
    args = [x1, y1, x2, y2, *fill]
    run(tool("pictcrop"), src, *args, out)
    assert run(tool("pictcrop"), "-", *args, "-", input=open(src, "rb").read()).stdout == open(out, "rb").read()
    ours = composed(out)
    assert len(ours) == len(frames), (src, len(ours), len(frames))
    compared = 0
    for i, (mine, theirs) in enumerate(zip(ours, frames)):
        theirs = theirs[y1:y2 + 1, x1:x2 + 1]  # Pillow shows an image beyond the screen too
        opaque = theirs[..., 3] == 255
        assert np.all(mine[..., 3] == 255), (src, i)
        bad = np.argwhere(opaque & np.any(mine[..., :3] != theirs[..., :3], axis=2))
        assert len(bad) == 0, (src, i, len(bad), bad[:3].tolist())
        compared += opaque.sum()
    # Not a comparison of nothing: the sprites over a transparent background cover
    # about a tenth of the screen.
    assert compared > 0.05 * len(frames) * (x2 - x1 + 1) * (y2 - y1 + 1), (src, compared)
    assert timing(out) == timing(src), (src, timing(out), timing(src))
    return len(frames)


def check_round_trip(src, d):
    folder = os.path.join(d, "frames")
    os.mkdir(folder)
    run(tool("pictunpack"), src, os.path.join(folder, "f%03d.gif"))
    out = os.path.join(d, "back.gif")
    run(tool("pictanimate"), folder, "-", 8, 65536, out)
    want, got = composed(src), composed(out)
    assert len(got) == len(want), (src, len(got), len(want))
    for i, (a, b) in enumerate(zip(want, got)):
        assert np.array_equal(a[..., 3] == 255, b[..., 3] == 255), (src, i)
        assert np.array_equal(a[a[..., 3] == 255], b[a[..., 3] == 255]), (src, i)


def scene(i, transparent=False):
    """Frame i of a moving sprite over a gradient (or over nothing)."""
    y, x = np.mgrid[0:70, 0:90]
    bg = np.stack([40 + 2 * x, 60 + 2 * y, np.full_like(x, 120)], axis=2).astype(np.uint8)
    im = Image.new("RGBA", (90, 70), (0, 0, 0, 0)) if transparent else Image.fromarray(bg)
    dr = ImageDraw.Draw(im)
    dr.ellipse([5 + 7 * i, 10, 25 + 7 * i, 30], fill=(250, 250, 20))
    dr.rectangle([40, 40 + i, 60, 50 + i], fill=(30, 30, 200))
    if i % 3 == 0:
        dr.rectangle([62, 45, 80, 60], fill=(200, 30, 30))
    return im


def beyond_the_screen(d):
    """Images on a 40 x 30 screen: one that fills it, then images partly or wholly outside
    it, and one larger than it."""
    rng = np.random.default_rng(21)
    images = [(left, top, rng.integers(0, 40, (h, w), dtype=np.uint8))
              for left, top, w, h in [(0, 0, 40, 30), (30, 20, 20, 15), (45, 5, 8, 8), (3, 40, 5, 5), (0, 0, 57, 41)]]
    path = os.path.join(d, "beyond-the-screen.gif")
    open(path, "wb").write(gif_bytes((40, 30), bytes(rng.integers(0, 256, 768, dtype=np.uint8)), images))
    return path


with tempfile.TemporaryDirectory() as d:
    sources = []
    sprite, clear = os.path.join(d, "sprite.gif"), os.path.join(d, "clear.gif")
    pngs = [os.path.join(d, "s%02d.png" % i) for i in range(10)]
    for i, p in enumerate(pngs):
        scene(i).convert("RGB").save(p)
    run(CONVERT, "-delay", 8, "-loop", 2, *pngs, "-colors", 64, sprite)
    for i, p in enumerate(pngs):
        scene(i, transparent=True).save(p)
    run(CONVERT, "-delay", 5, "-dispose", "Background", "-loop", 0, *pngs, clear)
    for name, make in [("gifsicle" + o, lambda b, t, o=o: ["gifsicle", o, b, "-o", t]) for o in ("-O1", "-O2", "-O3")] + \
            [("magick-" + h, lambda b, t, h=h: [CONVERT, b, "-layers", h, t]) for h in ("optimize", "OptimizePlus")]:
        for base in (sprite, clear):
            sources.append(os.path.join(d, "%s-%s" % (name, os.path.basename(base))))
            run(*make(base, sources[-1]))
    frames = [scene(i) for i in range(10)]
    for name, options in (("pillow.gif", dict(duration=80, loop=0)),
                          ("pillow-background.gif", dict(duration=[80, 90] * 5, loop=3, disposal=2))):
        sources.append(os.path.join(d, name))
        frames[0].save(sources[-1], save_all=True, append_images=frames[1:], **options)
    sources.append(beyond_the_screen(d))

    for src in sources:
        work = tempfile.mkdtemp(dir=d)
        count = check_crop(src, work)
        # Images off the screen are centred by pictanimate: not the same frames.
        if "beyond" not in src:
            check_round_trip(src, work)
        print("%-36s %2d frames: pictcrop%s agree with Pillow" % (
            os.path.basename(src), count, "" if "beyond" in src else ", pictunpack + pictanimate"))
