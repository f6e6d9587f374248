# A coloured model: the unit cube with one colour per side (examples/cube.stl),
# moved to be centred on the origin and scaled to an edge of 2.
"$BIN/meshmove" "$EXAMPLES/cube.stl" -0.5 -0.5 -0.5 "$OUT/cube-centred.stl"
"$BIN/meshscale" "$OUT/cube-centred.stl" 2 "$OUT/cube.stl"
echo "-- facets of the scaled cube (x1 y1 z1 x2 y2 z2 x3 y3 z3, then the colour):"
"$BIN/meshdump" "$OUT/cube.stl"
echo "-- its colour table (attribute word, colour, facets, area):"
"$BIN/meshfacets" "$OUT/cube.stl"
echo "-- tilted by a general affine map:"
"$BIN/meshtransform" "$OUT/cube.stl" 0 1 0 0.5 0 0 1 0 0 0 0 1 "$OUT/cube-sheared.stl"
"$BIN/meshdump-plain" "$OUT/cube-sheared.stl" | head -n 3
