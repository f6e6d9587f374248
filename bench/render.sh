#!/usr/bin/env bash
# Pictures of a model of about 100,000 facets: a 36-frame turntable at 512 x 512.
# Prints our time per frame split into drawing and GIF encoding (colour reduction
# included), meshorbit's whole run, and ImageMagick writing the same 36 true-colour
# frames as one GIF, with the ratios the targets are about:
#   our encoding / ImageMagick's       at most 0.5
#   our drawing / our encoding         at most 1
#
#   bench/render.sh [build folder]      (default build/release, after a Release build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
convert=/usr/bin/convert  # Debian's ImageMagick, whatever comes first on PATH
frames=36 size=512
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 bench/make-model.py "$work/m.stl" 100000
now() { date +%s.%N; }

# The least of three runs of each half: the machine may be shared.
read -r facets draw encode < <(for run in 1 2 3; do
  "$build/tests/pictures/render_bench" "$work/m.stl" $frames $size "$work"
done | awk 'NR == 1 || $4 < d { d = $4 } NR == 1 || $5 < e { e = $5 } END { print $1, d, e }')

t0=$(now)
echo "0 20 10 0 $frames" | "$build/bin/meshorbit" "$work/m.stl" -$size 1 40 255 255 255 -1 -1 -1 \
  200 200 200 "$work/orbit.gif"
t1=$(now)
"$convert" "$work"/frame*.ppm "$work/magick.gif"
t2=$(now)
"$convert" "$work"/frame*.ppm null:   # reading the frames alone
t3=$(now)

awk -v facets="$facets" -v n=$frames -v size=$size -v draw="$draw" -v enc="$encode" \
    -v t0="$t0" -v t1="$t1" -v t2="$t2" -v t3="$t3" -v ours="$(stat -c %s "$work/bench.gif")" \
    -v theirs="$(stat -c %s "$work/magick.gif")" 'BEGIN {
  magick = t2 - t1; reading = t3 - t2
  printf "model: %d facets; %d frames of %d x %d\n", facets, n, size, size
  printf "drawing                %8.2f ms a frame (%.3f s)\n", 1000 * draw / n, draw
  printf "GIF encoding           %8.2f ms a frame (%.3f s), %d bytes\n", 1000 * enc / n, enc, ours
  printf "meshorbit, whole run   %8.2f ms a frame (%.3f s, reading the model included)\n", 1000 * (t1 - t0) / n, t1 - t0
  printf "ImageMagick convert    %8.2f ms a frame (%.3f s, of which %.3f s reading the frames), %d bytes\n", 1000 * magick / n, magick, reading, theirs
  printf "encoding / ImageMagick %8.3f   (target at most 0.5; %.3f against its time less the reading)\n", enc / magick, enc / (magick - reading)
  printf "drawing / encoding     %8.3f   (target at most 1)\n", draw / enc
}'
