#!/usr/bin/env bash
# Prepares the two demonstration databases on the Firebird 3 server at 127.0.0.1 port 3050, so
# that the window's preset fields reach them as they stand:
#
#   source row: 127.0.0.1 | SYSDBA | k#tuv!(mo&qez1936 | F:\sgbd\dep25 | fatura.fdb
#   target row: 127.0.0.1 | sysdba | tomen47           | E:\SGBD       | fatura.fdb
#
# The window names them 127.0.0.1:F:\sgbd\dep25\fatura.fdb and 127.0.0.1:E:\SGBD\fatura.fdb. The
# server reads "F:\sgbd\dep25\fatura.fdb" and "E:\SGBD\fatura.fdb" as database aliases
# (databases.conf), each pointing at a fatura.fdb file of its own folder under the demo folder,
# and each alias has its own security database, so SYSDBA has the source password on the source
# and the target password on the target.
#
# When nothing listens on port 3050, starts /usr/sbin/firebird there with a configuration folder
# of its own (scripts/fbserver.sh, in DEMO_DIR/server; stop it with
# `bash scripts/fbserver.sh stop /var/lib/vistrel-demo/server`); a Firebird server already on
# port 3050 is used as it is, with the aliases written into its databases.conf. Run as root.
# Every run rebuilds both databases from tests/sql/demo_source.sql and tests/sql/demo_target.sql.
# VISTREL_DEMO_DIR changes the demo folder (default /var/lib/vistrel-demo).
set -euo pipefail
# isql-fb drops input bytes that the locale does not accept: UTF-8 text needs a UTF-8 locale.
export LC_ALL=C.UTF-8

readonly ME="demo.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/fbconf.sh
source "$ROOT/scripts/fbconf.sh"
DEMO_DIR="${VISTREL_DEMO_DIR:-/var/lib/vistrel-demo}"
readonly FB_SERVER=/usr/sbin/firebird
readonly FB_ETC=/etc/firebird/3.0
readonly FB_SECURITY_SQL=/usr/share/firebird/3.0/security.sql
# VISTREL_DEMO_PORT moves the demo server off 3050 (the script's own test uses a free port); the
# window's presets reach only port 3050.
readonly PORT="${VISTREL_DEMO_PORT:-3050}"
if [[ "$PORT" == 3050 ]]; then
    readonly HOST=127.0.0.1
else
    readonly HOST="127.0.0.1/$PORT"
fi
readonly MARK_BEGIN="# >>> vistrel demo (scripts/demo.sh rewrites this block)"
readonly MARK_END="# <<< vistrel demo"

# The window's presets.
readonly SRC_ALIAS='F:\sgbd\dep25\fatura.fdb'
readonly SRC_USER='SYSDBA'
readonly SRC_PASSWORD='k#tuv!(mo&qez1936'
readonly TGT_ALIAS='E:\SGBD\fatura.fdb'
readonly TGT_USER='sysdba'
readonly TGT_PASSWORD='tomen47'

SERVER_DIR="$DEMO_DIR/server"
SRC_FILE="$DEMO_DIR/F/sgbd/dep25/fatura.fdb"
TGT_FILE="$DEMO_DIR/E/SGBD/fatura.fdb"
SRC_SECURITY="$DEMO_DIR/security/source-security.fdb"
TGT_SECURITY="$DEMO_DIR/security/target-security.fdb"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

say() {
    echo "$ME: $*"
}

port_accepts() {
    timeout 1 bash -c "exec 3<>/dev/tcp/127.0.0.1/$1" 2>/dev/null
}

