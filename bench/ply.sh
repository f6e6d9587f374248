#!/usr/bin/env bash
# cplytomesh on a binary PLY of a million faces with vertex colours, beside assimp
# converting the same file to STL, and beside cplytomesh on the same model as ZCP (made
# from it by cplyscale). Best of a few runs, wall-clock and processor time.
#
# usage: bench/ply.sh [bin_dir] [faces] [runs]
#        (defaults: build/release/bin, 1000000, 3; files go to a temporary folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../build/release/bin}" && pwd)
faces=${2:-1000000}
runs=${3:-3}
command -v assimp >/dev/null || { echo "assimp is not installed (Debian: assimp-utils)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 "$here/make-ply.py" model.ply "$faces"
"$bin/cplyscale" model.ply 1 model.zcp

# Best of $runs runs of a command (standard output discarded): "wall cpu" in seconds.
best() {
  /usr/bin/python3 - "$runs" "$@" <<'PY'
import resource, subprocess, sys, time
runs, cmd = int(sys.argv[1]), sys.argv[2:]
wall = cpu = float("inf")
for _ in range(runs):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
    wall = min(wall, time.perf_counter() - start)
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    cpu = min(cpu, after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print(f"{wall:.3f} {cpu:.3f}")
PY
}

row() {  # row label "ours_wall ours_cpu" peer_label "peer_wall peer_cpu" target
  read -r ow oc <<<"$2"
  read -r pw pc <<<"$4"
  awk -v l="$1" -v p="$3" -v ow="$ow" -v oc="$oc" -v pw="$pw" -v pc="$pc" -v t="$5" 'BEGIN {
    rw = pw > 0 ? ow / pw : 0; rc = pc > 0 ? oc / pc : 0
    printf "%-30s %-32s %7.3f/%-7.3f %7.3f/%-7.3f %6.2f/%-6.2f <= %s %s\n", l, p, ow, oc, pw, pc,
      rw, rc, t, (rw <= t ? "met" : (rc <= t ? "met in cpu time" : "MISSED"))
  }'
}

echo "model: $(head -c 400 model.ply | grep -a '^element' | tr '\n' ' ')($(stat -c %s model.ply) bytes); best of $runs runs"
printf '%-30s %-32s %15s %15s %13s  %s\n' "ours" "peer" "ours wall/cpu" "peer wall/cpu" \
  "ratio w/cpu" "target"
ply=$(best "$bin/cplytomesh" model.ply ours.stl)
peer=$(best assimp export model.ply peer.stl)
row "cplytomesh model.ply" "$ply" "assimp export model.ply x.stl" "$peer" 0.2
zcp=$(best "$bin/cplytomesh" model.zcp zcp.stl)
row "cplytomesh model.ply" "$ply" "cplytomesh model.zcp" "$zcp" 1.5
cmp -s ours.stl zcp.stl && echo "the two STL files are the same" || echo "the two STL files DIFFER"
