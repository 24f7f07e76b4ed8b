#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (seconds, default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
command -v clang++ >/dev/null || { echo "fuzz.sh: clang++ is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -DVISTREL_FUZZ=ON -DVISTREL_TESTS=OFF -DVISTREL_APP=OFF \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target fuzz_paramscan fuzz_extracttext
for name in paramscan extracttext; do
    work="$build/corpus/$name"
    mkdir -p "$work"
    echo "fuzz.sh: fuzz_$name for ${seconds}s"
    "$build/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 "$work" "fuzz/corpus/$name"
done
echo "fuzz.sh: no finding"
