"""GIFs as other encoders write them: a code table that stays full for thousands of
codes without a clear, minimum code sizes 9 to 11, images partly or wholly outside the
logical screen or larger than it. Pillow decodes each (it shows the part of an image on
the screen); pictstack must give every image whole, pictmeasure the rectangle of the
pixels on the screen, pictcrop the screen."""
import os
import subprocess
import sys
import tempfile

from gifcheck import Image, gif_bytes, lzw_data, need, np, run

try:
    import tifffile
except ImportError:
    print("tifffile is not installed; skipped")
    sys.exit(77)

bin_dir = sys.argv[1]
need("tiffcp")


def tool(name):
    return os.path.join(bin_dir, name)


rng = np.random.default_rng(20)
table = bytes(rng.integers(0, 256, 768, dtype=np.uint8))
table = table[:3] + b"\xff\xff\xff" + table[6:]  # index 1 is white


def noise(h, w, colours=200):
    """Runs of colours, long enough that strings grow, varied enough that the table fills."""
    runs = rng.integers(1, 6, h * w)
    values = rng.integers(0, colours, h * w)
    return np.repeat(values, runs)[:h * w].reshape(h, w).astype(np.uint8)


def on_screen(path, size, rects):
    """Each image's part on the screen, as Pillow composes the frames (no transparency:
    every image stands whole where it lies)."""
    parts = []
    with Image.open(path) as im:
        for i, (left, top, w, h) in enumerate(rects):
            im.seek(i)
            rgb = np.asarray(im.convert("RGB"))[:size[1], :size[0]]
            parts.append(rgb[top:top + h, left:left + w])
    return parts


def check_stack(path, truth, d):
    """pictstack writes every image whole: the colours of the indices written."""
    run(tool("pictstack"), path, os.path.join(d, "t%02d.tif"))
    for i, want in enumerate(truth):
        plain = os.path.join(d, "plain.tif")
        run("tiffcp", "-c", "none", os.path.join(d, "t%02d.tif" % i), plain)
        got = tifffile.imread(plain)
        got = np.repeat(got[..., None], 3, axis=2) if got.ndim == 2 else got
        assert np.array_equal(got, want), (path, i)


def check_measure(path, size, rects):
    """pictmeasure: the rectangle of the non-white pixels of every image on the screen."""
    found = None
    for (left, top, _, _), pixels in zip(rects, on_screen(path, size, rects)):
        ys, xs = np.nonzero(~np.all(pixels == 255, axis=2))
        if len(xs):
            b = (left + xs.min(), top + ys.min(), left + xs.max(), top + ys.max())
            found = b if found is None else (min(found[0], b[0]), min(found[1], b[1]),
                                             max(found[2], b[2]), max(found[3], b[3]))
    r = subprocess.run([tool("pictmeasure"), path, "255", "255", "255"], capture_output=True)
    if found is None:
        assert r.stderr == b"no area.\n", r
    else:
        assert tuple(int(v) for v in r.stdout.split()) == found, (path, r.stdout, found)


def check_crop(path, size, rect, d):
    """pictcrop of the whole screen of a one-image file: the image where it lies on the
    screen, the fill colour elsewhere; from a file and through a pipe."""
    left, top = rect[:2]
    part = on_screen(path, size, [rect])[0]
    want = np.empty((size[1], size[0], 3), dtype=np.uint8)
    want[:] = (1, 2, 3)
    want[top:top + part.shape[0], left:left + part.shape[1]] = part
    out = os.path.join(d, "crop.gif")
    args = [0, 0, size[0] - 1, size[1] - 1, 1, 2, 3]
    run(tool("pictcrop"), path, *args, out)
    piped = run(tool("pictcrop"), "-", *args, "-", input=open(path, "rb").read()).stdout
    assert piped == open(out, "rb").read()
    with Image.open(out) as im:
        assert np.array_equal(np.asarray(im.convert("RGB")), want), path


colours = np.frombuffer(table, dtype=np.uint8).reshape(256, 3)
with tempfile.TemporaryDirectory() as d:
    # Full tables run on, and large code sizes: one 240 x 180 image each.
    picture = noise(180, 240)
    for m, clear in ((8, False), (9, True), (11, True), (11, False)):
        path = os.path.join(d, "m%d%s.gif" % (m, "" if clear else "-full"))
        open(path, "wb").write(gif_bytes((240, 180), table, [(0, 0, picture, m, clear, b"")]))
        count = lzw_data(picture.flatten(), m, clear)[1]
        assert np.array_equal(np.asarray(Image.open(path)), picture)
        check_stack(path, [colours[picture]], d)
        check_measure(path, (240, 180), [(0, 0, 240, 180)])
        check_crop(path, (240, 180), (0, 0, 240, 180), d)
        print("code size %2d, %s: %d codes, Pillow, pictstack, pictmeasure and pictcrop agree"
              % (m, "cleared when full" if clear else "table full to the end", count))

    # Images beyond a 40 x 30 screen.
    cases = [
        ("partly outside", [(0, 0, 40, 30), (30, 20, 20, 15)]),
        ("wholly outside", [(0, 0, 40, 30), (45, 5, 8, 8), (3, 40, 5, 5)]),
        ("larger than the screen", [(0, 0, 57, 41)]),
        ("moved over the corner", [(25, 18, 30, 20)]),
    ]
    for name, rects in cases:
        path = os.path.join(d, name.replace(" ", "-") + ".gif")
        indices = [noise(h, w, 40) for _, _, w, h in rects]
        images = [(r[0], r[1], i, 8, False, b"") for r, i in zip(rects, indices)]
        open(path, "wb").write(gif_bytes((40, 30), table, images))
        truth = [colours[i] for i in indices]
        for (left, top, _, _), seen, whole in zip(rects, on_screen(path, (40, 30), rects), truth):
            assert np.array_equal(seen, whole[:seen.shape[0], :seen.shape[1]]), name
        check_stack(path, truth, d)
        check_measure(path, (40, 30), rects)
        if len(rects) == 1:
            check_crop(path, (40, 30), rects[0], d)
        print("%-24s Pillow, pictstack, pictmeasure%s agree" % (name, ", pictcrop" if len(rects) == 1 else ""))
