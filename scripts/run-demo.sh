#!/usr/bin/env bash
# Installs the packages, builds Vistrel, prepares the demonstration databases on the Firebird
# server at 127.0.0.1:3050 (scripts/demo.sh) and opens the window. Run as root.
# Without a display (no DISPLAY), the window is shown on a virtual display instead and
# photographed into artifacts/.
set -euo pipefail

readonly ME="run-demo.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
cd "$ROOT"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

bash scripts/install-deps.sh || die "installing the packages failed"

if [[ -f build/CMakeCache.txt ]]; then
    cmake -S . -B build || die "configuring the build failed"
else
    cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug || die "configuring the build failed"
fi
cmake --build build -j2 || die "the build failed"

bash scripts/demo.sh || die "preparing the demonstration databases failed"

EXE="$ROOT/build/app/vistrel"
[[ -x "$EXE" ]] || die "$EXE was not built: the build has no window program (target vistrel in app/)"

if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
    echo "$ME: no display (DISPLAY is not set): showing the window on a virtual display instead"
    bash scripts/screenshot.sh "$EXE" "$ROOT/artifacts"
    echo "$ME: to work in the window, run from a desktop session, or with an X server: DISPLAY=:0 bash scripts/run-demo.sh"
    exit 0
fi
echo "$ME: starting $EXE"
exec "$EXE"
