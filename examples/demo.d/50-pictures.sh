# Pictures: the turntable of the earlier step measured, cropped to the model, split
# into one GIF and one TIFF file a frame, and joined again into an endless animation
# running backwards. Its background is white.
GIF=$OUT/turntable.gif
if [ ! -f "$GIF" ]; then
  echo "-- $GIF is missing (no turntable was rendered): pictures skipped"
else
  echo "-- the area the model and its box cover over all views (left top right bottom):"
  AREA=$("$BIN/pictmeasure" "$GIF" 255 255 255)
  echo "$AREA"
  echo "-- where the model is reddish (red 150 and up, green and blue below 100):"
  "$BIN/pictmeasure-inside" "$GIF" 150- -99 -99 || true
  set -- $AREA
  if [ -x "$BIN/pictcrop" ]; then
    echo "-- cropped to that area (fill colour white where a view does not reach):"
    "$BIN/pictcrop" "$GIF" "$1" "$2" "$3" "$4" 255 255 255 "$OUT/turntable-crop.gif"
    PICTURES=$OUT/turntable-crop.gif
  else
    PICTURES=$GIF
  fi
  echo "-- $(basename "$PICTURES") now covers (left top right bottom):"
  "$BIN/pictmeasure-inside" "$PICTURES" - - -
  rm -rf "$OUT/frames" "$OUT/tiff"
  mkdir -p "$OUT/frames" "$OUT/tiff"
  "$BIN/pictunpack" "$PICTURES" "$OUT/frames/view%02d.gif"
  "$BIN/pictstack" "$PICTURES" "$OUT/tiff/view%02d.tif"
  "$BIN/pictstack-palette" "$PICTURES" "$OUT/tiff/palette%02d.tif"
  echo "-- split: $(ls "$OUT/frames" | wc -l) GIF files in $OUT/frames," \
    "$(ls "$OUT/tiff" | wc -l) TIFF files in $OUT/tiff"
  # --r: the directory in descending name order; repeat 65536 is stored as 0, endless.
  "$BIN/pictanimate" "$OUT/frames" --r 8 65536 "$OUT/turntable-back.gif"
  echo "-- joined backwards, 0.08 s a frame: $OUT/turntable-back.gif," \
    "$(wc -c <"$OUT/turntable-back.gif") bytes; its area:"
  "$BIN/pictmeasure" "$OUT/turntable-back.gif" 255 255 255
fi
