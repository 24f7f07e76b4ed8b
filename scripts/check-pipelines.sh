#!/usr/bin/env bash
# Fails, naming file and line, where a shell script that sets pipefail pipes into a reader that
# may stop reading before the writer is done (grep -q, grep -m, head, sed ...q): the writer then
# dies of SIGPIPE and the pipeline fails at random with status 141. Such output is read into a
# variable first and tested there.
#
#   bash scripts/check-pipelines.sh            every shell script of the repository
#   bash scripts/check-pipelines.sh FILE...    only these files
set -euo pipefail

readonly ME="check-pipelines.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"

files=()
if (($# > 0)); then
    files=("$@")
else
    # Every tracked file that is a shell script by name or by its first line.
    listing="$(git -C "$ROOT" ls-files)"
    while IFS= read -r path; do
        [[ -f "$ROOT/$path" ]] || continue
        # This check and its own cases hold the forbidden pipelines as data.
        [[ "$path" != scripts/check-pipelines.sh && "$path" != tests/scripts/check_pipelines_test.sh ]] || continue
        if [[ "$path" == *.sh ]]; then
            files+=("$ROOT/$path")
            continue
        fi
        IFS= read -r first <"$ROOT/$path" || true
        if [[ "$first" =~ ^#!.*(bash|/sh)([[:space:]]|$) ]]; then
            files+=("$ROOT/$path")
        fi
    done <<<"$listing"
fi

status=0
for file in "${files[@]}"; do
    [[ -r "$file" ]] || {
        echo "$ME: error: cannot read $file" >&2
        status=1
        continue
    }
    content="$(<"$file")"
    [[ "$content" == *pipefail* ]] || continue
    # Lines are joined across a trailing "|" or "\" so that a reader on the next line is seen;
    # comments are dropped. The reported line is the first line of the statement.
    shown="${file#"$ROOT"/}"
    findings="$(awk -v shown="$shown" '
        function flush() {
            if (joined == "") return
            if (match(joined, /(^|[^|])\|[[:space:]]*(grep[[:space:]]+([^|;&]*[[:space:]])?-([a-zA-Z]*[qlLm]|-quiet|-silent|-max-count|-files-with-matches)|head([^[:alnum:]_-]|$)|sed[[:space:]]+(-[a-zA-Z]+[[:space:]]+)*[\047"]?[0-9]*q)/)) {
                printf "%s:%d: pipe into a reader that may exit early under pipefail:%s\n", shown, start, joined
            }
            joined = ""
        }
        {
            line = $0
            sub(/^[[:space:]]*#.*/, "", line)
            sub(/[[:space:]]+#[^\047"]*$/, "", line)
            if (joined == "") start = FNR
            joined = joined " " line
            if (line ~ /(\||\\)[[:space:]]*$/) next
            flush()
        }
        END { flush() }
    ' "$file")"
    if [[ -n "$findings" ]]; then
        echo "$findings" >&2
        status=1
    fi
done

if ((status != 0)); then
    echo "$ME: error: read such output into a variable first, then test the variable" >&2
    exit 1
fi
echo "$ME: ${#files[@]} scripts checked, no early-exit reader in a pipeline"
