#!/usr/bin/env bash
# Private Firebird 3 server instance for tests.
#
#   fbserver.sh start DIR [--port N] [--password PW]
#   fbserver.sh stop DIR
#   fbserver.sh status DIR
#   fbserver.sh env DIR
#
# `start` builds a server root in DIR/conf (its own firebird.conf, security database, SYSDBA
# password and a copy of the character sets module), a lock folder DIR/lock, starts /usr/sbin/firebird on 127.0.0.1 and a free port, waits
# until the port accepts connections and writes DIR/env:
#   VISTREL_FB_PORT, VISTREL_FB_HOST (127.0.0.1/PORT), VISTREL_FB_USER, VISTREL_FB_PASSWORD,
#   VISTREL_FB_PID, VISTREL_FB_DIR
# Clients need no configuration of their own: a plain attach to 127.0.0.1/PORT:/path/file.fdb
# with user name and password (Srp) works with the default client library settings.
# `start` on a DIR whose server still runs leaves it running. `stop` sends SIGTERM, waits, then
# SIGKILL to that server's PID only. `env` prints the env file as `export` lines.
set -euo pipefail
# isql-fb drops input bytes that the locale does not accept: UTF-8 text needs a UTF-8 locale.
export LC_ALL=C.UTF-8

readonly ME="fbserver.sh"
readonly FB_SERVER=/usr/sbin/firebird
readonly FB_ETC=/etc/firebird/3.0
readonly FB_SECURITY_SQL=/usr/share/firebird/3.0/security.sql

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

usage() {
    echo "usage: $ME start DIR [--port N] [--password PW] | stop DIR | status DIR | env DIR" >&2
    exit 2
}

fb_lib_dir() {
    local d
    for d in /usr/lib/*/firebird/3.0 /usr/lib/firebird/3.0; do
        if [[ -f "$d/firebird.msg" ]]; then
            echo "$d"
            return 0
        fi
    done
    return 1
}

check_installation() {
    [[ -x "$FB_SERVER" ]] || die "$FB_SERVER not found: install the Firebird 3 server (bash scripts/install-deps.sh)"
    command -v isql-fb >/dev/null || die "isql-fb not found: install firebird3.0-utils (bash scripts/install-deps.sh)"
    [[ -f "$FB_SECURITY_SQL" ]] || die "$FB_SECURITY_SQL not found: install firebird3.0-server"
    [[ -f "$FB_ETC/plugins.conf" && -f "$FB_ETC/fbintl.conf" ]] || die "$FB_ETC is incomplete: reinstall firebird3.0-common"
    fb_lib_dir >/dev/null || die "firebird.msg not found under /usr/lib/*/firebird/3.0: reinstall firebird3.0-common"
}

port_accepts() {
    timeout 1 bash -c "exec 3<>/dev/tcp/127.0.0.1/$1" 2>/dev/null
}

# True when PID is a Firebird server started with the server root of this DIR.
is_our_server() {
    local pid="$1" conf="$2"
    [[ -n "$pid" && -d "/proc/$pid" ]] || return 1
    [[ "$(readlink "/proc/$pid/exe" 2>/dev/null || true)" == "$FB_SERVER" ]] || return 1
    local environ
    environ="$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null)" || return 1
    [[ $'\n'"$environ"$'\n' == *$'\n'"FIREBIRD=$conf"$'\n'* ]]
}

read_env_value() { # file key
    local values
    values="$(sed -n "s/^$2=//p" "$1")"
    echo "${values%%$'\n'*}"
}

random_password() {
    od -An -tx1 -N12 /dev/urandom | tr -d ' \n'
}

random_free_port() {
    local p
    for _ in $(seq 1 50); do
        p=$((20000 + RANDOM % 12000))
        if ! port_accepts "$p"; then
            echo "$p"
            return 0
        fi
    done
    return 1
}

write_conf() { # conf port
    cat >"$1/firebird.conf" <<EOF
# Private test instance: loopback only, own security database.
RemoteServicePort = $2
RemoteBindAddress = 127.0.0.1
SecurityDatabase = $1/security3.fdb
EOF
}

# Runs isql-fb embedded against the private server root (nothing listens on the files yet).
isql_embedded() { # conf lock
    FIREBIRD="$1" FIREBIRD_LOCK="$2" isql-fb -q -b
}

# Launches the server detached from the caller's terminal, pipes and process group; prints its PID.
launch_server() { # conf lock log
    (
        # Close descriptors inherited from the caller (a test runner's pipes) so that the
        # server never holds them open.
        for fd in "/proc/$BASHPID/fd/"*; do
            fd="${fd##*/}"
            if ((fd > 2)); then
                eval "exec $fd>&-" 2>/dev/null || true
            fi
        done
        export FIREBIRD="$1" FIREBIRD_LOCK="$2"
        exec setsid "$FB_SERVER" </dev/null >>"$3" 2>&1
    ) &
    echo $!
}

stop_pid() { # pid
    local pid="$1"
    kill -TERM "$pid" 2>/dev/null || return 0
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    echo "$ME: server $pid ignored SIGTERM; sending SIGKILL" >&2
    kill -KILL "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.1
    done
    die "server $pid did not end after SIGKILL"
}

