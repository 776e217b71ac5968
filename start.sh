#!/usr/bin/env bash
# Installs what Tallyvane needs, builds it and starts it: live when a `codex` is found, else on demo data.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j "$(nproc)" --target tallyvane
codex_found=no
for candidate in /usr/local/bin/codex "$HOME/.local/bin/codex"; do
  [ -x "$candidate" ] && codex_found=yes
done
command -v codex >/dev/null 2>&1 && codex_found=yes
if [ "$codex_found" = yes ]; then
  exec build/app/tallyvane
else
  echo "Aucun codex trouvé : Tallyvane démarre sur des données de démonstration." >&2
  exec build/app/tallyvane --demo-data
fi
