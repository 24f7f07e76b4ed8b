#!/usr/bin/env bash
# Runs the real window on the demonstration databases under a virtual X display and saves
# pictures of it:
#
#   demo-screenshots.sh [EXECUTABLE] [OUTPUT_FOLDER]
#
# Defaults: build/app/vistrel and artifacts/. Rebuilds the demo databases (scripts/demo.sh, so
# run as root), starts the window, answers the start-up notice and saves, in OUTPUT_FOLDER:
#
#   window-before.png    the window as it opens
#   window-after.png     after Conectar on both rows and runs of "3-COMPARAR DOMAINS" and
#                        "4-COMPARAR TABELAS/VIEWS"
#   screen-after.png     the whole screen at that moment
#   window-errorlog.png  the same window after "LOG DE ERROS"
#
# plus vistrel.log (what the program printed). The virtual screen is 1400x800 unless
# VISTREL_SCREEN gives another size (for example VISTREL_SCREEN=1024x768); the window sizes itself
# to it. The buttons are pressed by their mnemonics (Alt with the underlined letter), and a lamp
# is green when the lime of a connected row shows in the top band, so nothing depends on where
# the layout puts a control.
set -euo pipefail
export LC_ALL=C.UTF-8

readonly ME="demo-screenshots.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
EXE="${1:-$ROOT/build/app/vistrel}"
OUT="${2:-$ROOT/artifacts}"

# The mnemonics of the buttons pressed.
readonly SOURCE_CONNECT="alt+c"  # Button2, "Conectar" of the source row
readonly TARGET_CONNECT="alt+n"  # Button3, "Conectar" of the target row
readonly DOMAINS_BUTTON="alt+3"  # Button10, "3-COMPARAR DOMAINS"
readonly TABLES_BUTTON="alt+4"   # INICIAR, "4-COMPARAR TABELAS/VIEWS"
readonly ERRORLOG_BUTTON="alt+l" # Button8, "LOG DE ERROS"
# Pixels of a lit lamp (25 x 21 less its frame): one lamp lit shows at least this many.
readonly LAMP_PIXELS=300

# The demo databases, as the window's presets reach them (see scripts/demo.sh).
readonly SRC_DB='127.0.0.1:F:\sgbd\dep25\fatura.fdb'
readonly SRC_USER='SYSDBA'
readonly SRC_PASSWORD='k#tuv!(mo&qez1936'
readonly TGT_DB='127.0.0.1:E:\SGBD\fatura.fdb'
readonly TGT_USER='sysdba'
readonly TGT_PASSWORD='tomen47'
readonly RUN_TIMEOUT=120

die() {
    echo "$ME: error: $*" >&2
    # What the screen showed at that moment, when there is a screen.
    if [[ -n "${DISPLAY_UP:-}" ]]; then
        import -window root "$OUT/window-failure.png" 2>/dev/null &&
            echo "$ME: the screen at that moment: $OUT/window-failure.png" >&2
    fi
    exit 1
}

say() {
    echo "$ME: $*"
}

[[ -x "$EXE" ]] || die "$EXE not found: build the project first (cmake -S . -B build && cmake --build build -j2)"
for tool in Xvfb import convert xdotool isql-fb; do
    command -v "$tool" >/dev/null || die "$tool not found: run bash scripts/install-deps.sh"
done
mkdir -p "$OUT"
rm -f "$OUT"/window-{before,after,errorlog,failure}.png "$OUT"/screen-after.png

# 1. Fresh demo databases.
bash "$ROOT/scripts/demo.sh" >"$OUT/demo.log" 2>&1 || {
    cat "$OUT/demo.log" >&2
    die "scripts/demo.sh failed"
}
say "demo databases rebuilt"

# User tables and views of a database (the password goes through the environment).
relation_count() { # user password database
    # shellcheck disable=SC2016 # RDB$ names are SQL, not shell
    ISC_USER="$1" ISC_PASSWORD="$2" isql-fb -q -b "$3" 2>/dev/null \
        <<<'SET HEADING OFF; SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0;' | tr -d ' \n'
}
src_count="$(relation_count "$SRC_USER" "$SRC_PASSWORD" "$SRC_DB")"
tgt_count="$(relation_count "$TGT_USER" "$TGT_PASSWORD" "$TGT_DB")"
[[ "$src_count" =~ ^[0-9]+$ && "$tgt_count" =~ ^[0-9]+$ ]] ||
    die "the demo databases do not answer (source: '$src_count', target: '$tgt_count')"

# 2. A virtual display and the program on it.

xvfb_pid=""
app_pid=""
stop_pid() { # pid: SIGTERM, then SIGKILL when it is still there after 3 s
    local pid="$1"
    kill "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 30); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
}
cleanup() {
    [[ -z "$app_pid" ]] || stop_pid "$app_pid"
    [[ -z "$xvfb_pid" ]] || stop_pid "$xvfb_pid"
}
trap cleanup EXIT

