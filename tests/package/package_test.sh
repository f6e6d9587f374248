#!/bin/sh
# Builds the Debian package of a build folder and checks it: every program (from the
# build's list, so new programs are covered) in /usr/bin, executable and stripped; every
# manual page under /usr/share/man; the README under /usr/share/doc/meshpix. Then, with
# dpkg, installs it into a scratch root, runs a program from there, finds a page with
# man, and removes it again, leaving no file behind.
# Usage: package_test.sh build_dir programs.txt man_dir cube.stl
set -u
build=$1
programs=$2
mandir=$3
cube=$4
for tool in cpack dpkg-deb; do
  command -v $tool >/dev/null 2>&1 || { echo "$tool is missing: package not tested"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/meshpix-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
failed=0
fail() { echo "$*"; failed=1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { cat "$work/cpack.log"; echo "cpack wrote no package"; exit 1; }
dpkg-deb -c "$deb" | awk '{ print $1, $6 }' >"$work/list" || fail "dpkg-deb -c failed"
dpkg-deb -f "$deb" Package | grep -qx meshpix || fail "package name is not meshpix"

has() { grep -q " \\./$1\$" "$work/list"; }
count=0
while read -r name; do
  [ -n "$name" ] || continue
  count=$((count + 1))
  grep -q "^-rwx.* \\./usr/bin/$name\$" "$work/list" || fail "usr/bin/$name missing or not executable"
  has "usr/share/man/man1/$name.1" || fail "usr/share/man/man1/$name.1 missing"
done <"$programs"
[ "$count" -gt 0 ] || fail "no program in $programs"
for page in "$mandir"/*.1 "$mandir"/*.7; do
  [ -f "$page" ] || continue
  base=$(basename "$page")
  has "usr/share/man/man${base##*.}/$base" || fail "usr/share/man/man${base##*.}/$base missing"
done
has usr/share/doc/meshpix/README.md || fail "usr/share/doc/meshpix/README.md missing"

# Stripped: no symbol table left in any program.
dpkg-deb -x "$deb" "$work/tree"
if command -v readelf >/dev/null 2>&1; then
  for exe in "$work"/tree/usr/bin/*; do
    readelf -S "$exe" | grep -q '\.symtab' && fail "$(basename "$exe") is not stripped"
  done
fi

# Install into a scratch root, use it, remove it.
if command -v dpkg >/dev/null 2>&1; then
  root=$work/root
  mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
  : >"$root/var/lib/dpkg/status"
  # The scratch root's database knows no other package, libc6 included.
  dpkg --root="$root" --force-not-root --force-depends -i "$deb" >"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; fail "dpkg -i failed"; }
  installed=$(ls "$root/usr/bin" | wc -l)
  [ "$installed" -eq "$count" ] || fail "dpkg -i installed $installed programs, not $count"
  line=$("$root/usr/bin/meshstats" "$cube" | cut -f2-)
  [ "$line" = "$(printf '12\t6.000000\t1.000000')" ] || fail "installed meshstats printed '$line'"
  if command -v man >/dev/null 2>&1; then
    found=$(MANPATH="$root/usr/share/man" man -w meshorbit 2>/dev/null)
    [ "$found" = "$root/usr/share/man/man1/meshorbit.1" ] || fail "man found '$found' for meshorbit"
  fi
  dpkg --root="$root" --force-not-root -r meshpix >>"$work/dpkg.log" 2>&1 ||
    { cat "$work/dpkg.log"; fail "dpkg -r failed"; }
  left=$(find "$root/usr" -type f 2>/dev/null | wc -l)
  [ "$left" -eq 0 ] || fail "dpkg -r left $left files"
fi
[ "$failed" = 0 ] && echo "package $(basename "$deb"): $count programs, pages and README checked"
exit $failed
