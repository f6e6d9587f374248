# Measuring, converting, joining and painting the scaled cube of step 10 (edge 2,
# centred on the origin). Runs in $OUT, so that the lines show short names.
(
cd "$OUT"
echo "-- the cube's area and volume, closure sums and bounding box:"
"$BIN/meshstats" cube.stl
"$BIN/meshverify" cube.stl
"$BIN/meshbounds" cube.stl
echo "-- painted orange, moved up by 2 and joined to the coloured cube: a stack of two"
"$BIN/meshpaint" cube.stl 255 128 0 cube-orange.stl
"$BIN/meshmove" cube-orange.stl 0 0 2 cube-above.stl
"$BIN/meshjoin" cube.stl cube-above.stl stack.stl
"$BIN/meshstats" stack.stl
"$BIN/meshbounds" stack.stl
echo "-- facet areas of the stack in bins of 1, all facets and the orange ones:"
"$BIN/meshtally" stack.stl 1
"$BIN/meshtally" stack.stl 255 128 0 1
echo "-- the stack as ASCII STL (its first facet) and back to binary, without colours:"
"$BIN/meshtotext" stack.stl "%g" > stack.txt
head -n 8 stack.txt
"$BIN/meshtobinary" stack.txt stack-plain.stl
"$BIN/meshfacets" stack-plain.stl
)
