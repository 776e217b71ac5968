#!/usr/bin/env bash
# Builds Tallyvane and runs the whole test suite: warnings as errors, then again under
# AddressSanitizer + UndefinedBehaviorSanitizer, a bounded fuzzing run, and the threaded
# parts under ThreadSanitizer. Dependencies: tools/install-deps.sh.
set -euo pipefail
cd "$(dirname "$0")"
jobs="$(nproc)"

configure_and_build() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja -DTALLYVANE_WERROR=ON "$@"
  cmake --build "$dir" -j "$jobs"
}

configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
pass_line="PASS: quota parsing, Codex path layouts, panel placement; demo without process or polling when --demo-data is set"
for switches in "--self-test" "--self-test --demo-data" "--demo-data --self-test"; do
  # shellcheck disable=SC2086
  out="$(build/app/tallyvane $switches)" || { echo "self-test $switches: exit status $?"; exit 1; }
  [ "$out" = "$pass_line" ] || { echo "self-test $switches printed: $out"; exit 1; }
done
ctest --test-dir build --output-on-failure -j "$jobs"
# The Debian package is installed on this machine and tried from /usr/bin: only as root.
if [ "$(id -u)" -eq 0 ]; then
  sh packaging/test-deb.sh build
else
  echo "Debian package check skipped: it installs the package, run as root to include it."
fi

configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DTALLYVANE_SANITIZE=address,undefined -DTALLYVANE_BUILD_BENCH=OFF
ctest --test-dir build-asan --output-on-failure -j "$jobs"

# The child's output path under libFuzzer, for a bounded time.
TALLYVANE_FUZZ_BUILD="$PWD/build-fuzz" fuzz/run.sh 60

configure_and_build build-tsan -DCMAKE_BUILD_TYPE=Debug -DTALLYVANE_SANITIZE=thread -DTALLYVANE_BUILD_BENCH=OFF
ctest --test-dir build-tsan --output-on-failure -j "$jobs" -L core
