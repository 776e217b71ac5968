#!/bin/sh
# Installs the real Codex peer for the integration tests into DIR. Never fails: without npm or
# without the registry, the test that needs it skips and says so.
dir=$1
spec=$2
if [ -x "$dir/node_modules/.bin/codex" ] && [ "$(cat "$dir/.spec" 2>/dev/null)" = "$spec" ]; then
  exit 0
fi
mkdir -p "$dir"
rm -rf "$dir/node_modules"
if ! command -v npm >/dev/null 2>&1; then
  echo "npm not found: the real-peer test will skip" | tee "$dir/install.log"
  exit 0
fi
if timeout 600 npm install --prefix "$dir" --no-audit --no-fund --no-save "$spec" >"$dir/install.log" 2>&1; then
  echo "$spec" >"$dir/.spec"
else
  echo "npm install $spec failed: the real-peer test will skip (see $dir/install.log)"
  rm -rf "$dir/node_modules"
fi
exit 0
