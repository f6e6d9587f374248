"""Large pictures and files without their trailer, read by independent tools.

1200 x 1200 and 4000 x 3000 GIFs (Pillow, and a meshorbit frame when it is built) go
through pictstack and pictstack-palette: their TIFF files pass 64 KiB, so every offset
in them must be held in full. libtiff's `tiffinfo -D` reads them without a complaint,
tifffile reads what `tiffcp -c none` decompresses, Pillow reads the palette files, and
every pixel equals what Pillow decodes from the GIF.

GIFs written by Pillow and ImageMagick with their trailer cut off give pictstack,
pictunpack, pictmeasure and pictanimate the same results as the whole files."""
import os
import shutil
import subprocess
import sys
import tempfile

from gifcheck import CONVERT, Image, need, np, orbit_gif, run

try:
    import tifffile
except ImportError:
    print("tifffile is not installed; skipped")
    sys.exit(77)

bin_dir = os.path.abspath(sys.argv[1])
need("tiffinfo", "tiffcp", CONVERT)


def tool(name):
    return os.path.join(bin_dir, name)


def picture(w, h, seed):
    """Gradients, bands and noise in 256 colours: both TIFF files pass 64 KiB."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:h, 0:w]
    rgb = np.stack([(x * 255 // w), (y * 255 // h), ((x // 37 + y // 23) % 2) * 200], axis=2).astype(np.uint8)
    noise = rng.integers(0, 256, (h // 4, w // 4, 3), dtype=np.uint8)
    rgb[: h // 4, : w // 4] = noise
    return Image.fromarray(rgb).quantize(256)


def check_stack(src, d):
    with Image.open(src) as im:
        want = np.asarray(im.convert("RGB"))
    sizes = []
    for program, name in (("pictstack", "t0.tif"), ("pictstack-palette", "p0.tif")):
        run(tool(program), src, os.path.join(d, name[0] + "%d.tif"))
        path = os.path.join(d, name)
        sizes.append(os.path.getsize(path))
        info = subprocess.run(["tiffinfo", "-D", path], capture_output=True, text=True)
        assert info.returncode == 0 and info.stderr == "", (src, program, info.stderr)
        plain = os.path.join(d, "plain.tif")
        run("tiffcp", "-c", "none", path, plain)
        with tifffile.TiffFile(plain) as tif:
            page = tif.pages[0]
            samples = page.asarray()
            if page.photometric == tifffile.PHOTOMETRIC.PALETTE:
                samples = (page.colormap[:, samples] // 257).transpose(1, 2, 0)
        assert np.array_equal(samples, want), (src, program)
        with Image.open(path) as im:
            assert np.array_equal(np.asarray(im.convert("RGB")), want), (src, program, "Pillow")
    assert max(sizes) > 65536, (src, sizes)  # a frame mostly background compresses well
    print("%s: %dx%d through pictstack and pictstack-palette, read by libtiff, tifffile and Pillow"
          % (os.path.basename(src), want.shape[1], want.shape[0]))


def outcome(src, d):
    """What the programs make of one GIF: their outputs and files, as bytes."""
    shutil.rmtree(d, ignore_errors=True)
    os.makedirs(d)
    shutil.copy(src, os.path.join(d, "in.gif"))
    got = []
    for args in (["pictstack", "in.gif", "s%d.tif"], ["pictstack-palette", "in.gif", "p%d.tif"],
                 ["pictunpack", "in.gif", "u%d.gif"], ["pictmeasure", "in.gif", "255", "255", "255"],
                 ["pictmeasure-inside", "in.gif", "255", "255", "255"],
                 ["pictanimate", ".", "-in.gif", "5", "0", "anim.gif"]):
        r = subprocess.run([tool(args[0])] + args[1:], cwd=d, capture_output=True)
        got.append((args[0], r.returncode, r.stdout, r.stderr))
    for name in sorted(os.listdir(d)):
        if name != "in.gif":
            got.append((name, open(os.path.join(d, name), "rb").read()))
    return got


def check_no_trailer(src, d):
    data = open(src, "rb").read()
    assert data[-1:] == b";", src
    cut = os.path.join(d, "cut.gif")
    open(cut, "wb").write(data[:-1])
    # Pillow reads the cut file too.
    with Image.open(cut) as im:
        im.load()
    whole = outcome(src, os.path.join(d, "whole"))
    short = outcome(cut, os.path.join(d, "short"))
    assert all(r[1] == 0 for r in whole if len(r) == 4 and not r[0].startswith("pictmeasure")), \
        [r for r in whole if len(r) == 4]
    assert len(whole) >= 10, [r[0] for r in whole]  # the files were written
    assert short == whole, (src, [a[0] for a, b in zip(short, whole) if a != b])
    print("%s without its trailer: the same outputs as the whole file" % os.path.basename(src))


with tempfile.TemporaryDirectory() as d:
    sources = []
    for w, h in ((1200, 1200), (4000, 3000)):
        p = os.path.join(d, "pillow-%dx%d.gif" % (w, h))
        picture(w, h, w).save(p)
        sources.append(p)
    p = orbit_gif(bin_dir, d, "meshorbit-1200.gif", 1200, b"30 20\n")
    if p:
        sources.append(p)
    for src in sources:
        work = tempfile.mkdtemp(dir=d)
        check_stack(src, work)

    small = os.path.join(d, "pillow-anim.gif")
    frames = [picture(48, 32, k) for k in range(3)]
    frames[0].save(small, save_all=True, append_images=frames[1:], duration=50, loop=0)
    magick = os.path.join(d, "magick.gif")
    png = os.path.join(d, "m.png")
    picture(40, 30, 9).convert("RGB").save(png)
    run(CONVERT, png, "-colors", "64", magick)
    for src in (small, magick):
        check_no_trailer(src, tempfile.mkdtemp(dir=d))
