#!/bin/sh
# The solids against their peers, on the same input in one run:
#   icosasphere at level 8 (1,310,720 facets) beside cp of the file it writes
#   (target: at most 3 x), and meshsolve on that file beside numpy-stl loading it and
#   calling get_mass_properties() (target: at most 0.5 x).
# Each figure is the best wall-clock time of several runs, in milliseconds.
#
# usage: bench/solids.sh [bin_dir]      (default: build/release/bin)
set -eu
BIN=${1:-build/release/bin}
RUNS=${RUNS:-7}
PYTHON=/usr/bin/python3
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT

# best_ms command...: the shortest of $RUNS runs, in milliseconds.
best_ms() {
  best=
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(date +%s%N)
    "$@" >/dev/null
    end=$(date +%s%N)
    t=$(( (end - start) / 1000 ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
    i=$((i + 1))
  done
  awk -v us="$best" 'BEGIN { printf "%.1f", us / 1000 }'
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

MODEL="$TMP/level8.stl"
ours=$(best_ms "$BIN/icosasphere" 8 0.5 -1 2 30 40 25 1 2 3 "$MODEL")
theirs=$(best_ms cp "$MODEL" "$TMP/copy.stl")
echo "icosasphere level 8 ($(( ($(wc -c <"$MODEL") - 84) / 50 )) facets): $ours ms;" \
  "cp of its output: $theirs ms; ratio $(ratio "$ours" "$theirs") (target at most 3)"

if ! "$PYTHON" -c 'import stl' 2>/dev/null; then
  echo "meshsolve: numpy-stl (python3-stl) is missing, no comparison"
  exit 0
fi
ours=$(best_ms "$BIN/meshsolve" "$MODEL")
theirs=$(best_ms "$PYTHON" -W ignore -c \
  "import sys; from stl import mesh; print(mesh.Mesh.from_file(sys.argv[1]).get_mass_properties())" \
  "$MODEL")
echo "meshsolve on it: $ours ms; numpy-stl get_mass_properties: $theirs ms;" \
  "ratio $(ratio "$ours" "$theirs") (target at most 0.5)"