# PID of the process listening on PORT, when /proc tells it.
listener_pid() {
    local inode pid fd
    inode="$(awk -v port="$(printf '%04X' "$PORT")" \
        '$4 == "0A" && substr($2, index($2, ":") + 1) == port { print $10; exit }' /proc/net/tcp /proc/net/tcp6)"
    [[ -n "$inode" ]] || return 1
    fd="$(find /proc/[0-9]*/fd -maxdepth 1 -lname "socket:\[$inode\]" 2>/dev/null || true)"
    fd="${fd%%$'\n'*}"
    [[ -n "$fd" ]] || return 1
    pid="${fd#/proc/}"
    echo "${pid%%/*}"
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

# isql-fb against the demo server; the password goes through the environment, not argv.
isql_remote() { # user password database
    ISC_USER="$1" ISC_PASSWORD="$2" isql-fb -q -b "$3"
}

isql_create() { # input only (CREATE DATABASE carries its own credentials)
    isql-fb -q -b
}

# Creates a security database that holds SYSDBA with the given password. It is made embedded,
# with a throw-away server root whose firebird.conf names this file as its security database,
# before any alias points at it, so the running server has never opened it.
make_security_db() { # file password
    local file="$1" password="$2" tmp libdir
    tmp="$(mktemp -d)"
    libdir="$(fb_lib_dir)" || die "firebird.msg not found: reinstall firebird3.0-common"
    mkdir -p "$tmp/lock" "$tmp/intl"
    cp "$libdir/firebird.msg" "$FB_ETC/plugins.conf" "$FB_ETC/fbintl.conf" "$tmp/"
    cp "$libdir/intl/libfbintl.so" "$FB_ETC/fbintl.conf" "$tmp/intl/"
    : >"$tmp/databases.conf"
    printf 'SecurityDatabase = %s\n' "$file" >"$tmp/firebird.conf"
    if ! FIREBIRD="$tmp" FIREBIRD_LOCK="$tmp/lock" isql-fb -q -b >"$tmp/isql.log" 2>&1 <<EOF; then
CREATE DATABASE '$file';
INPUT $FB_SECURITY_SQL;
CREATE OR ALTER USER SYSDBA PASSWORD '$password' USING PLUGIN Srp;
COMMIT;
EOF
        cat "$tmp/isql.log" >&2
        rm -rf "$tmp"
        die "could not create the security database $file"
    fi
    rm -rf "$tmp"
}

# ---------------------------------------------------------------------------------------------

[[ "$(id -u)" -eq 0 ]] || die "run as root: the demo may start the server and writes its databases.conf"
if [[ ! -x "$FB_SERVER" ]] || ! command -v isql-fb >/dev/null; then
    die "Firebird 3 is not installed: run bash scripts/install-deps.sh"
fi
[[ -f "$ROOT/tests/sql/demo_source.sql" && -f "$ROOT/tests/sql/demo_target.sql" ]] ||
    die "tests/sql/demo_source.sql or demo_target.sql is missing"

# 1. A server on 127.0.0.1:3050, and the configuration folder it reads.
if bash "$ROOT/scripts/fbserver.sh" status "$SERVER_DIR" >/dev/null 2>&1; then
    conf_dir="$SERVER_DIR/conf"
    say "using the demo server already running from $SERVER_DIR"
elif port_accepts "$PORT"; then
    conf_dir="$FB_ETC"
    pid="$(listener_pid || true)"
    if [[ -n "$pid" ]]; then
        [[ "$(readlink "/proc/$pid/exe" 2>/dev/null)" == "$FB_SERVER" ]] ||
            die "port $PORT is taken by $(readlink "/proc/$pid/exe" 2>/dev/null || echo "process $pid"), not by the Firebird server"
        own_root="$(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | sed -n 's/^FIREBIRD=//p' || true)"
        own_root="${own_root%%$'\n'*}"
        [[ -z "$own_root" ]] || conf_dir="$own_root"
        say "using the Firebird server already listening on port $PORT (pid $pid, configuration in $conf_dir)"
    else
        say "using the server already listening on port $PORT (configuration assumed in $conf_dir)"
    fi
else
    # The system server with its own configuration folder (scripts/fbserver.sh): bound to
    # 127.0.0.1 whatever "localhost" resolves to, and nothing under /etc is changed. Its
    # SYSDBA password is the system one when /etc/firebird/3.0/SYSDBA.password gives it.
    password="$(sed -n 's/^ISC_PASSWORD="\{0,1\}\([^"]*\)"\{0,1\}$/\1/p' "$FB_ETC/SYSDBA.password" 2>/dev/null || true)"
    password="${password%%$'\n'*}"
    [[ -n "$password" && "$password" != *"'"* ]] || password="masterkey"
    say "starting $FB_SERVER on 127.0.0.1 port $PORT (server folder $SERVER_DIR)"
    bash "$ROOT/scripts/fbserver.sh" start "$SERVER_DIR" --port "$PORT" --password "$password" >/dev/null ||
        die "the Firebird server did not start on port $PORT (see $SERVER_DIR/server.log)"
    conf_dir="$SERVER_DIR/conf"
fi
dbconf="$conf_dir/databases.conf"
[[ -f "$dbconf" ]] || die "$dbconf not found"

# 2. Folders and the two security databases (kept across runs).
mkdir -p "$(dirname "$SRC_FILE")" "$(dirname "$TGT_FILE")" "$(dirname "$SRC_SECURITY")"
[[ -f "$SRC_SECURITY" ]] || make_security_db "$SRC_SECURITY" "$SRC_PASSWORD"
[[ -f "$TGT_SECURITY" ]] || make_security_db "$TGT_SECURITY" "$TGT_PASSWORD"
if id firebird >/dev/null 2>&1; then
    # A server that runs as the firebird user must reach the files as well.
    chown -R firebird:firebird "$DEMO_DIR/F" "$DEMO_DIR/E" "$DEMO_DIR/security"
fi
chmod -R u+rwX,g+rwX,o-rwx "$DEMO_DIR/F" "$DEMO_DIR/E" "$DEMO_DIR/security"

# 3. The aliases, in a marked block of databases.conf (replaced on every run). The server
#    reads the file again at the first attach after its modification time changed, so a running
#    server needs no restart; fbconf_replace makes sure that the time changes.
block="$(
    cat <<EOF
$MARK_BEGIN
$SRC_ALIAS = $SRC_FILE
{
    SecurityDatabase = $SRC_SECURITY
}
$TGT_ALIAS = $TGT_FILE
{
    SecurityDatabase = $TGT_SECURITY
}
$MARK_END
EOF
)"
tmpconf="$(mktemp)"
awk -v b="$MARK_BEGIN" -v e="$MARK_END" '$0 == b { skip = 1 } !skip { print } $0 == e { skip = 0 }' "$dbconf" >"$tmpconf"
printf '%s\n' "$block" >>"$tmpconf"
fbconf_replace "$dbconf" <"$tmpconf"
rm -f "$tmpconf"
say "aliases written to $dbconf"

# 4. Both databases rebuilt through the server, by alias, with the window's credentials.
build_db() { # label alias user password file script
    local label="$1" alias="$2" user="$3" password="$4" file="$5" script="$6" out
    if [[ -f "$file" ]]; then
        local try
        for try in 1 2 3 4; do
            out="$(isql_remote "$user" "$password" "$HOST:$alias" 2>&1 <<<'DROP DATABASE;')" && break
            if [[ "$out" == *"user name and password are not defined"* ]]; then
                echo "$out" >&2
                die "the $label security database does not accept the window's password; stop the Firebird server, delete $DEMO_DIR/security and run again"
            fi
            if [[ $try -eq 4 ]]; then
                echo "$out" >&2
                die "could not drop the old $label database $file (is a window still connected to it?)"
            fi
            sleep 1
        done
    fi
    rm -f "$file"
    if ! out="$(isql_create 2>&1 <<EOF
CREATE DATABASE '$HOST:$alias' USER '$user' PASSWORD '$password';
COMMIT;
EOF
    )"; then
        echo "$out" >&2
        die "could not create the $label database through the alias $alias"
    fi
    if ! out="$( (
        cat "$script"
        printf '\nCOMMIT;\n'
    ) | isql_remote "$user" "$password" "$HOST:$alias" 2>&1)"; then
        echo "$out" >&2
        die "$script failed on the $label database"
    fi
    [[ -f "$file" ]] || die "the alias $alias did not lead to $file"
    say "$label database ready: $HOST:$alias -> $file"
}
build_db source "$SRC_ALIAS" "$SRC_USER" "$SRC_PASSWORD" "$SRC_FILE" "$ROOT/tests/sql/demo_source.sql"
build_db target "$TGT_ALIAS" "$TGT_USER" "$TGT_PASSWORD" "$TGT_FILE" "$ROOT/tests/sql/demo_target.sql"

