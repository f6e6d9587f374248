"""A 100-frame 640 x 480 animated GIF for the picture benchmarks, when meshorbit is not
built: shaded discs turning over a gradient, every frame with its own colour table.
usage: make-anim.py out.gif [frames]"""
import math
import sys

import numpy as np
from PIL import Image

out = sys.argv[1]
count = int(sys.argv[2]) if len(sys.argv) > 2 else 100
w, h = 640, 480
y, x = np.mgrid[0:h, 0:w].astype(np.float64)
frames = []
for k in range(count):
    a = 2 * math.pi * k / count
    img = np.empty((h, w, 3), dtype=np.float64)
    img[..., 0] = 40 + 60 * x / w
    img[..., 1] = 40 + 60 * y / h
    img[..., 2] = 90
    for i, (r, col) in enumerate([(150, (220, 60, 40)), (90, (60, 200, 80)), (60, (70, 90, 230))]):
        cx = w / 2 + 140 * math.cos(a + 2.1 * i)
        cy = h / 2 + 100 * math.sin(a + 2.1 * i)
        d2 = ((x - cx) ** 2 + (y - cy) ** 2) / r ** 2
        inside = d2 < 1
        shade = np.sqrt(np.clip(1 - d2, 0, 1))
        for c in range(3):
            img[..., c] = np.where(inside, col[c] * (0.3 + 0.7 * shade), img[..., c])
    frames.append(Image.fromarray(img.astype(np.uint8)).quantize(200))
frames[0].save(out, save_all=True, append_images=frames[1:], duration=100, loop=0, optimize=False)
