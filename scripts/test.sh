#!/usr/bin/env bash
# Installs the packages, builds Vistrel with its tests (Debug, build/) and runs every test.
# The tests start their own private Firebird server (the fbserver fixture of ctest); no system
# server is needed or touched. Before the tests, the real window is shown on a virtual display
# and photographed into artifacts/.
#
#   VISTREL_SANITIZE=1 bash scripts/test.sh   builds with AddressSanitizer and UBSan in build-sanitize/
set -euo pipefail

readonly ME="test.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
cd "$ROOT"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

bash scripts/install-deps.sh || die "installing the packages failed"

BUILD_DIR=build
SANITIZE=OFF
if [[ "${VISTREL_SANITIZE:-0}" == "1" ]]; then
    BUILD_DIR=build-sanitize
    SANITIZE=ON
fi

configure=(cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=Debug -DVISTREL_TESTS=ON -DVISTREL_SANITIZE="$SANITIZE")
if [[ ! -f "$BUILD_DIR/CMakeCache.txt" ]]; then
    configure+=(-G Ninja)
fi
"${configure[@]}" || die "configuring the build failed"
cmake --build "$BUILD_DIR" -j2 || die "the build failed"

if [[ -x "$BUILD_DIR/app/vistrel" ]]; then
    bash scripts/screenshot.sh "$BUILD_DIR/app/vistrel" "$ROOT/artifacts" || die "the real-window check failed"
else
    echo "$ME: $BUILD_DIR/app/vistrel was not built: no real-window screenshot"
fi

cd "$BUILD_DIR"
ctest --output-on-failure --timeout 1200 -j2
