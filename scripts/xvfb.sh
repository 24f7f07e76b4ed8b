# Sourced by the scripts that show the real window: starts a virtual X display and returns only
# once it accepts clients. Xvfb picks a free display number itself and writes it on the
# -displayfd descriptor when it is ready, so there is no guessing with a timed wait.
#
#   start_xvfb LOG [SECONDS]   sets xvfb_pid and exports DISPLAY; on failure prints why and
#                              returns 1 (Xvfb ended, or was not ready within SECONDS, default 60)
#
# The screen is 1400x800 unless VISTREL_SCREEN gives another size (WIDTHxHEIGHT).

start_xvfb() {
    local log="$1" seconds="${2:-60}" fifo_dir number=""
    fifo_dir="$(mktemp -d)" || return 1
    mkfifo "$fifo_dir/display" || {
        rm -rf "$fifo_dir"
        return 1
    }
    Xvfb -displayfd 3 -screen 0 "${VISTREL_SCREEN:-1400x800}x24" -nolisten tcp 3>"$fifo_dir/display" >"$log" 2>&1 &
    xvfb_pid=$!
    # The read ends at the number, at end of file when Xvfb ends without one, or at the timeout.
    read -r -t "$seconds" number <"$fifo_dir/display" || true
    rm -rf "$fifo_dir"
    if [[ ! "$number" =~ ^[0-9]+$ ]]; then
        if kill -0 "$xvfb_pid" 2>/dev/null; then
            echo "Xvfb did not get a display ready within $seconds s (see $log)" >&2
            kill "$xvfb_pid" 2>/dev/null || true
        else
            echo "Xvfb ended before its display was ready (see $log)" >&2
        fi
        wait "$xvfb_pid" 2>/dev/null || true
        xvfb_pid=""
        return 1
    fi
    export DISPLAY=":$number"
}
