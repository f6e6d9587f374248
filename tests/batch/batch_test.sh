#!/bin/sh
# Runs examples/batch/Makefile with -j2 over three generated ellipsoids and checks every
# output: the GIF signature, screen size and image count, the statistics line (facet
# count, area and volume near the ellipsoid's), the slice count, TIFF signatures and
# sizes, and solid voxels where the model is; then that a second make has nothing to do,
# that a changed model is rebuilt alone, and that the README's xargs -P recipe gives the
# same statistics (and GNU parallel's the same turntables). gifsicle and Pillow, where present, read the pictures independently.
# Usage: batch_test.sh make bin_dir Makefile
set -u
MAKE=$1
PATH=$(cd "$2" && pwd):$PATH
makefile=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
export PATH LC_ALL=C
work=$(mktemp -d "${TMPDIR:-/tmp}/meshpix-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

# name, generator, level, semi-axes A B C, facets.
mkdir models
cat >models.txt <<'END'
egg octasphere 2 1 1.5 2 128
ball icosasphere 2 2 2 2 320
drop tetrasphere 3 0.5 0.8 1.2 256
END
while read -r name gen level a b c facets; do
  $gen "$level" 0 0 0 0 90 0 "$a" "$b" "$c" 200 100 50 "models/$name.stl" || fail "$gen failed"
done <models.txt

"$MAKE" -j2 -f "$makefile" MODELS=models OUT=out >make.log 2>&1 || { cat make.log; fail "make -j2 failed"; }

le16() { od -An -t u2 -j "$2" -N 2 "$1" | tr -d ' '; }
while read -r name gen level a b c facets; do
  gif=out/$name.gif
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
  awk -v name="models/$name.stl" -v f="$facets" -v a="$a" -v b="$b" -v c="$c" -F '\t' '
    { lines++; if ($1 != name || $2 != f || $3 <= 0) bad = 1
      v = 4 / 3 * 3.14159265 * a * b * c; if ($4 < 0.85 * v || $4 > v) bad = 1 }
    END { exit (lines == 1 && !bad) ? 0 : 1 }' "out/$name.stats" ||
    fail "out/$name.stats: $(cat "out/$name.stats")"

  slices=out/$name.slices
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
    set -- $solid
    [ "$1" -gt 100 ] && [ "$2" = 0 ] || fail "$slices: black voxels $1 in the middle, $2 in the margin"
  fi
  [ -s "$slices/report.txt" ] && fail "$slices: meshslice reported rows: $(head -n 2 "$slices/report.txt")"
done <models.txt

[ "$(wc -l <out/stats.txt)" = 3 ] || fail "out/stats.txt has $(wc -l <out/stats.txt) lines"
ls out | grep -q part && fail "temporary files left: $(ls out | grep part)"

# Nothing to do a second time; a changed model is made again, alone.
"$MAKE" -q -f "$makefile" MODELS=models OUT=out || fail "a second make would rebuild"
sleep 1
icosasphere 1 0 0 0 0 90 0 2 2 2 models/ball.stl
"$MAKE" -n -f "$makefile" MODELS=models OUT=out >rebuild.log
grep -q 'models/ball.stl' rebuild.log || fail "the changed model is not rebuilt"
grep -q -e 'models/egg.stl' -e 'models/drop.stl' rebuild.log && fail "unchanged models are rebuilt: $(cat rebuild.log)"
"$MAKE" -j2 -f "$makefile" MODELS=models OUT=out >make2.log 2>&1 || fail "second make failed"
[ "$(cut -f2 out/ball.stats)" = 80 ] || fail "out/ball.stats not remade: $(cat out/ball.stats)"

# The README's xargs recipe: the same statistics, four at a time.
mkdir stats
find models -name '*.stl' -print0 |
  xargs -0 -P 4 -I {} sh -c 'meshstats "$1" > "stats/$(basename "$1" .stl).stats"' sh {} ||
  fail "xargs recipe failed"
for s in out/*.stats; do
  cmp -s "$s" "stats/$(basename "$s")" || fail "xargs gives another $(basename "$s")"
done

# The README's GNU parallel recipe, where parallel is installed: the same turntables.
if command -v parallel >/dev/null 2>&1; then
  mkdir turntables
  parallel -j 4 "echo '0 20 15 0 24' | meshorbit {} -160 1 60 255 255 255 0 0 0 200 200 200 turntables/{/.}.gif" \
    ::: models/*.stl </dev/null || fail "parallel recipe failed"
  for g in out/*.gif; do
    cmp -s "$g" "turntables/$(basename "$g")" || fail "parallel gives another $(basename "$g")"
  done
fi

[ "$failed" = 0 ] && echo "batch: 3 models, turntables, statistics and slices checked"
exit $failed
