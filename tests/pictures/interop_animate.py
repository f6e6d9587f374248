"""pictanimate joins GIFs of independent writers; Pillow and gifsicle read the result
with the expected frames, positions, pixels, delays and loop count."""
import os
import re
import subprocess
import sys
import tempfile

from gifcheck import CONVERT, Image, ImageDraw, frames, images, make_inputs, need, np, run, saved

bin_dir = sys.argv[1]
need(CONVERT, "gifsicle")
animate = os.path.join(bin_dir, "pictanimate")
unpack = os.path.join(bin_dir, "pictunpack")


def picture(w, h, i):
    im = Image.new("RGB", (w, h), (250, 250, 240))
    dr = ImageDraw.Draw(im)
    dr.ellipse([2, 2, w - 3, h - 3], fill=(30 * i, 100, 200 - 20 * i))
    dr.line([0, h - 1, w - 1, 0], fill=(255, 40 * i, 0), width=2)
    return im


def check(out, sources, delay, loop, uniform):
    want = [frames(s)[0] for s in sources]
    width = max(r[2] for r, _ in want)
    height = max(r[3] for r, _ in want)
    got = frames(out)
    assert len(got) == len(want), (len(got), len(want))
    for (rect, pixels), ((_, _, w, h), src) in zip(got, want):
        assert rect == ((width - w) // 2, (height - h) // 2, w, h), (rect, w, h)
        assert np.array_equal(pixels, src)
    with Image.open(out) as im:
        assert im.size == (width, height)
        # A count of 65536 is stored as 0: endless.
        assert im.info.get("loop") == ((loop & 0xFFFF) if loop else None), im.info
        for i in range(len(want)):
            im.seek(i)
            assert im.info.get("duration", 0) == 10 * delay, im.info
    info = run("gifsicle", "--info", out).stdout.decode()
    assert ("global color table" in info) == uniform, info
    assert ("local color table" in info) != uniform, info
    if loop:
        assert "loop count %d" % loop in info or (loop == 65536 and "loop forever" in info), info
    else:
        assert "loop" not in info, info
    delays = re.findall(r"delay ([0-9.]+)s", info)
    assert delays == (["%.2f" % (delay / 100)] * len(want) if delay else []), delays
    positions = re.findall(r"image #\d+ (\d+)x(\d+)(?: at (\d+),(\d+))?", info)
    assert len(positions) == len(want), info


with tempfile.TemporaryDirectory() as d:
    # Different tables: Pillow pictures of three sizes, one from ImageMagick, one written
    # with a colour resolution below its components.
    mixed = os.path.join(d, "mixed")
    os.mkdir(mixed)
    sizes = [(60, 40), (30, 50), (45, 21)]
    for i, (w, h) in enumerate(sizes):
        picture(w, h, i).save(os.path.join(mixed, "f%d.gif" % (i + 1)))
    src = os.path.join(d, "src.png")
    picture(51, 33, 4).save(src)
    run(CONVERT, src, "-colors", "30", os.path.join(mixed, "f10.gif"))
    names = ["f1.gif", "f2.gif", "f3.gif", "f10.gif"]
    out = os.path.join(d, "mixed.gif")
    run(animate, mixed, "--n", 25, 2, out)
    check(out, [os.path.join(mixed, n) for n in names], 25, 2, uniform=False)
    print("different tables: %d frames, local tables, delay 0.25 s, 2 loops" % len(names))

    # One table: an ImageMagick animation on one global colour map, split by pictunpack.
    same = os.path.join(d, "same")
    os.mkdir(same)
    srcs = saved(d, "s%d.png", [picture(40, 28, i) for i in range(3)])
    anim = os.path.join(d, "anim.gif")
    run(CONVERT, *srcs, "-colors", "64", "+map", anim)
    assert all(not (f & 0x80) for *_, f in images(anim)), images(anim)
    run(unpack, anim, os.path.join(same, "%d.gif"))
    out = os.path.join(d, "same.gif")
    run(animate, same, "-0.gif 1.gif 2.gif", 0, 65536, out)
    check(out, [os.path.join(same, "%d.gif" % i) for i in range(3)], 0, 65536, uniform=True)
    assert open(out, "rb").read(6) == b"GIF89a"
    out = os.path.join(d, "plain.gif")
    run(animate, same, "-", 0, 0, out)
    assert open(out, "rb").read(6) == b"GIF87a"
    check(out, [os.path.join(same, "%d.gif" % i) for i in range(3)], 0, 0, uniform=True)
    print("one table: 3 frames on a global table, endless loop; GIF87a without delay and loop")

    # Our own turntable, split and joined again: every frame has its own table.
    orbit = [p for p in make_inputs(d, bin_dir) if p.endswith("meshorbit.gif")]
    if orbit:
        views = os.path.join(d, "views")
        os.mkdir(views)
        run(unpack, orbit[0], os.path.join(views, "v%d.gif"))
        out = os.path.join(d, "orbit.gif")
        run(animate, views, "--rn", 4, 1, out)
        count = len(images(orbit[0]))
        check(out, [os.path.join(views, "v%d.gif" % i) for i in reversed(range(count))], 4, 1, uniform=False)
        print("meshorbit's turntable: %d frames joined in reverse, local tables" % count)
