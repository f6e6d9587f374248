# The model as ZCP (the colour PLY kind) and as VRML 2.0, and back to STL.
MODEL=${MODEL:-$OUT/cube.stl}
"$BIN/meshtocply" "$MODEL" "$OUT/model.zcp"
echo "-- its ZCP file as text (counts, a few vertices, a few faces: indices and colour):"
"$BIN/cplydump" "$OUT/model.zcp" > "$OUT/model-zcp.txt"
head -n 4 "$OUT/model-zcp.txt"
tail -n 3 "$OUT/model-zcp.txt"
echo "-- its extents (minimum, maximum, size along x, y and z):"
"$BIN/cplyscale" "$OUT/model.zcp"
"$BIN/cplyworld" "$OUT/model.zcp" > "$OUT/model.wrl"
echo "-- as VRML 2.0 in model.wrl: $(wc -l < "$OUT/model.wrl") lines, colour list:"
sed -n '/^color \[/,/^]/p' "$OUT/model.wrl" | sed -n '2,$p' | sed '$d'
"$BIN/cplytomesh" "$OUT/model.zcp" "$OUT/model-back.stl"
"$BIN/meshdump" "$MODEL" | sed 1d > "$OUT/model-facets.txt"
"$BIN/meshdump" "$OUT/model-back.stl" | sed 1d > "$OUT/model-back-facets.txt"
if cmp -s "$OUT/model-facets.txt" "$OUT/model-back-facets.txt"; then
  echo "-- STL -> ZCP -> STL gives the same facets, in the same order, with the same colours"
else
  echo "-- STL -> ZCP -> STL changed the facets" >&2
  exit 1
fi
echo "-- a tetrahedron typed as text, grey and coloured faces, as ZCP:"
printf '4 4\n0 0 0\n1 0 0\n0 1 0\n0 0 1\n0 2 1\n0 1 3 128\n0 3 2 255 0 0\n1 2 3 0 0 255\n' |
  "$BIN/listtocply" "$OUT/tetra.zcp"
"$BIN/cplydump" "$OUT/tetra.zcp" | tail -n 4
