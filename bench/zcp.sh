#!/usr/bin/env bash
# ZCP conversion speed beside assimp on one closed coloured model of about a million
# facets with shared vertices: meshtocply against `assimp export in.stl out.ply`, and
# cplytomesh of the result against `assimp export out.ply back.stl`. Also the peak
# memory of cplyworld on a 12-face model. Prints each time (best of the runs) and the
# ratio ours / assimp's.
#
# usage: bench/zcp.sh [bin_dir] [facets] [runs]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
BIN=${1:-$here/../build/release/bin}
FACETS=${2:-1000000}
RUNS=${3:-2}
command -v assimp >/dev/null || { echo "assimp is not installed (Debian: assimp-utils)"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

/usr/bin/python3 "$here/make-model.py" "$work/in.stl" "$FACETS"

# best TIME of RUNS runs of the command, in seconds
best() {
  local best=""
  for _ in $(seq "$RUNS"); do
    local t0 t1
    t0=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t1=$(date +%s.%N)
    best=$(echo "$t0 $t1 $best" | awk '{ t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3 }')
  done
  echo "$best"
}

row() {  # name ours peer
  awk -v n="$1" -v a="$2" -v b="$3" 'BEGIN { printf "%-40s %8.3f s  assimp %8.3f s  ratio %.2f\n", n, a, b, a / b }'
}

ours=$(best "$BIN/meshtocply" "$work/in.stl" "$work/ours.zcp")
peer=$(best assimp export "$work/in.stl" "$work/peer.ply")
head -c 300 "$work/ours.zcp" | grep -a '^element' | tr '\n' ' ' | awk '{ printf "model: %d vertices, %d faces\n", $3, $6 }'
row "meshtocply (STL -> ZCP)" "$ours" "$peer"

ours=$(best "$BIN/cplytomesh" "$work/ours.zcp" "$work/back.stl")
peer=$(best assimp export "$work/peer.ply" "$work/peer-back.stl")
row "cplytomesh (ZCP -> STL)" "$ours" "$peer"

# cplyworld on a 12-face model: peak resident memory in KiB
"$BIN/meshtocply" "$here/../examples/cube.stl" "$work/cube.zcp"
peak=$(/usr/bin/time -f %M "$BIN/cplyworld" "$work/cube.zcp" 2>&1 >/dev/null | tail -n 1)
echo "cplyworld peak memory on a 12-face model: $peak KiB"
