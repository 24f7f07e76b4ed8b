#!/usr/bin/env bash
# Installs the packages, builds Vistrel with its tests (Debug, build/) and runs every test.
# The tests start their own private Firebird server (the fbserver fixture of ctest); no system
# server is needed or touched. Before the tests, the real window is shown on a virtual display
# and photographed into artifacts/.
#
# Then the libFuzzer targets run for a bounded time (scripts/fuzz.sh), and the same suite is built
# and run again under AddressSanitizer and UBSan (build-sanitize/).
#
#   VISTREL_SANITIZE=1 bash scripts/test.sh   only the sanitizer suite
#   VISTREL_QUICK=1 bash scripts/test.sh      only the plain suite (no sanitizer suite, no fuzzing)
set -euo pipefail

readonly ME="test.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
cd "$ROOT"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

bash scripts/install-deps.sh || die "installing the packages failed"

# Builds in $1 with sanitizers $2 (ON/OFF) and runs every test there.
run_suite() {
    local build_dir="$1" sanitize="$2"
    local configure=(cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=Debug -DVISTREL_TESTS=ON -DVISTREL_SANITIZE="$sanitize")
    if [[ ! -f "$build_dir/CMakeCache.txt" ]]; then
        configure+=(-G Ninja)
    fi
    "${configure[@]}" || die "configuring $build_dir failed"
    cmake --build "$build_dir" -j2 || die "the build in $build_dir failed"

    if [[ "$sanitize" == "OFF" ]]; then
        if [[ -x "$build_dir/app/vistrel" ]]; then
            bash scripts/screenshot.sh "$build_dir/app/vistrel" "$ROOT/artifacts" || die "the real-window check failed"
        else
            echo "$ME: $build_dir/app/vistrel was not built: no real-window screenshot"
        fi
    fi

    # Under the sanitizers a failing test program is run up to twice more before the suite fails:
    # LeakSanitizer's exit scan now and then crashes in its own tracer ("Tracer caught signal 11")
    # while the Firebird client library's threads wind down, after every test has passed; under
    # load it has crashed twice in a row. A program that fails three times fails the suite.
    # In the plain suite a failing program is run once more: the command's forced-shutdown case
    # (gfix -shut full -force 0 in the middle of a run) has once left vistrel-sync waiting on the
    # server's answer to a CREATE TABLE; that wait is a known open fault, bounded here by the
    # program's timeout. A program that fails twice fails the suite.
    local repeat=(--repeat until-pass:2)
    if [[ "$sanitize" == "ON" ]]; then
        repeat=(--repeat until-pass:3)
    fi
    echo "$ME: running the tests in $build_dir (sanitizers $sanitize)"
    (cd "$build_dir" && ctest --output-on-failure --timeout 1800 -j2 "${repeat[@]}") || die "tests failed in $build_dir"
}

# The sanitizers' settings for the sanitizer suite. Leaks inside the system libraries are
# suppressed in tests/lsan.supp, never the project's.
sanitizer_settings() {
    export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    if [[ -f "$ROOT/tests/lsan.supp" ]]; then
        export LSAN_OPTIONS="suppressions=$ROOT/tests/lsan.supp"
    fi
}

if [[ "${VISTREL_SANITIZE:-0}" == "1" ]]; then
    sanitizer_settings
    run_suite build-sanitize ON
    exit 0
fi

run_suite build OFF
if [[ "${VISTREL_QUICK:-0}" == "1" ]]; then
    exit 0
fi
# The Debian package, checked by lintian when it is installed: no error and no warning.
if command -v lintian >/dev/null; then
    package_out="$(bash scripts/package.sh)" || die "building the package failed"
    deb="${package_out##*package.sh: }"
    lint="$(lintian --tag-display-limit 0 "$deb" 2>&1)" || true
    [[ -z "$lint" ]] || printf '%s\n' "$lint"
    if [[ "$lint" =~ (^|$'\n')[EW]: ]]; then
        die "lintian reports errors or warnings on $deb"
    fi
    echo "$ME: lintian: no error and no warning on $deb"
fi
bash scripts/fuzz.sh "${VISTREL_FUZZ_SECONDS:-60}" || die "fuzzing found a failure"
sanitizer_settings
run_suite build-sanitize ON
