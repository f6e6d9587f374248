"""GIFs written by Pillow, ImageMagick, gifsicle (and meshorbit when it is built) go
through pictunpack, pictstack, pictstack-palette, pictmeasure and pictcrop; Pillow,
tifffile and gifsicle read what they write, and the pixels must be exactly those Pillow
decodes from the input."""
import os
import subprocess
import sys
import tempfile

from gifcheck import Image, frames, images, make_inputs, need, np, run

try:
    import tifffile
except ImportError:
    print("tifffile is not installed; skipped")
    sys.exit(77)

bin_dir = sys.argv[1]
need("gifsicle", "tiffcp")


def tool(name):
    return os.path.join(bin_dir, name)


def check_unpack(src, want, d):
    run(tool("pictunpack"), src, os.path.join(d, "u%02d.gif"))
    for i, (rect, pixels) in enumerate(want):
        out = os.path.join(d, "u%02d.gif" % i)
        info = run("gifsicle", "--info", out).stdout.decode()
        assert "1 image" in info, info
        got = frames(out)
        assert len(got) == 1 and got[0][0] == rect, (src, i, got[0][0], rect)
        assert np.array_equal(got[0][1], pixels), (src, i)
    assert not os.path.exists(os.path.join(d, "u%02d.gif" % len(want)))


def check_stack(src, want, d):
    run(tool("pictstack"), src, os.path.join(d, "t%02d.tif"))
    run(tool("pictstack-palette"), src, os.path.join(d, "p%02d.tif"))
    for i, (rect, pixels) in enumerate(want):
        # libtiff undoes the LZW strips, tifffile reads the samples.
        plain = os.path.join(d, "plain.tif")
        run("tiffcp", "-c", "none", os.path.join(d, "t%02d.tif" % i), plain)
        true = tifffile.imread(plain)
        if true.ndim == 2:  # grey file: every pixel had red = green = blue
            assert np.array_equal(pixels[..., 0], pixels[..., 1]) and np.array_equal(pixels[..., 0], pixels[..., 2])
            true = np.repeat(true[..., None], 3, axis=2)
        assert true.shape == pixels.shape, (src, i, true.shape, pixels.shape)
        assert np.array_equal(true, pixels), (src, i)
        # Pillow gives the indices (of any width), tifffile the 16-bit colour map.
        palette = os.path.join(d, "p%02d.tif" % i)
        with Image.open(palette) as im:
            assert im.mode in ("P", "1", "L") or im.mode.startswith("P;"), im.mode
            index = np.asarray(im.convert("P") if im.mode != "P" else im)
        with tifffile.TiffFile(palette) as tif:
            page = tif.pages[0]
            cmap = page.colormap
            assert page.photometric == tifffile.PHOTOMETRIC.PALETTE
        rgb = (cmap[:, index] // 257).transpose(1, 2, 0)
        assert np.array_equal(rgb, pixels), (src, i)


def check_measure(src, want):
    # White is the background: the outside build encloses everything else, the inside
    # build the white pixels, over all frames.
    def box(select):
        found = None
        for (left, top, w, h), pixels in want:
            white = np.all(pixels == 255, axis=2)
            ys, xs = np.nonzero(select(white))
            if len(xs) == 0:
                continue
            b = (left + xs.min(), top + ys.min(), left + xs.max(), top + ys.max())
            found = b if found is None else (min(found[0], b[0]), min(found[1], b[1]),
                                             max(found[2], b[2]), max(found[3], b[3]))
        return found

    for program, select in (("pictmeasure", lambda w: ~w), ("pictmeasure-inside", lambda w: w)):
        r = subprocess.run([tool(program), src, "255", "255", "255"], capture_output=True)
        expected = box(select)
        if expected is None:
            assert r.returncode == 1 and r.stderr == b"no area.\n", (program, src, r)
        else:
            assert r.returncode == 0, (program, src, r.stderr)
            got = tuple(int(v) for v in r.stdout.split())
            assert got == expected, (program, src, got, expected)


def check_crop(src, want, d):
    """pictcrop's frames: each image drawn over what those before left (these inputs have
    no transparency and leave every image in place), the fill where none has drawn. A
    frame of more than 256 colours (images of two tables) is reduced to 256: close, not
    equal."""
    if not os.path.exists(tool("pictcrop")):
        return
    data = open(src, "rb").read()
    width = data[6] | data[7] << 8
    height = data[8] | data[9] << 8
    x1, y1, x2, y2 = 3, 2, width - 5, height - 4
    fill = (1, 2, 3)  # in no table: uncovered pixels come from StoreGIF_RGB
    out = os.path.join(d, "crop.gif")
    run(tool("pictcrop"), src, x1, y1, x2, y2, *fill, out)
    got = frames(out)
    assert len(got) == len(want), (src, len(got), len(want))
    info = run("gifsicle", "--info", out).stdout.decode()
    assert "%d images" % len(want) in info or (len(want) == 1 and "1 image" in info), info
    screen = np.empty((height, width, 3), dtype=np.uint8)
    screen[:] = fill
    for i, ((left, top, w, h), pixels) in enumerate(want):
        screen[top:top + h, left:left + w] = pixels[:height - top, :width - left]
        rect, crop = got[i]
        assert rect == (0, 0, x2 - x1 + 1, y2 - y1 + 1), rect
        want_crop = screen[y1:y2 + 1, x1:x2 + 1]
        if len(np.unique(want_crop.reshape(-1, 3), axis=0)) <= 256:
            assert np.array_equal(crop, want_crop), (src, i)
        else:
            assert np.abs(crop.astype(int) - want_crop).mean() < 4, (src, i)


with tempfile.TemporaryDirectory() as d:
    inputs = make_inputs(d, bin_dir)
    for src in inputs:
        want = frames(src)
        assert len(want) == len(images(src))
        work = tempfile.mkdtemp(dir=d)
        check_unpack(src, want, work)
        check_stack(src, want, work)
        check_measure(src, want)
        check_crop(src, want, work)
        print("%-24s %d image(s): pictunpack, pictstack, pictmeasure%s agree with Pillow"
              % (os.path.basename(src), len(want), ", pictcrop" if os.path.exists(tool("pictcrop")) else ""))
