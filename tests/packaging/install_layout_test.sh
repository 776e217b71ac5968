#!/bin/sh
# Installs the build under an unusual prefix in a scratch DESTDIR: exactly the expected files, valid
# desktop entries, icons and manual page, and an installed program that runs. Usage: install_layout_test.sh BUILD_DIR
set -u
for tool in desktop-file-validate groff file; do
    command -v $tool >/dev/null || { echo "$tool is needed (apt-get install desktop-file-utils groff-base file)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=/opt/tallyvane-layout
installed="$work/root$prefix"
DESTDIR="$work/root" cmake --install "$1" --prefix $prefix >"$work/install.log" 2>&1 || { cat "$work/install.log"; echo "FAIL: cmake --install"; exit 1; }
failed=0
fail() { echo "FAIL: $*"; failed=1; }

sizes='16 22 24 32 48 64 128 256'
{ printf '%s\n' bin/tallyvane lib/tallyvane/tallyvane-desktop.so share/applications/tallyvane.desktop share/man/man1/tallyvane.1.gz \
    share/icons/hicolor/scalable/apps/tallyvane.svg share/tallyvane/autostart/tallyvane.desktop
  for size in $sizes; do echo "share/icons/hicolor/${size}x$size/apps/tallyvane.png"; done; } | sed "s|^|${prefix#/}/|" | LC_ALL=C sort >"$work/expected"
(cd "$work/root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/actual"
diff -u "$work/expected" "$work/actual" || fail "installed files differ from the expected list"

for entry in applications/tallyvane.desktop tallyvane/autostart/tallyvane.desktop; do
    desktop-file-validate "$installed/share/$entry" || fail "$entry is not a valid desktop entry"
done
menu="$installed/share/applications/tallyvane.desktop"
grep -qx 'Categories=Utility;' "$menu" && grep -q '^Comment\[fr\]=' "$menu" && ! grep -q '^NoDisplay' "$menu" ||
    fail "the menu entry is not a visible utility with a French comment"
for size in $sizes; do
    file "$installed/share/icons/hicolor/${size}x$size/apps/tallyvane.png" | grep -q "PNG image data, $size x $size," || fail "no ${size}x$size icon"
done
page="$installed/share/man/man1/tallyvane.1.gz"
warnings=$(gzip -dc "$page" | groff -man -ww -z 2>&1)
[ -z "$warnings" ] || fail "manual page: $warnings"
for topic in SYNOPSIS OPTIONS 'EXIT STATUS' FILES '\\-\\-self\\-test' '\\-\\-demo\\-data' status.json; do
    gzip -dc "$page" | grep -q "$topic" || fail "manual page does not mention $topic"
done
[ "$("$installed/bin/tallyvane" --self-test 2>&1)" = 'PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set' ] ||
    fail "installed tallyvane --self-test did not pass"
exit $failed
