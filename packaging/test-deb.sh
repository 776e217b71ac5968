#!/bin/sh
# Builds the Debian package from a finished build, installs it with apt as a user would, runs the installed
# program's self-test and purges the package again. Needs root; changes the machine's installed packages.
# Usage: packaging/test-deb.sh BUILD_DIR
set -eu
export DEBIAN_FRONTEND=noninteractive
build=$(cd "${1:?usage: test-deb.sh BUILD_DIR}" && pwd)

if dpkg-query -W -f '${Status}' tallyvane 2>/dev/null | grep -q 'install ok installed'; then
    echo "FAIL: tallyvane is already installed here; remove it first (apt-get purge tallyvane)"
    exit 1
fi

log=$(mktemp)
trap 'rm -f "$log"' EXIT
quietly() { "$@" >"$log" 2>&1 || { cat "$log"; echo "FAIL: $*"; exit 1; }; }

rm -f "$build"/tallyvane_*.deb
quietly cpack -G DEB --config "$build/CPackConfig.cmake" -B "$build"
set -- "$build"/tallyvane_*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
    echo "FAIL: cpack made no single tallyvane_*.deb"
    exit 1
fi
deb=$1

depends=$(dpkg-deb -f "$deb" Depends)
case $depends in
*libc6*) ;;
*) echo "FAIL: Depends was not computed from the binary: '$depends'"; exit 1 ;;
esac

trap 'apt-get purge -y -qq tallyvane >/dev/null 2>&1; rm -f "$log"' EXIT
quietly apt-get install -y "$deb"

pass='PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set'
actual=$(/usr/bin/tallyvane --self-test)
[ "$actual" = "$pass" ] || { echo "FAIL: /usr/bin/tallyvane --self-test printed '$actual'"; exit 1; }

quietly apt-get purge -y tallyvane
trap 'rm -f "$log"' EXIT
[ ! -e /usr/bin/tallyvane ] || { echo "FAIL: /usr/bin/tallyvane is still there after purge"; exit 1; }

echo "Debian package $(basename "$deb") (Depends: $depends): installed, self-test passed, purged"
