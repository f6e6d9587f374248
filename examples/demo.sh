#!/bin/sh
# The meshpix demo: runs the steps in demo.d/ in name order. Each step is a shell
# fragment that uses $BIN (the built programs), $OUT (a fresh output folder) and
# $EXAMPLES (this folder), and leaves its files in $OUT for the steps after it.
set -eu
BIN=${1:?usage: demo.sh bin_dir out_dir}
OUT=${2:?usage: demo.sh bin_dir out_dir}
EXAMPLES=$(cd "$(dirname "$0")" && pwd)
export BIN OUT EXAMPLES
rm -rf "$OUT"
mkdir -p "$OUT"
for step in "$EXAMPLES"/demo.d/*.sh; do
  echo "== $(basename "$step" .sh)"
  . "$step"
done
echo "== done: the demo's files are in $OUT"
