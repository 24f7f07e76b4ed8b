#!/usr/bin/env bash
# Sourced by the scripts that edit a running Firebird server's databases.conf.
#
# The server keeps databases.conf by its modification time, in whole seconds, and reads it again
# only when that time has changed. A file rewritten within the second of its previous change
# keeps the old time, so the server goes on with the old content: an alias written right after
# fbserver.sh started the server on an empty databases.conf was never seen, and every attach
# through it ended with "unavailable database".

# Replaces FILE with standard input; its modification time always differs from the one before,
# moved one second past the old one when the clock has not left that second yet.
fbconf_replace() { # file
    local file="$1" before after
    before="$(stat -c %Y "$file" 2>/dev/null || echo 0)"
    cat >"$file"
    after="$(stat -c %Y "$file")"
    if ((after <= before)); then
        touch -m -d "@$((before + 1))" "$file"
    fi
}
