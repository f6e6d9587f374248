#!/bin/sh
# Runs examples/batch/Makefile with -j2 over three generated ellipsoids and checks every
# output (outputs.sh); then that a second make has nothing to do, that a changed model is
# rebuilt alone, and that the README's xargs -P recipe gives the same statistics (and GNU
# parallel's the same turntables).
# Usage: batch_test.sh make bin_dir Makefile
set -u
MAKE=$1
PATH=$(cd "$2" && pwd):$PATH
makefile=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
here=$(cd "$(dirname "$0")" && pwd)
export PATH LC_ALL=C
work=$(mktemp -d "${TMPDIR:-/tmp}/meshpix-batch.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failed=0
fail() { echo "FAIL: $*"; failed=1; }

. "$here/outputs.sh"
make_models models
"$MAKE" -j2 -f "$makefile" MODELS=models OUT=out >make.log 2>&1 || { cat make.log; fail "make -j2 failed"; }
check_outputs models out

# Nothing to do a second time; a changed model is made again, alone.
"$MAKE" -q -f "$makefile" MODELS=models OUT=out || fail "a second make would rebuild"
sleep 1
icosasphere 1 0 0 0 0 90 0 2 2 2 models/ball.stl
"$MAKE" -n -f "$makefile" MODELS=models OUT=out >rebuild.log
grep -q 'models/ball.stl' rebuild.log || fail "the changed model is not rebuilt"
grep -q -e 'models/egg.stl' -e 'models/drop.stl' rebuild.log && fail "unchanged models are rebuilt: $(cat rebuild.log)"
"$MAKE" -j2 -f "$makefile" MODELS=models OUT=out >make2.log 2>&1 || fail "second make failed"
[ "$(cut -f2 out/ball.stats)" = 80 ] || fail "out/ball.stats not remade: $(cat out/ball.stats)"

# The README's xargs recipe: the same statistics, four at a time.
mkdir stats
find models -name '*.stl' -print0 |
  xargs -0 -P 4 -I {} sh -c 'meshstats "$1" > "stats/$(basename "$1" .stl).stats"' sh {} ||
  fail "xargs recipe failed"
for s in out/*.stats; do
  cmp -s "$s" "stats/$(basename "$s")" || fail "xargs gives another $(basename "$s")"
done

# The README's GNU parallel recipe, where parallel is installed: the same turntables.
if command -v parallel >/dev/null 2>&1; then
  mkdir turntables
  parallel -j 4 "echo '0 20 15 0 24' | meshorbit {} -160 1 60 255 255 255 0 0 0 200 200 200 turntables/{/.}.gif" \
    ::: models/*.stl </dev/null || fail "parallel recipe failed"
  for g in out/*.gif; do
    cmp -s "$g" "turntables/$(basename "$g")" || fail "parallel gives another $(basename "$g")"
  done
fi

[ "$failed" = 0 ] && echo "batch: 3 models, turntables, statistics and slices checked"
exit $failed