cmd_start() {
    local dir="$1" port="$2" password="$3"
    check_installation
    local conf="$dir/conf" lock="$dir/lock" envfile="$dir/env" log="$dir/server.log"

    if [[ -f "$envfile" ]]; then
        local oldpid oldport
        oldpid="$(read_env_value "$envfile" VISTREL_FB_PID)"
        oldport="$(read_env_value "$envfile" VISTREL_FB_PORT)"
        if is_our_server "$oldpid" "$conf" && port_accepts "$oldport"; then
            echo "$ME: server already running in $dir (pid $oldpid, port $oldport)"
            echo "$envfile"
            return 0
        fi
        if is_our_server "$oldpid" "$conf"; then
            stop_pid "$oldpid"
        fi
    fi

    rm -rf "$conf" "$lock" "$envfile"
    mkdir -p "$conf" "$lock"
    local libdir
    libdir="$(fb_lib_dir)"
    cp "$libdir/firebird.msg" "$FB_ETC/plugins.conf" "$FB_ETC/fbintl.conf" "$conf/"
    : >"$conf/databases.conf"
    # The character sets module must be a real file under the server root: through a symbolic
    # link the server loads it but then reports every character set other than NONE, OCTETS,
    # ASCII and the UTF ones as "not installed".
    mkdir -p "$conf/intl"
    cp "$libdir/intl/libfbintl.so" "$FB_ETC/fbintl.conf" "$conf/intl/"
    write_conf "$conf" "${port:-3050}"

    [[ -n "$password" ]] || password="$(random_password)"
    [[ "$password" != *"'"* ]] || die "the password must not contain a single quote"
    isql_embedded "$conf" "$lock" >>"$log" 2>&1 <<EOF || die "could not create the security database $conf/security3.fdb (see $log)"
CREATE DATABASE '$conf/security3.fdb';
INPUT $FB_SECURITY_SQL;
CREATE OR ALTER USER SYSDBA PASSWORD '$password' USING PLUGIN Srp;
COMMIT;
EOF

    local pid="" chosen=""
    for _ in 1 2 3 4 5 6 7 8; do
        if [[ -n "$port" ]]; then
            chosen="$port"
            port_accepts "$chosen" && die "port $chosen on 127.0.0.1 is already in use"
        else
            chosen="$(random_free_port)" || die "no free port found on 127.0.0.1"
        fi
        write_conf "$conf" "$chosen"
        pid="$(launch_server "$conf" "$lock" "$log")"
        for _ in $(seq 1 200); do
            if port_accepts "$chosen"; then
                break 2
            fi
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -0 "$pid" 2>/dev/null && stop_pid "$pid"
        pid=""
        [[ -z "$port" ]] || break
    done
    [[ -n "$pid" ]] || die "the Firebird server did not start on 127.0.0.1 (see $log and /var/log/firebird)"

    (
        umask 077
        cat >"$envfile" <<EOF
VISTREL_FB_PORT=$chosen
VISTREL_FB_HOST=127.0.0.1/$chosen
VISTREL_FB_USER=SYSDBA
VISTREL_FB_PASSWORD=$password
VISTREL_FB_PID=$pid
VISTREL_FB_DIR=$dir
EOF
    )
    echo "$ME: server started in $dir (pid $pid, port $chosen)"
    echo "$envfile"
}

cmd_stop() {
    local dir="$1" conf="$1/conf" envfile="$1/env"
    if [[ ! -f "$envfile" ]]; then
        echo "$ME: no server recorded in $dir"
        return 0
    fi
    local pid
    pid="$(read_env_value "$envfile" VISTREL_FB_PID)"
    if is_our_server "$pid" "$conf"; then
        stop_pid "$pid"
        echo "$ME: server $pid stopped"
    else
        echo "$ME: server recorded in $dir was not running"
    fi
    rm -rf "$envfile" "$conf" "$dir/lock"
}

cmd_status() {
    local dir="$1" envfile="$1/env"
    if [[ -f "$envfile" ]]; then
        local pid port
        pid="$(read_env_value "$envfile" VISTREL_FB_PID)"
        port="$(read_env_value "$envfile" VISTREL_FB_PORT)"
        if is_our_server "$pid" "$dir/conf" && port_accepts "$port"; then
            echo "running (pid $pid, port $port)"
            return 0
        fi
    fi
    echo "not running"
    return 1
}

cmd_env() {
    local dir="$1"
    cmd_status "$dir" >/dev/null || die "no running server in $dir"
    sed 's/^/export /' "$dir/env"
}

main() {
    [[ $# -ge 2 ]] || usage
    local cmd="$1" dir="$2"
    shift 2
    mkdir -p "$dir"
    dir="$(cd "$dir" && pwd -P)"

    local port="" password=""
    while [[ $# -gt 0 ]]; do
        case "$1" in
        --port)
            [[ $# -ge 2 ]] || usage
            port="$2"
            shift 2
            ;;
        --password)
            [[ $# -ge 2 ]] || usage
            password="$2"
            shift 2
            ;;
        *) usage ;;
        esac
    done

    # One start or stop at a time per folder.
    exec 9>"$dir/.fbserver.lock"
    flock 9

    case "$cmd" in
    start) cmd_start "$dir" "$port" "$password" ;;
    stop) cmd_stop "$dir" ;;
    status) cmd_status "$dir" ;;
    env) cmd_env "$dir" ;;
    *) usage ;;
    esac
}

main "$@"
