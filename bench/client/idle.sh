#!/bin/sh
# Resident memory and wakeups per minute of an idle headless Tallyvane, read from /proc over
# SECONDS (after a 5 s warm-up), with the scripted peer as Codex in a temporary HOME.
#   bench/client/idle.sh BUILD_DIR [SECONDS (default 60)] [COMMAND...]
# COMMAND defaults to `client_probe idle`; give the path of `tallyvane` to measure the program itself.
set -eu
build=$(cd "$1" && pwd)
seconds=${2:-60}
shift $(( $# >= 2 ? 2 : 1 ))
fake=$(find "$build" -type f -name fake_codex -perm -u+x | head -n 1)
[ -n "$fake" ] || { echo "fake_codex not built in $build" >&2; exit 1; }
if [ $# -eq 0 ]; then
  set -- "$(find "$build" -type f -name client_probe -perm -u+x | head -n 1)" idle
fi

home=$(mktemp -d "${TMPDIR:-/tmp}/tallyvane-idle-XXXXXX")
trap 'rm -rf "$home"' EXIT
mkdir -p "$home/.local/bin"
ln -s "$fake" "$home/.local/bin/codex"
echo '{}' >"$home/script.json"

# Context switches of every thread of PID: each one is a wakeup of that thread.
switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n }'
}
rss() { awk '/^VmRSS/ { print $2 }' /proc/"$1"/status; }

# Its own runtime folder, so a copy already running for this user does not make it step back.
env -u DISPLAY -u WAYLAND_DISPLAY HOME="$home" XDG_RUNTIME_DIR="$home" FAKE_CODEX_SCRIPT="$home/script.json" "$@" 2>/dev/null &
pid=$!
sleep 5
before=$(switches "$pid")
sleep "$seconds"
after=$(switches "$pid")
echo "command: $*"
echo "threads: $(ls /proc/$pid/task | wc -l)"
echo "resident memory: $(rss "$pid") KiB"
echo "wakeups: $((after - before)) in ${seconds} s ($(( (after - before) * 60 / seconds )) per minute)"
kill -TERM "$pid"
wait "$pid" || true
