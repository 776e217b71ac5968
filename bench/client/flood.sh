#!/bin/sh
# Worst main-loop stall and resident memory while the scripted peer floods the model's child pipe.
#   bench/client/flood.sh BUILD_DIR [BYTES (default 1000000000)] [junk|object]
set -eu
build=$(cd "$1" && pwd)
bytes=${2:-1000000000}
kind=${3:-junk}
probe=$(find "$build" -type f -name client_probe -perm -u+x | head -n 1)
[ -n "$probe" ] || { echo "client_probe not built in $build" >&2; exit 1; }
exec "$probe" flood "$bytes" "$kind"
