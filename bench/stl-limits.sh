#!/usr/bin/env bash
# How close the STL readers, editors and the sphere generator come to copying the file:
# each row runs our program and its reference (cp of the same bytes) in turn, several
# times, and prints the medians of the wall time and of the processor time (user +
# system) of each, and their ratios. On a shared machine the processor time is the
# steadier figure.
#
# usage: bench/stl-limits.sh [bin_dir] [facets] [runs]
#        (defaults: build/release/bin, 300000, 11; files go to a temporary folder)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../build/release/bin}" && pwd)
facets=${2:-300000}
runs=${3:-11}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

/usr/bin/python3 "$here/make-model.py" model.stl "$facets"
"$bin/icosasphere" 7 0 0 0 0 0 0 1 1 1 sphere.stl

# interleave runs "ours command" "reference command": runs both in turn $runs times and
# prints "ours_wall ours_cpu ref_wall ref_cpu", the medians in milliseconds.
interleave() {
  /usr/bin/python3 - "$runs" "$1" "$2" <<'PY'
import resource, shlex, statistics, subprocess, sys, time
runs, commands = int(sys.argv[1]), [shlex.split(c) for c in sys.argv[2:]]
samples = [([], []) for _ in commands]
for _ in range(runs):
    for (walls, cpus), cmd in zip(samples, commands):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        subprocess.run(cmd, stdout=subprocess.DEVNULL, check=True)
        walls.append(time.perf_counter() - start)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append(after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime)
print(" ".join(f"{statistics.median(s) * 1000:.1f}" for pair in samples for s in pair))
PY
}

echo "model: $(stat -c %s model.stl) bytes, $facets facets asked for; sphere: $(stat -c %s sphere.stl) bytes;" \
     "medians of $runs interleaved runs; load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-34s %-14s %17s %17s %13s  %s\n' "ours" "reference" "ours wall/cpu ms" "ref wall/cpu ms" \
  "ratio w/cpu" "target"
row() {  # row label reference_label target "ours_wall ours_cpu ref_wall ref_cpu"
  read -r ow oc rw rc <<<"$4"
  awk -v l="$1" -v p="$2" -v t="$3" -v ow="$ow" -v oc="$oc" -v pw="$rw" -v pc="$rc" 'BEGIN {
    qw = pw > 0 ? ow / pw : 0; qc = pc > 0 ? oc / pc : 0
    printf "%-34s %-14s %8.1f/%-8.1f %8.1f/%-8.1f %6.2f/%-6.2f <= %s %s\n", l, p, ow, oc, pw, pc,
      qw, qc, t, (qw <= t ? "met" : (qc <= t ? "met in cpu time" : "MISSED"))
  }'
}

for program in meshstats meshbounds meshverify meshfacets; do
  row "$program model.stl" "cp model.stl" 2 \
    "$(interleave "$bin/$program model.stl" "cp model.stl copy.stl")"
done
row "meshmove model.stl 1 2 3" "cp model.stl" 2.5 \
  "$(interleave "$bin/meshmove model.stl 1 2 3 out.stl" "cp model.stl copy.stl")"
row "meshscale model.stl 2" "cp model.stl" 2.5 \
  "$(interleave "$bin/meshscale model.stl 2 out.stl" "cp model.stl copy.stl")"
row "meshtransform model.stl (shear)" "cp model.stl" 2.5 \
  "$(interleave "$bin/meshtransform model.stl 1 1 0.5 0 2 0 1 0 3 0 0 1 out.stl" "cp model.stl copy.stl")"
row "icosasphere 7" "cp sphere.stl" 2 \
  "$(interleave "$bin/icosasphere 7 0 0 0 0 0 0 1 1 1 out.stl" "cp sphere.stl copy.stl")"
