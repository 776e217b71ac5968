#!/bin/sh
# Installs the real Codex peer for the integration tests into DIR, as the npm PACKAGE@VERSION given.
# Never fails: without npm or without the registry, the test that needs it skips and says so.
dir=$1 package=$2
[ -x "$dir/node_modules/.bin/codex" ] && [ "$(cat "$dir/.installed-package" 2>/dev/null)" = "$package" ] && exit 0
mkdir -p "$dir" && rm -rf "$dir/node_modules"
if ! command -v npm >/dev/null 2>&1; then echo "npm not found: the real-peer test will skip" | tee "$dir/install.log"
elif timeout 600 npm install --prefix "$dir" --no-audit --no-fund --no-save "$package" >"$dir/install.log" 2>&1; then
  echo "$package" >"$dir/.installed-package"
else echo "npm install $package failed: the real-peer test will skip (see $dir/install.log)" && rm -rf "$dir/node_modules"
fi
exit 0
