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
#   window-after.png     after Conectar on both rows and a run of "4-COMPARAR TABELAS/VIEWS"
#   window-errorlog.png  the same window after "LOG DE ERROS"
#
# plus vistrel.log (what the program printed). The clicks go to fixed points of the window: its
# layout has a fixed size (1276x693) and the points below are the centres of the buttons in it.
set -euo pipefail
export LC_ALL=C.UTF-8

readonly ME="demo-screenshots.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
EXE="${1:-$ROOT/build/app/vistrel}"
OUT="${2:-$ROOT/artifacts}"

# Centres of the controls, relative to the window's top-left corner.
readonly SOURCE_CONNECT="1197 43" # Button2, "Conectar" of the source row
readonly TARGET_CONNECT="1197 95" # Button3, "Conectar" of the target row
readonly SOURCE_LAMP="1248 38"    # status1, left of its caption
readonly TARGET_LAMP="1248 90"    # status2, left of its caption
readonly TABLES_BUTTON="401 672"  # INICIAR, "4-COMPARAR TABELAS/VIEWS"
readonly ERRORLOG_BUTTON="983 672" # Button8, "LOG DE ERROS"

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
rm -f "$OUT"/window-{before,after,errorlog,failure}.png

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

# The main window: the visible window titled "Vistrel" of the window's size.
win_x=""
win_y=""
for _ in $(seq 1 100); do
    alive "after the notice"
    for id in $(xdotool search --onlyvisible --name '^Vistrel$' 2>/dev/null || true); do
        geometry="$(xdotool getwindowgeometry --shell "$id" 2>/dev/null || true)"
        if grep -qx 'WIDTH=1276' <<<"$geometry" && grep -qx 'HEIGHT=693' <<<"$geometry"; then
            win_x="$(sed -n 's/^X=//p' <<<"$geometry")"
            win_y="$(sed -n 's/^Y=//p' <<<"$geometry")"
            break 2
        fi
    done
    sleep 0.1
done
[[ -n "$win_x" && -n "$win_y" ]] || die "the 1276x693 window titled Vistrel did not appear within 10 s"
sleep 1

shoot() { # name
    import -window root -crop "1276x693+$win_x+$win_y" +repage "$OUT/$1"
    say "saved $OUT/$1"
}

click() { # "x y" relative to the window
    local x y
    read -r x y <<<"$1"
    xdotool mousemove --sync "$((win_x + x))" "$((win_y + y))" click 1
}

# Colour of one screen point of the window as rrggbb.
colour_at() { # "x y" relative to the window
    local x y
    read -r x y <<<"$1"
    import -window root -crop "1x1+$((win_x + x))+$((win_y + y))" +repage -depth 8 txt:- 2>/dev/null |
        sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p' | tail -n 1 | tr 'A-F' 'a-f'
}

# A lamp is green when its green part clearly outweighs the red one.
lamp_is_green() { # "x y"
    local c r g
    c="$(colour_at "$1")"
    [[ ${#c} -eq 6 ]] || return 1
    r=$((16#${c:0:2}))
    g=$((16#${c:2:2}))
    ((g > 128 && r < 128))
}

wait_lamp() { # label "x y"
    for _ in $(seq 1 150); do
        lamp_is_green "$2" && return 0
        alive "while connecting the $1"
        sleep 0.2
    done
    die "the $1 lamp did not turn green within 30 s (colour #$(colour_at "$2"); see $OUT/vistrel.log)"
}

# 3. Before.
shoot window-before.png

# 4. Both rows connected.
click "$SOURCE_CONNECT"
wait_lamp source "$SOURCE_LAMP"
click "$TARGET_CONNECT"
wait_lamp target "$TARGET_LAMP"
say "both rows connected"

# 5. The tables and views process; it has ended when the target holds every relation of the
#    source, and its log has had a moment to be painted.
click "$TABLES_BUTTON"
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

# 6. The error log.
click "$ERRORLOG_BUTTON"
sleep 1
shoot window-errorlog.png

# 7. Close the program and the display (the trap does it; the Firebird client may catch SIGTERM).
cleanup
app_pid=""
xvfb_pid=""
say "done"
