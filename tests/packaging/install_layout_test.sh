#!/bin/sh
# Installs the build into a scratch DESTDIR under an unusual prefix and checks that exactly the expected files
# land there, that the desktop entries and the manual page are well formed, and that the installed program runs.
# Usage: install_layout_test.sh BUILD_DIR EXPECTED_FILE_LIST
set -u
build=$1
expected=$2
for tool in desktop-file-validate groff file; do
    command -v "$tool" >/dev/null || { echo "$tool is needed (apt-get install desktop-file-utils groff-base file)"; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root="$work/root"
prefix=/opt/tallyvane-layout

DESTDIR="$root" cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
    cat "$work/install.log"
    echo "FAIL: cmake --install"
    exit 1
}

failed=0
fail() {
    echo "FAIL: $*"
    failed=1
}

(cd "$root" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/actual"
sed "s|^|${prefix#/}/|" "$expected" | LC_ALL=C sort >"$work/expected"
diff -u "$work/expected" "$work/actual" || fail "installed files differ from the expected list"

installed="$root$prefix"
for entry in share/applications/tallyvane.desktop share/tallyvane/autostart/tallyvane.desktop; do
    [ -f "$installed/$entry" ] || continue
    desktop-file-validate "$installed/$entry" || fail "$entry is not a valid desktop entry"
done
if [ -f "$installed/share/applications/tallyvane.desktop" ]; then
    grep -qx 'Categories=Utility;' "$installed/share/applications/tallyvane.desktop" || fail "desktop entry is not a utility"
    grep -q '^NoDisplay' "$installed/share/applications/tallyvane.desktop" && fail "desktop entry hides itself from menus"
    grep -q '^Comment\[fr\]=' "$installed/share/applications/tallyvane.desktop" || fail "desktop entry has no French comment"
fi

for png in "$installed"/share/icons/hicolor/*x*/apps/tallyvane.png; do
    [ -f "$png" ] || continue
    size=$(basename "$(dirname "$(dirname "$png")")")
    file "$png" | grep -q "PNG image data, ${size%x*} x ${size#*x}," || fail "$png is not a $size PNG"
done

page="$installed/share/man/man1/tallyvane.1.gz"
if [ -f "$page" ]; then
    warnings=$(gzip -dc "$page" | groff -man -ww -z 2>&1)
    [ -z "$warnings" ] || fail "manual page: $warnings"
    for topic in SYNOPSIS OPTIONS 'EXIT STATUS' FILES '\\-\\-self\\-test' '\\-\\-demo\\-data' status.json; do
        gzip -dc "$page" | grep -q "$topic" || fail "manual page does not mention $topic"
    done
fi

pass='PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set'
[ "$("$installed/bin/tallyvane" --self-test 2>&1)" = "$pass" ] || fail "installed tallyvane --self-test did not pass"

[ "$failed" -eq 0 ] && echo "install layout: all checks passed"
exit "$failed"
