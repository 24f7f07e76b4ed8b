#!/usr/bin/env bash
# The window program itself without any display: --help and --version answer, and a plain start
# says in one line that there is no display, instead of the window system's abort.
#   window_without_display_test.sh VISTREL_PROGRAM
set -euo pipefail

program="$1"
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
bare() {
    env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM timeout 30 "$program" "$@"
}

out="$(bare --version 2>&1)" || fail "--version ended with status $?"
[[ "$out" == "V:2.0.9.0" ]] || fail "--version printed: $out"
out="$(bare -V 2>&1)" || fail "-V ended with status $?"
[[ "$out" == "V:2.0.9.0" ]] || fail "-V printed: $out"
out="$(bare --help 2>&1)" || fail "--help ended with status $?"
[[ "$out" == "Uso: vistrel [--help | --version]"* ]] || fail "--help printed: $out"

status=0
err="$(bare 2>&1 >/dev/null)" || status=$?
[[ $status -eq 1 ]] || fail "without a display the status was $status"
[[ "$err" == "vistrel: nenhuma tela disponível (DISPLAY e WAYLAND_DISPLAY não definidos); para a linha de comando use vistrel-sync" ]] ||
    fail "without a display it said: $err"

if ((failures > 0)); then
    exit 1
fi
echo "window program without a display: all passed"
