# Shared by the benchmark scripts: timing commands and printing ratios.
#   best_ms "command ..."        the best wall time in milliseconds of $RUNS runs (default 3)
#   compare label ours peer target
#                                prints "label: ours ms, peer ms, ratio r (target <= t)"
BIN=${BIN:-$(cd "$(dirname "$0")/.." && pwd)/build/release/bin}
RUNS=${RUNS:-3}
WORK=${WORK:-/tmp/meshpix-bench}
mkdir -p "$WORK"

best_ms() {
  best=""
  i=0
  while [ "$i" -lt "$RUNS" ]; do
    start=$(date +%s%N)
    sh -c "$1" >/dev/null 2>&1
    end=$(date +%s%N)
    ms=$(( (end - start) / 1000000 ))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
    i=$((i + 1))
  done
  echo "$best"
}

compare() {
  awk -v l="$1" -v a="$2" -v b="$3" -v t="$4" 'BEGIN {
    r = (b > 0) ? a / b : 0
    printf "%-44s %7d ms  vs %7d ms  ratio %5.2f  (target <= %s)%s\n", l, a, b, r, t, (r <= t ? "" : "  MISSED")
  }'
}
