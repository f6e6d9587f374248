#!/bin/sh
# pictcrop 10 10 600 400 beside gifsicle --crop on the same 100-frame 640 x 480
# animated GIF (bench/make-anim.py), as medians of interleaved runs: each round runs
# ours, then gifsicle, so that a load change on the machine hits both alike.
# usage: bench/crop.sh   (after a Release build; BIN=... RUNS=... to change)
set -eu
. "$(dirname "$0")/lib.sh"
RUNS=${RUNS:-9}
command -v gifsicle >/dev/null || { echo "gifsicle is missing (apt-get install gifsicle)"; exit 1; }
[ -x "$BIN/pictcrop" ] || { echo "pictcrop is not built in $BIN"; exit 1; }

gif=$WORK/crop-anim-100.gif
[ -f "$gif" ] || /usr/bin/python3 "$(dirname "$0")/make-anim.py" "$gif" 100
echo "input: $gif ($(wc -c <"$gif") bytes), $RUNS interleaved rounds"

ms() {
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

ours=""
peer=""
i=0
while [ "$i" -lt "$RUNS" ]; do
  ours="$ours $(ms "$BIN/pictcrop" "$gif" 10 10 600 400 0 0 0 "$WORK/crop.gif")"
  peer="$peer $(ms gifsicle --crop 10,10+591x391 "$gif" -o "$WORK/gs-crop.gif")"
  i=$((i + 1))
done

median() { printf '%s\n' $1 | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : int((v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
compare "pictcrop 10 10 600 400 vs gifsicle --crop" "$(median "$ours")" "$(median "$peer")" 0.5
