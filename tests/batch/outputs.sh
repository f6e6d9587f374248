# Sourced by the batch tests: three generated ellipsoids and the checks of what the batch
# Makefile makes of each: the GIF signature, screen size and image count, the statistics
# line (facet count, area and volume near the ellipsoid's), the slice count, TIFF
# signatures and sizes, and solid voxels where the model is. gifsicle, tiffinfo and Pillow,
# where present, read the pictures independently. The caller defines fail() and puts the
# programs on PATH.

# name, generator, level, semi-axes A B C, facets.
shapes='egg octasphere 2 1 1.5 2 128
ball icosasphere 2 2 2 2 320
drop tetrasphere 3 0.5 0.8 1.2 256'

# make_models DIR: the three ellipsoids as DIR/NAME.stl.
make_models() {
  mkdir -p "$1"
  while read -r name gen level a b c facets; do
    $gen "$level" 0 0 0 0 90 0 "$a" "$b" "$c" 200 100 50 "$1/$name.stl" || fail "$gen failed"
  done <<END
$shapes
END
}

le16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }

# check_outputs MODELS OUT: every output of the three models in OUT, and OUT/stats.txt.
check_outputs() {
  while read -r name gen level a b c facets; do
    gif=$2/$name.gif
    [ "$(head -c 6 "$gif")" = GIF87a ] || fail "$gif: not a GIF87a file"
    [ "$(le16 "$gif" 6)x$(le16 "$gif" 8)" = 160x160 ] || fail "$gif: screen $(le16 "$gif" 6)x$(le16 "$gif" 8)"
    if command -v gifsicle >/dev/null 2>&1; then
      images=$(gifsicle --info "$gif" | sed -n '1s/.* \([0-9]*\) images*$/\1/p')
      [ "$images" = 24 ] || fail "$gif: gifsicle counts '$images' images"
    fi
    if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
      frames=$(/usr/bin/python3 -c 'import sys; from PIL import Image; print(Image.open(sys.argv[1]).n_frames)' "$gif")
      [ "$frames" = 24 ] || fail "$gif: Pillow reads '$frames' frames"
    fi

    # name, facets, area, volume; the volume within 15 % of the ellipsoid's (inscribed
    # polyhedra are a little smaller).
    awk -v name="$1/$name.stl" -v f="$facets" -v a="$a" -v b="$b" -v c="$c" -F '\t' '
      { lines++; if ($1 != name || $2 != f || $3 <= 0) bad = 1
        v = 4 / 3 * 3.14159265 * a * b * c; if ($4 < 0.85 * v || $4 > v) bad = 1 }
      END { exit (lines == 1 && !bad) ? 0 : 1 }' "$2/$name.stats" ||
      fail "$2/$name.stats: $(cat "$2/$name.stats")"

    slices=$2/$name.slices
    count=$(ls "$slices" | grep -c '^[0-9][0-9]\.tif$')
    [ "$count" = 32 ] || fail "$slices: $count slices, not 32"
    for tif in "$slices"/*.tif; do
      [ "$(head -c 4 "$tif" | od -An -t x1 | tr -d ' ')" = 49492a00 ] || fail "$tif: not a little-endian TIFF"
    done
    if command -v tiffinfo >/dev/null 2>&1; then
      tiffinfo "$slices/16.tif" 2>/dev/null | grep -q 'Image Width: 32 Image Length: 32' ||
        fail "$slices/16.tif: not 32 x 32 for tiffinfo"
    fi
    if [ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
      # The middle slice cuts the model (black voxels), the first one lies in the margin.
      solid=$(/usr/bin/python3 -c '
import sys
from PIL import Image
def black(p):
    im = Image.open(p).convert("L")
    return sum(1 for v in im.getdata() if v == 0)
print(black(sys.argv[1]), black(sys.argv[2]))' "$slices/16.tif" "$slices/00.tif")
      middle=${solid% *} margin=${solid#* }
      [ "$middle" -gt 100 ] 2>/dev/null && [ "$margin" = 0 ] ||
        fail "$slices: black voxels '$middle' in the middle, '$margin' in the margin"
    fi
    [ -s "$slices/report.txt" ] && fail "$slices: meshslice reported rows: $(head -n 2 "$slices/report.txt")"
  done <<END
$shapes
END

  [ "$(wc -l <"$2/stats.txt")" = 3 ] || fail "$2/stats.txt has $(wc -l <"$2/stats.txt") lines"
  ls "$2" | grep -q part && fail "temporary files left: $(ls "$2" | grep part)"
}
