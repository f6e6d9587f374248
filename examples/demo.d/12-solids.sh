# The demo's coloured model, written by the sphere generators: a figure of five
# ellipsoids (body, head, two eyes, nose) from parameter lines on standard input, one
# line each: level xO yO zO lon lat rot A B C R G B. Later steps render and slice it.
"$BIN/icosasphere" "$OUT/model.stl" <<'LINES'
3  0      0      0     0   90 0  1.1  0.9  1.5   220 40 40
3  0      0      2.32  0   90 0  0.8  0.8  0.8   240 200 60
2  0.343 -0.771  2.534 -66 14 0  0.14 0.14 0.06  40 60 220
2 -0.343 -0.771  2.534 -114 14 0 0.14 0.14 0.06  40 60 220
2  0     -1.11   2.32  -90 0  0  0.1  0.1  0.3   60 180 60
LINES
echo "-- $OUT/model.stl: facets per colour (attribute word, colour, facets, area):"
"$BIN/meshfacets" "$OUT/model.stl"

echo "-- the body alone, generated to standard output and measured by meshsolve:"
echo "-- (volume; centre; lon lat rot of the long axis; semi-axes A B C)"
echo "0 0 0 0 90 0 1.1 0.9 1.5" | "$BIN/icosasphere" 5 - | "$BIN/meshsolve" -

echo "-- the whole model's equivalent ellipsoid (same second moments per volume):"
"$BIN/meshsolve" "$OUT/model.stl"
echo "-- regenerated in grey from those nine numbers, and measured again:"
"$BIN/meshsolve" "$OUT/model.stl" | tail -n 3 | tr '\n' ' ' |
  "$BIN/icosasphere" 5 160 160 160 "$OUT/model-equivalent.stl"
"$BIN/meshsolve" "$OUT/model-equivalent.stl"

# The steps after this one picture, slice and convert this model.
MODEL=$OUT/model.stl
