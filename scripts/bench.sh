#!/usr/bin/env bash
# Runs the benchmark of the seven processes on a private Firebird server and prints its tables.
#
#   scripts/bench.sh [--scale F] [--compare G] [--memory-runs N] [--async-writes] [--processes P]
#
# Builds bench/vistrel_bench (optimised, in $VISTREL_BENCH_BUILD, default build-bench) when it is
# missing or out of date, starts a private server with scripts/fbserver.sh in a temporary folder,
# runs the benchmark against it and stops that server again, also on failure or interrupt.
# Arguments go to the benchmark unchanged:
#   --scale F         every object count times F (default 1: the full schema); 0.1 is a quick run
#   --compare G       everything again at scale G, then the time per object at both scales and its
#                     growth side by side (for example --scale 0.3 --compare 1)
#   --memory-runs N   runs of each process on the full target for the memory figures (default 30)
#   --async-writes    forced writes off on the benchmark's databases (the disk's flush time no
#                     longer weighs on every commit)
#   --processes P     processes 1 to P only (default 7)
set -euo pipefail

readonly ME="bench.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
readonly ROOT
BUILD="${VISTREL_BENCH_BUILD:-$ROOT/build-bench}"
readonly BUILD

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

for arg in "$@"; do
    case "$arg" in
    -h | --help)
        sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
        exit 0
        ;;
    esac
done

if [[ ! -f "$BUILD/CMakeCache.txt" ]]; then
    cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVISTREL_TESTS=ON >/dev/null ||
        die "cmake could not configure $BUILD"
fi
cmake --build "$BUILD" --target vistrel_bench -j2 >/dev/null || die "vistrel_bench did not build in $BUILD"
BENCH="$BUILD/bench/vistrel_bench"
[[ -x "$BENCH" ]] || die "$BENCH is missing after the build"

SERVER_DIR="$(mktemp -d "${TMPDIR:-/tmp}/vistrel-bench-server-XXXXXX")"
readonly SERVER_DIR
stop_server() {
    bash "$ROOT/scripts/fbserver.sh" stop "$SERVER_DIR" >/dev/null 2>&1 || true
    rm -rf "$SERVER_DIR"
}
trap stop_server EXIT
trap 'exit 130' INT TERM

bash "$ROOT/scripts/fbserver.sh" start "$SERVER_DIR" >/dev/null || die "the private Firebird server did not start"

started=$SECONDS
VISTREL_FB_ENV="$SERVER_DIR/env" "$BENCH" "$@"
echo "Benchmark run time: $((SECONDS - started)) s"
