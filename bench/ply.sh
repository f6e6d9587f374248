#!/usr/bin/env bash
# cplytomesh on a binary PLY of a million faces with vertex colours, beside assimp
# converting the same file to STL, and beside cplytomesh on the same model as ZCP (made
# from it by cplyscale). Best wall time of $RUNS runs (default 3).
#
# usage: bench/ply.sh [faces]     (the programs from $BIN, default build/release/bin)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
. "$here/lib.sh"
faces=${1:-1000000}
command -v assimp >/dev/null || { echo "assimp is not installed (Debian: assimp-utils)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 "$here/make-ply.py" model.ply "$faces"
"$BIN/cplyscale" model.ply 1 model.zcp
echo "model: $(head -c 400 model.ply | grep -a '^element' | tr '\n' ' ')($(stat -c %s model.ply) bytes)"

ply=$(best_ms "'$BIN/cplytomesh' model.ply ours.stl")
compare "cplytomesh model.ply / assimp export" "$ply" "$(best_ms "assimp export model.ply peer.stl")" 0.2
compare "cplytomesh model.ply / the same as ZCP" "$ply" "$(best_ms "'$BIN/cplytomesh' model.zcp zcp.stl")" 1.5
cmp -s ours.stl zcp.stl && echo "the two STL files are the same" || echo "the two STL files DIFFER"
