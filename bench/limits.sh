#!/usr/bin/env bash
# The figures of the LZW, pictstack and meshorbit work, each row our time beside a
# peer's in one run, as medians of interleaved runs (ours, the peer's, ours, ...):
#   pictstack, 30 frames 640 x 480 with their own tables, vs convert +adjoin -compress LZW
#   pictstack-palette, the same input, vs the same command
#   GIF encoding in meshorbit, one 512 x 512 frame (colour reduction and LZW), no peer
#   meshorbit, one 512 x 512 view of a 300,000-facet binary STL, vs f3d --output under
#   Xvfb (skipped when f3d or xvfb-run is missing)
#
#   bench/limits.sh [build folder]      (default build/release; RUNS=5 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
bin=$build/bin
runs=${RUNS:-5}
convert=/usr/bin/convert
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
py=/usr/bin/python3

ms() {  # wall time of one run of "$@" in milliseconds, output dropped
  local t0 t1
  t0=$(date +%s%N)
  "$@" >/dev/null 2>&1 || true
  t1=$(date +%s%N)
  echo $(( (t1 - t0) / 1000000 ))
}
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
row() {  # label ours peer target
  awk -v l="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
    r = a / b
    printf "%-58s %8.1f ms  vs %8.1f ms  ratio %5.2f  (target <= %s)%s\n", l, a, b, r, t, (r <= t ? "" : "  MISSED")
  }'
}
# interleave "ours command" "peer command": prints the two medians
interleave() {
  local i a b
  : >"$work/a"; : >"$work/b"
  for ((i = 0; i < runs; i++)); do
    ms sh -c "$1" >>"$work/a"
    ms sh -c "$2" >>"$work/b"
  done
  echo "$(median <"$work/a") $(median <"$work/b")"
}

# The input of the picture rows: a turntable of the benchmark torus cut to 640 x 480,
# every frame with its own colour table.
$py bench/make-model.py "$work/torus.stl" 20000 >/dev/null
echo "0 30 12 0 30" | "$bin/meshorbit" "$work/torus.stl" -640 1 40 255 255 255 -1 0 0 200 200 200 "$work/orbit.gif"
"$bin/pictcrop" "$work/orbit.gif" 0 80 639 559 255 255 255 "$work/anim.gif"
mkdir -p "$work/ours" "$work/pal" "$work/im"
echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); $runs interleaved runs a row"

if [ -x "$convert" ]; then
  peer="cd $work/im && $convert $work/anim.gif +adjoin -compress LZW f%03d.tif"
  read -r a b < <(interleave "$bin/pictstack $work/anim.gif $work/ours/f%03d.tif" "$peer")
  row "pictstack vs convert +adjoin -compress LZW" "$a" "$b" 0.5
  read -r a b < <(interleave "$bin/pictstack-palette $work/anim.gif $work/pal/f%03d.tif" "$peer")
  row "pictstack-palette vs convert +adjoin -compress LZW" "$a" "$b" 0.5
else
  echo "pictstack rows: skipped (ImageMagick convert is missing)"
fi

# GIF encoding alone, timed inside the frame loop (tests/pictures/render_bench): a
# 36-frame turntable of a 100,000-facet model; the median of the runs' totals.
$py bench/make-model.py "$work/m100k.stl" 100000 >/dev/null
for ((i = 0; i < runs; i++)); do
  "$build/tests/pictures/render_bench" "$work/m100k.stl" 36 512 "$work" | awk '{ print 1000 * $5 / $2 }'
done | median | awk '{ printf "%-58s %8.2f ms a frame  (target <= 1.5 ms)%s\n", "GIF encoding in meshorbit, one 512 x 512 frame", $1, ($1 <= 1.5 ? "" : "  MISSED") }'
rm -f "$work"/frame*.ppm

$py bench/make-model.py "$work/m300k.stl" 300000 >/dev/null
if command -v f3d >/dev/null && command -v xvfb-run >/dev/null; then
  ours="echo '30 20' | $bin/meshorbit $work/m300k.stl -512 1 40 255 255 255 -1 -1 -1 200 200 200 $work/view.gif"
  peer="xvfb-run -a f3d --resolution 512,512 --output $work/view.png $work/m300k.stl"
  rm -f "$work/view.gif" "$work/view.png"
  read -r a b < <(interleave "$ours" "$peer")
  # The times are taken whatever the commands return: a row stands only when both wrote
  # their pictures (f3d without a display it can open fails at once).
  if [ -s "$work/view.gif" ] && [ -s "$work/view.png" ]; then
    row "meshorbit one view of 300,000 facets vs f3d --output" "$a" "$b" 0.1
  else
    echo "meshorbit vs f3d: no row (a run wrote no picture: $(ls "$work"/view.* 2>/dev/null | xargs -r -n1 basename))"
  fi
else
  echo "meshorbit vs f3d: skipped (f3d or xvfb-run missing: apt-get install f3d xvfb)"
fi