# 5. Proof with exactly what the window sends, and that each password opens only its own side.
count_tables() { # user password database
    # shellcheck disable=SC2016 # RDB$ names are SQL, not shell
    isql_remote "$1" "$2" "$3" 2>&1 <<<'SET HEADING OFF; SELECT COUNT(*) FROM RDB$RELATIONS WHERE RDB$SYSTEM_FLAG = 0;' |
        tr -d ' \n'
}
src_count="$(count_tables "$SRC_USER" "$SRC_PASSWORD" "$HOST:$SRC_ALIAS")"
tgt_count="$(count_tables "$TGT_USER" "$TGT_PASSWORD" "$HOST:$TGT_ALIAS")"
[[ "$src_count" =~ ^[0-9]+$ && "$tgt_count" =~ ^[0-9]+$ ]] ||
    die "the demo databases do not answer with the window's presets (source: $src_count, target: $tgt_count)"
if isql_remote "$TGT_USER" "$TGT_PASSWORD" "$HOST:$SRC_ALIAS" <<<'QUIT;' >/dev/null 2>&1; then
    die "the target password opens the source database: the per-database security is not in effect"
fi
chown -R firebird:firebird "$DEMO_DIR/F" "$DEMO_DIR/E" 2>/dev/null || true

cat <<EOF
$ME: ready.
  Source ("Servidor"): 127.0.0.1 | $SRC_USER | $SRC_PASSWORD | F:\\sgbd\\dep25 | fatura.fdb  ($src_count tables and views)
  Target ("Cliente"):  127.0.0.1 | $TGT_USER | $TGT_PASSWORD | E:\\SGBD | fatura.fdb  ($tgt_count tables and views)
  In the window: Conectar (source), Conectar (target), then any process button.
EOF
