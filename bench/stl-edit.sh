#!/bin/sh
# meshmove, meshscale, meshtransform, meshfacets and meshdump-plain on a
# 1,000,000-facet coloured binary STL, beside cp and admesh on the same file.
# usage: bench/stl-edit.sh   (after a Release build; BIN=... to point elsewhere)
set -eu
. "$(dirname "$0")/lib.sh"
command -v admesh >/dev/null || { echo "admesh is missing (apt-get install admesh)"; exit 1; }
model=$WORK/torus-1m.stl
[ -f "$model" ] || /usr/bin/python3 "$(dirname "$0")/make-model.py" "$model" 1000000
echo "model: $model ($(wc -c <"$model") bytes)"

cp_ms=$(best_ms "cp $model $WORK/copy.stl")
move=$(best_ms "$BIN/meshmove $model 1 2 3 $WORK/out.stl")
scale=$(best_ms "$BIN/meshscale $model 2 $WORK/out.stl")
transform=$(best_ms "$BIN/meshtransform $model 1 1 0 0 2 0 1 0 3 0 0 1 $WORK/out.stl")
facets=$(best_ms "$BIN/meshfacets $model")
dump=$(best_ms "$BIN/meshdump-plain $model > $WORK/dump.txt")
ad_move=$(best_ms "admesh -c --translate=1,2,3 -b $WORK/ad.stl $model")
ad_scale=$(best_ms "admesh -c --scale=2 -b $WORK/ad.stl $model")
ad_ascii=$(best_ms "admesh -c -a $WORK/ad.txt $model")

compare "meshmove vs cp" "$move" "$cp_ms" 4
compare "meshscale vs cp" "$scale" "$cp_ms" 4
compare "meshtransform vs cp" "$transform" "$cp_ms" 4
compare "meshmove vs admesh --translate -b" "$move" "$ad_move" 0.5
compare "meshscale vs admesh --scale -b" "$scale" "$ad_scale" 0.5
compare "meshtransform vs admesh --translate -b" "$transform" "$ad_move" 0.5
compare "meshfacets vs cp" "$facets" "$cp_ms" 3
compare "meshdump-plain vs admesh --write-ascii-stl" "$dump" "$ad_ascii" 1
