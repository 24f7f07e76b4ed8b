#!/usr/bin/env bash
# scripts/demo.sh on a server of its own in a scratch folder and on a free port, never the
# demo's folder, port 3050 or the test suite's server:
#   1. databases.conf rewritten within one second still gets a new modification time;
#   2. a first run with no server and no databases;
#   3. the server stopped, the old databases left in place (after a reboot, say): the run starts
#      the server and at once rewrites its databases.conf, which it read at its start;
#   4. a second run right after, on the running server.
# Skipped (status 77) unless run as root with the Firebird 3 server installed.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)"
if [[ "$(id -u)" -ne 0 || ! -x /usr/sbin/firebird ]] || ! command -v isql-fb >/dev/null; then
    echo "SKIP: needs root and the Firebird 3 server"
    exit 77
fi

work="$(mktemp -d)"
export VISTREL_DEMO_DIR="$work/demo"
cleanup() {
    bash "$ROOT/scripts/fbserver.sh" stop "$VISTREL_DEMO_DIR/server" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# 1. Two replacements in a row: the second must change the time the server compares.
# shellcheck source=scripts/fbconf.sh
source "$ROOT/scripts/fbconf.sh"
echo first >"$work/databases.conf"
before="$(stat -c %Y "$work/databases.conf")"
echo second | fbconf_replace "$work/databases.conf"
after="$(stat -c %Y "$work/databases.conf")"
[[ "$after" != "$before" ]] || fail "databases.conf rewritten in the same second kept its time $before"
[[ "$(cat "$work/databases.conf")" == second ]] || fail "databases.conf does not hold the new content"

# A port that nothing listens on, outside the range the suite's server draws from.
port=""
for _ in $(seq 1 50); do
    candidate=$((12000 + RANDOM % 8000))
    if ! timeout 1 bash -c "exec 3<>/dev/tcp/127.0.0.1/$candidate" 2>/dev/null; then
        port="$candidate"
        break
    fi
done
[[ -n "$port" ]] || {
    echo "FAIL: no free port" >&2
    exit 1
}
export VISTREL_DEMO_PORT="$port"

run_demo() { # label
    local out
    if ! out="$(timeout 180 bash "$ROOT/scripts/demo.sh" 2>&1)"; then
        fail "$1: demo.sh failed:"$'\n'"$out"
        return
    fi
    [[ "$out" == *"source database ready"*"target database ready"*"demo.sh: ready."* ]] ||
        fail "$1: demo.sh did not report both databases ready:"$'\n'"$out"
    [[ "$out" == *"(6 tables and views)"*"(1 tables and views)"* ]] ||
        fail "$1: the databases do not hold the demo schemas:"$'\n'"$out"
}

run_demo "first run"
[[ -f "$VISTREL_DEMO_DIR/F/sgbd/dep25/fatura.fdb" && -f "$VISTREL_DEMO_DIR/E/SGBD/fatura.fdb" ]] ||
    fail "the first run left no database files"
bash "$ROOT/scripts/fbserver.sh" stop "$VISTREL_DEMO_DIR/server" >/dev/null
run_demo "server stopped, old databases present"
bash "$ROOT/scripts/fbserver.sh" status "$VISTREL_DEMO_DIR/server" >/dev/null ||
    fail "the run did not leave its server running"
run_demo "second run in a row"

if ((failures > 0)); then
    echo "$failures failure(s)" >&2
    exit 1
fi
echo "demo runs: all passed"
