#!/usr/bin/env bash
# Shows the real window on a virtual X display and saves screenshots of it.
#
#   screenshot.sh [EXECUTABLE] [OUTPUT_FOLDER]
#
# Defaults: build/app/vistrel and artifacts/. Saves OUTPUT_FOLDER/vistrel-notice.png (the
# start-up notice, shown before the window) and OUTPUT_FOLDER/vistrel-window.png (the window
# after the notice was answered with Enter).
set -euo pipefail

readonly ME="screenshot.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
EXE="${1:-$ROOT/build/app/vistrel}"
OUT="${2:-$ROOT/artifacts}"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

[[ -x "$EXE" ]] || die "$EXE not found: build the project first (cmake -S . -B build && cmake --build build -j2)"
for tool in Xvfb import xdotool; do
    command -v "$tool" >/dev/null || die "$tool not found: run bash scripts/install-deps.sh"
done
mkdir -p "$OUT"

xvfb_pid=""
app_pid=""
cleanup() {
    [[ -z "$app_pid" ]] || kill "$app_pid" 2>/dev/null || true
    [[ -z "$xvfb_pid" ]] || kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# shellcheck source=scripts/xvfb.sh
source "$ROOT/scripts/xvfb.sh"
start_xvfb "$OUT/xvfb.log" || die "no virtual X display to show the window on"

QT_QPA_PLATFORM=xcb "$EXE" >"$OUT/vistrel-screenshot.log" 2>&1 &
app_pid=$!

# The start-up notice comes first: wait for it, photograph it, answer it with Enter.
notice=""
for _ in $(seq 1 100); do
    notice="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true)"
    notice="${notice%%$'\n'*}"
    [[ -n "$notice" ]] && break
    kill -0 "$app_pid" 2>/dev/null || die "$EXE ended before showing anything (see $OUT/vistrel-screenshot.log)"
    sleep 0.1
done
[[ -n "$notice" ]] || die "$EXE showed no window within 10 s"
sleep 1
import -window root "$OUT/vistrel-notice.png"
xdotool windowfocus --sync "$notice" 2>/dev/null || xdotool windowfocus "$notice"
xdotool key Return

# Then the main window.
sleep 2
kill -0 "$app_pid" 2>/dev/null || die "$EXE ended after the notice (see $OUT/vistrel-screenshot.log)"
import -window root "$OUT/vistrel-window.png"
echo "$ME: saved $OUT/vistrel-notice.png and $OUT/vistrel-window.png"
