#!/usr/bin/env bash
# The pipeline check: each bad case is reported with its file and line and fails the check; the
# good cases (output read into a variable, readers that read to the end, no pipefail) pass.
set -euo pipefail

CHECK="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd -P)/scripts/check-pipelines.sh"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# One bad script per early-exit reader; the offending statement is on line 3.
bad_cases=(
    "ldconfig -p | grep -q 'libfbclient\\.so\\.2' || exit 1"
    "tr '\\0' '\\n' </proc/1/environ | grep -qxF FIREBIRD=x"
    "ps ax | grep --quiet firebird"
    "find / -name x | grep -m 1 x"
    "ls /tmp | grep -l x"
    "deb=\"\$(ls /tmp | head -n 1)\""
    "first=\"\$(sort x | head)\""
    "sed -n 's/a/b/p' f | sed 1q"
    "ldconfig -p |
    grep -q libfbclient"
    "ldconfig -p \\
    | grep -q libfbclient"
)
i=0
for body in "${bad_cases[@]}"; do
    i=$((i + 1))
    printf '#!/usr/bin/env bash\nset -euo pipefail\n%s\necho done\n' "$body" >"$work/bad$i.sh"
    if out="$(bash "$CHECK" "$work/bad$i.sh" 2>&1)"; then
        fail "case $i passed the check: $body"
    elif [[ "$out" != *"bad$i.sh:3: pipe into a reader that may exit early"* ]]; then
        fail "case $i not reported at line 3: $out"
    fi
done

good_cases=(
    "cache=\"\$(ldconfig -p)\"; [[ \$cache == *libfbclient* ]]"
    "grep -q x /etc/hostname || true"
    "ls /tmp | tail -n 1 | tr -d ' '"
    "ls /tmp | grep -v x | sort"
    "# ldconfig -p | grep -q libfbclient"
    "grep -c x /etc/hostname | tr -d ' '"
    "true || grep -q x /etc/hostname"
)
i=0
for body in "${good_cases[@]}"; do
    i=$((i + 1))
    printf '#!/usr/bin/env bash\nset -euo pipefail\n%s\n' "$body" >"$work/good$i.sh"
    out="$(bash "$CHECK" "$work/good$i.sh" 2>&1)" || fail "good case $i was reported: $body: $out"
done

# Without pipefail a pipe into grep -q is not this fault.
printf '#!/usr/bin/env bash\nset -eu\nldconfig -p | grep -q x\n' >"$work/nopipefail.sh"
out="$(bash "$CHECK" "$work/nopipefail.sh" 2>&1)" || fail "a script without pipefail was reported: $out"

# Several files: every finding is named, and the check fails.
if out="$(bash "$CHECK" "$work/bad1.sh" "$work/good1.sh" "$work/bad6.sh" 2>&1)"; then
    fail "two bad files passed"
else
    [[ "$out" == *"bad1.sh:3:"* && "$out" == *"bad6.sh:3:"* && "$out" != *"good1.sh"* ]] ||
        fail "findings over several files: $out"
fi

# The repository's own scripts follow the rule.
out="$(bash "$CHECK" 2>&1)" || fail "the repository's scripts: $out"

if ((failures > 0)); then
    echo "check_pipelines_test: $failures failed" >&2
    exit 1
fi
echo "check_pipelines_test: all cases passed"
