#!/bin/sh
# Lints every manual page with mandoc (or groff where mandoc is missing): any message,
# style hints included, fails. Renders every page as text and fails on markup that
# shows in it: a request name ("0..PP", where a sentence ran into its ".PP") or a
# font escape. Also checks that every built program has its page.
# Usage: lint.sh man_dir programs.txt. Exit 77 (skipped) when neither tool exists.
set -u
dir=$1
programs=$2
if command -v mandoc >/dev/null 2>&1; then
  lint() { mandoc -T lint "$1" 2>&1; }
  render() { mandoc -T utf8 "$1"; }
elif command -v groff >/dev/null 2>&1; then
  lint() { groff -man -ww -z "$1" 2>&1; }
  render() { MANWIDTH=80 GROFF_NO_SGR=1 man -l "$1"; }
else
  echo "neither mandoc nor groff: pages not linted"
  exit 77
fi
# The man macros and roff requests a page uses, as they would show in the text when a
# line does not start with them; the text is taken without its bold and underlining.
requests='TH|SH|SS|PP|LP|P|TP|TQ|IP|HP|RS|RE|B|I|BR|BI|IB|IR|RB|RI|SM|SB|EX|EE|UR|UE|MT|ME'
requests="$requests|SY|YS|OP|nf|fi|br|sp|in|ti|ft|na|ad|ce|ne|de|ds|if|ie|el|so"
markup="(^|[^A-Za-z0-9_])\\.($requests)([^A-Za-z0-9_]|\$)|\\\\f"
shown() { render "$1" | sed 's/.\x08//g' | grep -nE "$markup"; }
failed=0
count=0
for page in "$dir"/*.1 "$dir"/*.7; do
  [ -f "$page" ] || continue
  count=$((count + 1))
  out=$(lint "$page")
  if [ -n "$out" ]; then
    printf '%s\n' "$out"
    failed=1
  fi
  out=$(shown "$page")
  if [ -n "$out" ]; then
    echo "$page: markup in the rendered text:"
    printf '%s\n' "$out"
    failed=1
  fi
done
[ -f "$dir/meshpix.7" ] || { echo "meshpix.7 is missing"; failed=1; }
while read -r name; do
  [ -n "$name" ] || continue
  [ -f "$dir/$name.1" ] || { echo "no manual page for $name"; failed=1; }
done < "$programs"
echo "$count pages linted and rendered"
exit $failed
