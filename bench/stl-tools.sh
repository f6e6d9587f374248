#!/usr/bin/env bash
# Times the STL tools on the benchmark model beside their peers, best of a few runs:
# meshtotext and meshtobinary against admesh's ASCII and binary writers, the measuring
# programs, meshjoin and meshpaint against cp of the same file.
#
# usage: bench/stl-tools.sh [bin_dir] [facets] [runs]
#        (defaults: build/release/bin, 1000000, 3; files go to a temporary folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../build/release/bin}" && pwd)
facets=${2:-1000000}
runs=${3:-3}
command -v admesh >/dev/null || { echo "admesh is not installed" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 "$here/make-model.py" model.stl "$facets"
/usr/bin/python3 "$here/make-model.py" model-ascii.stl "$facets" --ascii
# The two halves of the binary model, each a binary STL of its own.
/usr/bin/python3 - <<'PY'
import struct
data = open("model.stl", "rb").read()
n = struct.unpack_from("<I", data, 80)[0]
half = n // 2
for name, first, count in (("half1.stl", 0, half), ("half2.stl", half, n - half)):
    with open(name, "wb") as f:
        f.write(b"\0" * 80 + struct.pack("<I", count))
        f.write(data[84 + 50 * first: 84 + 50 * (first + count)])
PY

# Best of $runs runs of a command (standard output discarded): "wall cpu" in seconds,
# the wall-clock time and the processor time (user + system) of the process. On a
# shared machine the processor time is the steadier figure of the two.
best() {
  /usr/bin/python3 - "$runs" "$@" <<'PY'
import os, resource, subprocess, sys, time
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

echo "model: $(stat -c %s model.stl) bytes binary, $(stat -c %s model-ascii.stl) bytes ASCII," \
     "$facets facets asked for; best of $runs runs"
printf '%-30s %-32s %15s %15s %13s  %s\n' "ours" "peer" "ours wall/cpu" "peer wall/cpu" \
  "ratio w/cpu" "target"
row() {  # row label "ours_wall ours_cpu" peer_label "peer_wall peer_cpu" target
  read -r ow oc <<<"$2"
  read -r pw pc <<<"$4"
  awk -v l="$1" -v p="$3" -v ow="$ow" -v oc="$oc" -v pw="$pw" -v pc="$pc" -v t="$5" 'BEGIN {
    rw = pw > 0 ? ow / pw : 0; rc = pc > 0 ? oc / pc : 0
    printf "%-30s %-32s %7.3f/%-7.3f %7.3f/%-7.3f %6.2f/%-6.2f <= %s %s\n", l, p, ow, oc, pw, pc,
      rw, rc, t, (rw <= t ? "met" : (rc <= t ? "met in cpu time" : "MISSED"))
  }'
}

ours=$(best "$bin/meshtotext" model.stl)
peer=$(best admesh --write-ascii-stl=admesh-ascii.stl model.stl)
row "meshtotext model.stl" "$ours" "admesh --write-ascii-stl" "$peer" 0.5

ours=$(best "$bin/meshtobinary" model-ascii.stl ours-binary.stl)
peer=$(best admesh -b admesh-binary.stl model-ascii.stl)
row "meshtobinary model-ascii.stl" "$ours" "admesh -b (same ASCII)" "$peer" 0.5

copy=$(best cp model.stl copy.stl)
for program in meshstats meshbounds meshverify; do
  ours=$(best "$bin/$program" model.stl)
  row "$program model.stl" "$ours" "cp model.stl" "$copy" 3
done
ours=$(best "$bin/meshjoin" half1.stl half2.stl joined.stl)
row "meshjoin half1.stl half2.stl" "$ours" "cp model.stl" "$copy" 4
ours=$(best "$bin/meshpaint" model.stl 255 128 0 painted.stl)
row "meshpaint model.stl 255 128 0" "$ours" "cp model.stl" "$copy" 4
