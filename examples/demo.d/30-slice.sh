# Slicing: the model into a voxel grid written as a stack of bilevel TIFF files, one
# a slice along z; a voxel is solid (black) when its centre lies inside the model.
# The grid is a cube of 32 voxels a side around the model's bounding box.
MODEL=${MODEL:-$OUT/cube.stl}
N=32
# meshbounds prints: name, facets, x y z minimum, x y z maximum.
GRID=$("$BIN/meshbounds" "$MODEL" | awk -v n=$N '{
  side = 0
  for (a = 0; a < 3; a++) if ($(a + 6) - $(a + 3) > side) side = $(a + 6) - $(a + 3)
  size = side * 1.1 / n
  for (a = 0; a < 3; a++) printf "%.6f ", ($(a + 3) + $(a + 6)) / 2 - size * n / 2
  printf "%.6f\n", size }')
read -r X0 Y0 Z0 SIZE <<END
$GRID
END
mkdir -p "$OUT/slices"
echo "-- meshslice $(basename "$MODEL") $X0 $Y0 $Z0 $SIZE $SIZE $SIZE $N $N $N slices"
"$BIN/meshslice" "$MODEL" "$X0" "$Y0" "$Z0" "$SIZE" "$SIZE" "$SIZE" $N $N $N "$OUT/slices"
echo "-- $(ls "$OUT/slices" | wc -l) slices of $N x $N voxels in $OUT/slices:"
ls "$OUT/slices" | head -n 3
echo "..."
ls "$OUT/slices" | tail -n 1
