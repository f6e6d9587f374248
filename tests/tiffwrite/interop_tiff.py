"""Independent readers decode every kind of TIFF file the writer makes.

usage: interop_tiff.py bin_dir tiff_samples

tiff_samples writes bilevel, grey (4, 8, 12, 16, 32 bits), true-colour (8, 16 bits)
and palette (1, 2, 4, 8 bits) files, with one strip and with many, and a noisy grey
picture whose string table fills and restarts within each strip. For each file:
libtiff's `tiffinfo -D` reads every strip without a complaint; libtiff's `tiffcp -c
none` decompresses it and the samples it gives are the expected ones (read with
tifffile, or unpacked here where tifffile needs a codec that is missing); tifffile
reads the tags; Pillow decodes the original file to the expected picture.
"""
import os
import shutil
import subprocess
import sys
import tempfile

try:
    import numpy as np
    import tifffile
    from PIL import Image
except ImportError:
    sys.exit(77)
if not shutil.which("tiffinfo") or not shutil.which("tiffcp"):
    sys.exit(77)

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def expected(width, height, bits, channel, noise=False):
    x = np.arange(width, dtype=np.uint64)[None, :]
    y = np.arange(height, dtype=np.uint64)[:, None]
    v = 37 * x + 101 * y + 53 * channel + (x * y) % 7
    if noise:
        v = (((x + width * y) * 2654435761) % (1 << 32)) >> 24
    return v & np.uint64(0xFFFF if bits >= 16 else (1 << bits) - 1)


def colour_map(bits, channel):
    return (np.arange(1 << bits, dtype=np.uint64) * 4099 + channel * 20011) % 65536


def unpack(raw, width, height, bits, samples):
    """Samples of uncompressed little-endian strips: bit strings most significant bit first."""
    per_row = width * samples
    row_bytes = (per_row * bits + 7) // 8
    data = np.frombuffer(raw, dtype=np.uint8)[: row_bytes * height].reshape(height, row_bytes)
    if bits in (8, 16, 32):
        dtype = {8: "<u1", 16: "<u2", 32: "<u4"}[bits]
        return data.copy().view(dtype).reshape(height, per_row).astype(np.uint64)
    bitrows = np.unpackbits(data, axis=1)[:, : per_row * bits].reshape(height, per_row, bits)
    weights = (1 << np.arange(bits - 1, -1, -1)).astype(np.uint64)
    return (bitrows.astype(np.uint64) * weights).sum(axis=2)


def main():
    samples_program = sys.argv[2]
    with tempfile.TemporaryDirectory() as tmp:
        listing = subprocess.run([samples_program, tmp], capture_output=True, text=True, check=True).stdout
        for line in listing.splitlines():
            path, build, w, h, bits, description = line.split(" ", 5)
            width, height, bits = int(w), int(h), int(bits)
            name = os.path.basename(path)
            channels = 3 if build == "rgb" else 1
            want = np.stack([expected(width, height, bits, c, build == "noise") for c in range(channels)], axis=2)
            before = len(failures)

            info = subprocess.run(["tiffinfo", "-D", path], capture_output=True, text=True)
            check(info.returncode == 0 and info.stderr == "", f"{name}: tiffinfo -D: {info.stderr.strip()}")

            with tifffile.TiffFile(path) as tif:
                page = tif.pages[0]
                photometric = {"grey": 0 if bits == 1 else 1, "noise": 1, "rgb": 2, "palette": 3}[build]
                check(page.compression == 5, f"{name}: compression {page.compression}")
                check(page.photometric == photometric, f"{name}: photometric {page.photometric}")
                check((page.imagewidth, page.imagelength) == (width, height), f"{name}: size")
                check(page.bitspersample == bits, f"{name}: bits {page.bitspersample}")
                check(page.samplesperpixel == channels, f"{name}: samples per pixel")
                if description != "-":
                    check(page.description == description, f"{name}: description {page.description!r}")
                if build == "palette":
                    cmap = page.tags["ColorMap"].value
                    for c in range(3):
                        check(np.array_equal(np.asarray(cmap[c], dtype=np.uint64), colour_map(bits, c)),
                              f"{name}: colour map {c}")

            plain = os.path.join(tmp, "plain.tif")
            subprocess.run(["tiffcp", "-c", "none", path, plain], check=True)
            try:
                got = tifffile.imread(plain).astype(np.uint64).reshape(height, width, channels)
            except NotImplementedError:  # packed widths need imagecodecs
                with tifffile.TiffFile(plain) as tif:
                    page = tif.pages[0]
                    raw = b"".join(segment for segment, _ in
                                   tif.filehandle.read_segments(page.dataoffsets, page.databytecounts))
                got = unpack(raw, width, height, bits, channels).reshape(height, width, channels)
            check(np.array_equal(got, want), f"{name}: samples decoded by libtiff")

            image = Image.open(path)
            image.load()
            pixels = np.array(image)
            if image.mode == "1":
                # Pillow shows WhiteIsZero as it looks: a sample 1 is black (False).
                pil_want = want[:, :, 0] == 0
            elif image.mode == "L" and bits < 8:
                pil_want = want[:, :, 0] * 255 // ((1 << bits) - 1)  # scaled to 8 bits
            elif channels == 3 and bits == 16:
                pil_want = want >> 8  # Pillow keeps 8 bits a channel
            else:
                pil_want = want.reshape(pixels.shape)
            check(np.array_equal(pixels.astype(np.uint64), np.asarray(pil_want, dtype=np.uint64)),
                  f"{name}: samples decoded by Pillow ({image.mode})")
            if image.mode == "P":
                palette = np.array(image.getpalette()[: 3 << bits], dtype=np.uint64).reshape(-1, 3)
                for c in range(3):
                    check(np.array_equal(palette[:, c], colour_map(bits, c) >> 8), f"{name}: Pillow palette {c}")
            status = "ok" if len(failures) == before else "FAILED"
            print(f"{status} {name}: {build} {width}x{height}, {bits} bits")
    if failures:
        sys.exit(1)


main()
