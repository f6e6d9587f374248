#!/bin/sh
# Lints every manual page with mandoc (or groff where mandoc is missing): any message,
# style hints included, fails. Also checks that every built program has its page.
# Usage: lint.sh man_dir programs.txt. Exit 77 (skipped) when neither tool exists.
set -u
dir=$1
programs=$2
if command -v mandoc >/dev/null 2>&1; then
  lint() { mandoc -T lint "$1" 2>&1; }
elif command -v groff >/dev/null 2>&1; then
  lint() { groff -man -ww -z "$1" 2>&1; }
else
  echo "neither mandoc nor groff: pages not linted"
  exit 77
fi
failed=0
count=0
for page in "$dir"/*.1 "$dir"/*.7; do
  [ -f "$page" ] || continue
  count=$((count + 1))
  out=$(lint "$page")
  if [ -n "$out" ]; then
    echo "$out"
    failed=1
  fi
done
[ -f "$dir/meshpix.7" ] || { echo "meshpix.7 is missing"; failed=1; }
while read -r name; do
  [ -n "$name" ] || continue
  [ -f "$dir/$name.1" ] || { echo "no manual page for $name"; failed=1; }
done < "$programs"
echo "$count pages linted"
exit $failed
