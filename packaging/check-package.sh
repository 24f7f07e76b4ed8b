#!/usr/bin/env bash
# Installs the Debian package, checks the command vistrel-sync and its manual page, starts the
# installed program on a virtual X display, checks that its window shows, saves a screenshot,
# and removes the package again. Needs root (apt-get).
#
#   check-package.sh DEB [OUTPUT_FOLDER]
#
# Saves OUTPUT_FOLDER/vistrel-package-window.png (default: artifacts/). Fails when the package
# does not install, the program ends early, or no 1276 x 693 "Vistrel" window appears.
set -euo pipefail

readonly ME="check-package.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
[[ $# -ge 1 ]] || {
    echo "usage: $ME DEB [OUTPUT_FOLDER]" >&2
    exit 2
}
DEB="$(cd "$(dirname "$1")" && pwd -P)/$(basename "$1")"
OUT="${2:-$ROOT/artifacts}"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

[[ -f "$DEB" ]] || die "$DEB not found: run bash scripts/package.sh first"

# Debian's package checker, when it is installed: no error and no warning. Informational notes
# and pedantic tags are shown but do not fail the check.
if command -v lintian >/dev/null; then
    lintian_out="$(lintian --tag-display-limit 0 "$DEB" 2>&1)" || true
    [[ -z "$lintian_out" ]] || printf '%s\n' "$lintian_out"
    if [[ "$lintian_out" =~ (^|$'\n')[EW]: ]]; then
        die "lintian reports errors or warnings on $DEB"
    fi
    echo "$ME: lintian: no error and no warning"
else
    echo "$ME: lintian not installed: the package's lint check is skipped"
fi

[[ "$(id -u)" -eq 0 ]] || die "installing the package needs root"
for tool in apt-get Xvfb xwininfo xdotool import; do
    command -v "$tool" >/dev/null || die "$tool not found: run bash scripts/install-deps.sh"
done
mkdir -p "$OUT"

xvfb_pid=""
app_pid=""
installed=""
cleanup() {
    # The Firebird client library catches SIGTERM and SIGINT in the program, so it is ended with
    # SIGKILL before its display goes away.
    if [[ -n "$app_pid" ]]; then
        kill -KILL "$app_pid" 2>/dev/null || true
        wait "$app_pid" 2>/dev/null || true
    fi
    [[ -z "$xvfb_pid" ]] || kill "$xvfb_pid" 2>/dev/null || true
    if [[ -n "$installed" ]]; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 remove -y vistrel >/dev/null ||
            echo "$ME: warning: removing the package failed" >&2
    fi
}
trap cleanup EXIT

export DEBIAN_FRONTEND=noninteractive
apt-get -o DPkg::Lock::Timeout=600 install -y "$DEB" || die "apt-get could not install $DEB"
installed=1
[[ -x /usr/bin/vistrel ]] || die "the package installed no /usr/bin/vistrel"
[[ -f /usr/share/applications/vistrel.desktop ]] || die "the package installed no menu entry"
[[ -f /usr/share/icons/hicolor/scalable/apps/vistrel.svg ]] || die "the package installed no icon"
[[ -x /usr/bin/vistrel-sync ]] || die "the package installed no /usr/bin/vistrel-sync"
[[ -f /usr/share/man/man1/vistrel-sync.1.gz ]] || die "the package installed no manual page for vistrel-sync"
[[ -f /usr/share/man/man1/vistrel.1.gz ]] || die "the package installed no manual page for vistrel"
[[ -f /usr/share/doc/vistrel/copyright && -f /usr/share/doc/vistrel/changelog.gz ]] ||
    die "the package installed no copyright file or change log"
window_version="$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/vistrel --version)" ||
    die "the installed vistrel --version failed without a display"
[[ "$window_version" == "V:"* ]] || die "the installed vistrel --version printed: $window_version"
sync_version="$(/usr/bin/vistrel-sync --version)" || die "the installed vistrel-sync --version failed"
[[ "$sync_version" == "V:"* ]] || die "the installed vistrel-sync printed no version text: $sync_version"

# shellcheck source=scripts/xvfb.sh
source "$ROOT/scripts/xvfb.sh"
start_xvfb "$OUT/xvfb.log" || die "no virtual X display to show the window on"

QT_QPA_PLATFORM=xcb /usr/bin/vistrel >"$OUT/vistrel-package.log" 2>&1 &
app_pid=$!

# The start-up notice comes first; Enter answers it and the main window follows.
notice=""
for _ in $(seq 1 100); do
    notice="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true)"
    notice="${notice%%$'\n'*}"
    [[ -n "$notice" ]] && break
    kill -0 "$app_pid" 2>/dev/null || die "/usr/bin/vistrel ended before showing anything (see $OUT/vistrel-package.log)"
    sleep 0.1
done
[[ -n "$notice" ]] || die "/usr/bin/vistrel showed nothing within 10 s"
sleep 1
xdotool windowfocus --sync "$notice" 2>/dev/null || xdotool windowfocus "$notice"
xdotool key Return

window=""
for _ in $(seq 1 100); do
    window="$(xwininfo -root -tree | grep -E '"Vistrel": \("vistrel" "Vistrel"\)  1276x693' || true)"
    [[ -n "$window" ]] && break
    kill -0 "$app_pid" 2>/dev/null || die "/usr/bin/vistrel ended after the notice (see $OUT/vistrel-package.log)"
    sleep 0.1
done
[[ -n "$window" ]] || die "no 1276x693 Vistrel window appeared (see $OUT/vistrel-package.log)"
sleep 1
import -window root "$OUT/vistrel-package-window.png"
echo "$ME: window shown by the installed program:$window"
echo "$ME: saved $OUT/vistrel-package-window.png"
