#!/bin/sh
# Builds the client fuzzer with clang and runs it for SECONDS (default 60) from the seed corpus.
# New inputs go to BUILD/corpus, crashes to BUILD/artifacts. Exit status 0 when nothing was found.
#   fuzz/run.sh [SECONDS]     TALLYVANE_FUZZ_BUILD=dir   TALLYVANE_SOURCE_DIR=top-level source dir
set -eu
seconds=${1:-60}
here=$(cd "$(dirname "$0")" && pwd)
source_dir=${TALLYVANE_SOURCE_DIR:-$(dirname "$here")}
build=${TALLYVANE_FUZZ_BUILD:-${TMPDIR:-/tmp}/tallyvane-fuzz}
compiler=${CXX_FUZZ:-$(command -v clang++-14 || command -v clang++)}

cmake -S "$source_dir" -B "$build" -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLYVANE_FUZZ=ON -DTALLYVANE_SANITIZE=fuzzer-no-link,address,undefined \
  -DTALLYVANE_BUILD_TESTS=ON -DTALLYVANE_BUILD_BENCH=OFF >"$build.configure.log"
cmake --build "$build" -j2 --target tallyvane_fuzz_client
fuzzer=$(find "$build" -type f -name tallyvane_fuzz_client -perm -u+x | head -n 1)

mkdir -p "$build/corpus" "$build/artifacts"
"$fuzzer" -max_total_time="$seconds" -max_len=32768 -dict="$here/client.dict" \
  -artifact_prefix="$build/artifacts/" -print_final_stats=1 "$build/corpus" "$here/corpus"
