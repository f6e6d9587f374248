#!/bin/sh
# meshtomagics beside meshpaint on a 1,000,000-facet coloured binary STL: the same
# reading and writing, only the attribute word and the header differ, so the two should
# take the same time. Also both through a pipe, where the records are held until the
# count is known.
# usage: bench/magics.sh   (after a Release build; BIN=... to point elsewhere)
set -eu
. "$(dirname "$0")/lib.sh"
model=$WORK/torus-1m.stl
[ -f "$model" ] || /usr/bin/python3 "$(dirname "$0")/make-model.py" "$model" 1000000
echo "model: $model ($(wc -c <"$model") bytes)"

# Interleaved, so that a load that comes and goes falls on both alike.
magics=""; paint=""; magics_pipe=""; paint_pipe=""
for round in 1 2 3; do
  m=$(best_ms "$BIN/meshtomagics $model 200 100 7 $WORK/magics.stl")
  p=$(best_ms "$BIN/meshpaint $model $WORK/paint.stl")
  mp=$(best_ms "$BIN/meshtomagics $model - | cat > /dev/null")
  pp=$(best_ms "$BIN/meshpaint $model - | cat > /dev/null")
  [ -z "$magics" ] || [ "$m" -lt "$magics" ] && magics=$m
  [ -z "$paint" ] || [ "$p" -lt "$paint" ] && paint=$p
  [ -z "$magics_pipe" ] || [ "$mp" -lt "$magics_pipe" ] && magics_pipe=$mp
  [ -z "$paint_pipe" ] || [ "$pp" -lt "$paint_pipe" ] && paint_pipe=$pp
done

compare "meshtomagics vs meshpaint" "$magics" "$paint" 1.2
compare "meshtomagics - | cat vs meshpaint - | cat" "$magics_pipe" "$paint_pipe" 1.2