# shellcheck source=scripts/xvfb.sh
source "$ROOT/scripts/xvfb.sh"
start_xvfb "$OUT/xvfb.log" || die "no virtual X display to show the window on"
disown "$xvfb_pid"
DISPLAY_UP=1

QT_QPA_PLATFORM=xcb "$EXE" >"$OUT/vistrel.log" 2>&1 &
app_pid=$!
# Not a job of this shell: its end by signal (stop_pid) is not reported as a crash.
disown "$app_pid"

alive() {
    kill -0 "$app_pid" 2>/dev/null || die "$EXE ended $1 (see $OUT/vistrel.log)"
}

# The start-up notice comes first: answer it with Enter.
notice=""
for _ in $(seq 1 100); do
    notice="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true)"
    notice="${notice%%$'\n'*}"
    [[ -n "$notice" ]] && break
    alive "before showing anything"
    sleep 0.1
done
[[ -n "$notice" ]] || die "$EXE showed no window within 10 s"
sleep 1
xdotool windowfocus --sync "$notice" 2>/dev/null || xdotool windowfocus "$notice"
xdotool key Return

# The main window: the largest visible window titled "Vistrel" (the notice is smaller).
win_id=""
win_x=""
win_y=""
win_w=0
win_h=0
for _ in $(seq 1 100); do
    alive "after the notice"
    for id in $(xdotool search --onlyvisible --name '^Vistrel$' 2>/dev/null || true); do
        geometry="$(xdotool getwindowgeometry --shell "$id" 2>/dev/null || true)"
        w="$(sed -n 's/^WIDTH=//p' <<<"$geometry")"
        h="$(sed -n 's/^HEIGHT=//p' <<<"$geometry")"
        if [[ "$w" =~ ^[0-9]+$ && "$h" =~ ^[0-9]+$ ]] && ((w >= 800 && w * h > win_w * win_h)); then
            win_id="$id"
            win_x="$(sed -n 's/^X=//p' <<<"$geometry")"
            win_y="$(sed -n 's/^Y=//p' <<<"$geometry")"
            win_w="$w"
            win_h="$h"
        fi
    done
    [[ -n "$win_id" ]] && break
    sleep 0.1
done
[[ -n "$win_id" ]] || die "the window titled Vistrel did not appear within 10 s"
sleep 1
say "window ${win_w}x${win_h} at ${win_x},${win_y}"

shoot() { # name
    import -window root -crop "${win_w}x${win_h}+$win_x+$win_y" +repage "$OUT/$1"
    say "saved $OUT/$1"
}

press() { # keys
    xdotool windowfocus --sync "$win_id" 2>/dev/null || xdotool windowfocus "$win_id"
    xdotool key --clearmodifiers "$1"
}

# Lime pixels (the colour of a connected row's lamp) in the window's top band.
lime_pixels() {
    import -window root -crop "${win_w}x130+$win_x+$win_y" +repage -depth 8 png:- 2>/dev/null |
        convert png:- -fill black +opaque '#00FF00' -fill white -opaque '#00FF00' -format '%[fx:int(mean*w*h+0.5)]' info: 2>/dev/null ||
        echo 0
}

wait_lamps() { # label lamps
    local lit=0
    for _ in $(seq 1 150); do
        lit="$(lime_pixels)"
        [[ "$lit" =~ ^[0-9]+$ ]] && ((lit >= $2 * LAMP_PIXELS)) && return 0
        alive "while connecting the $1"
        sleep 0.2
    done
    die "the $1 lamp did not turn green within 30 s ($lit lime pixels; see $OUT/vistrel.log)"
}

# 3. Before.
shoot window-before.png

# 4. Both rows connected.
press "$SOURCE_CONNECT"
wait_lamps source 1
press "$TARGET_CONNECT"
wait_lamps target 2
say "both rows connected"

# 5. The tables and views process; it has ended when the target holds every relation of the
#    source, and its log has had a moment to be painted.
# The domains first (the columns of the tables use them); the completion message is answered
# with Enter.
press "$DOMAINS_BUTTON"
sleep 3
alive "after the domains process"
xdotool key --clearmodifiers Return
sleep 1
press "$TABLES_BUTTON"
now=""
for _ in $(seq 1 "$RUN_TIMEOUT"); do
    sleep 1
    alive "during the tables and views process"
    now="$(relation_count "$TGT_USER" "$TGT_PASSWORD" "$TGT_DB")"
    [[ "$now" == "$src_count" ]] && break
done
[[ "$now" == "$src_count" ]] ||
    die "after $RUN_TIMEOUT s the target holds $now tables and views, the source $src_count"
sleep 3
alive "after the tables and views process"
say "target now holds $now tables and views (was $tgt_count)"
shoot window-after.png
# The whole screen as well: the window and where it stands on it.
import -window root "$OUT/screen-after.png"
say "saved $OUT/screen-after.png"

# 6. The error log.
press "$ERRORLOG_BUTTON"
sleep 1
shoot window-errorlog.png

# 7. Close the program and the display (the trap does it; the Firebird client may catch SIGTERM).
cleanup
app_pid=""
xvfb_pid=""
say "done"
