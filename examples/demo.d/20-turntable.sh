# Pictures of the coloured model: a turntable of 24 views, 15 degrees apart and 20
# degrees up, in one GIF file (meshorbit), and the model turning about a tilted axis
# through its centre (meshturn). The model is read from $MODEL when it is set.
MODEL=${MODEL:-$OUT/cube.stl}
echo "-- a turntable of $(basename "$MODEL"): 24 views, 15 degrees apart:"
echo "0 20 15 0 24" | "$BIN/meshorbit" "$MODEL" -160 1 60 255 255 255 0 0 0 200 200 200 \
  "$OUT/turntable.gif"
echo "$OUT/turntable.gif: $(wc -c <"$OUT/turntable.gif") bytes"
echo "-- the same views at 320 x 320 as a looping animation, 0.08 s a frame (the README's picture):"
rm -rf "$OUT/loop"
mkdir -p "$OUT/loop"
echo "0 20 15 0 24" | "$BIN/meshorbit" "$MODEL" -320 1 60 255 255 255 0 0 0 200 200 200 - |
  "$BIN/pictunpack" - "$OUT/loop/f%02d.gif" &&
  "$BIN/pictanimate" "$OUT/loop" - 8 65536 "$OUT/turntable-loop.gif"
echo "$OUT/turntable-loop.gif: $(ls "$OUT/loop" | wc -l) frames, $(wc -c <"$OUT/turntable-loop.gif") bytes"
echo "-- the model turning about the axis at longitude 45, latitude 60, 15 degrees a frame:"
echo "45 60 0 15 24" | "$BIN/meshturn" "$MODEL" 0 0 0 30 20 40 1 60 255 255 255 160 160 160 \
  200 200 200 "$OUT/turn.gif"
echo "$OUT/turn.gif: $(wc -c <"$OUT/turn.gif") bytes"
