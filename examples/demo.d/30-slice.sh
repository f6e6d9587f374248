# Slicing: the model into a voxel grid written as a stack of bilevel TIFF files, one
# a slice along z; a voxel is solid (black) when its centre lies inside the model.
# The grid is a cube of 32 voxels a side around the model's bounding box.
MODEL=${MODEL:-$OUT/cube.stl}
N=32
GRID=$("$BIN/meshdump-plain" "$MODEL" | awk -v n=$N '
  NR > 1 { for (i = 1; i <= 9; i++) { a = (i - 1) % 3
             if (!(a in lo) || $i < lo[a]) lo[a] = $i
             if (!(a in hi) || $i > hi[a]) hi[a] = $i } }
  END { side = 0
        for (a = 0; a < 3; a++) if (hi[a] - lo[a] > side) side = hi[a] - lo[a]
        size = side * 1.1 / n
        for (a = 0; a < 3; a++) printf "%.6f ", (lo[a] + hi[a]) / 2 - size * n / 2
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
