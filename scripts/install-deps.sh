#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Vistrel needs.
# Idempotent: when everything is installed already, apt is not called at all.
set -euo pipefail

readonly ME="install-deps.sh"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

PACKAGES=(
    # build
    g++ cmake ninja-build ccache clang-format
    # window system
    qt6-base-dev qt6-qpa-plugins fonts-dejavu-core
    # Firebird 3: server (tests and demo), isql-fb, ibase.h, client library
    firebird3.0-server firebird3.0-utils firebird-dev libfbclient2
    # tests
    libgtest-dev libgmock-dev
    # fuzzing (libFuzzer comes with clang's runtime)
    clang-14 libclang-rt-14-dev
    # real-window check: virtual display, screenshot (import), a key press to close the notice
    xvfb xauth imagemagick xdotool
    # the condensed face of the window's substitute font (the process buttons fit 1024 pixels)
    fonts-dejavu-extra
    # the package's check
    lintian
)

missing=()
for p in "${PACKAGES[@]}"; do
    status="$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null || true)"
    if [[ "$status" != "installed" ]]; then
        missing+=("$p")
    fi
done

if [[ ${#missing[@]} -eq 0 ]]; then
    echo "$ME: all ${#PACKAGES[@]} packages are installed"
else
    SUDO=()
    if [[ "$(id -u)" -ne 0 ]]; then
        command -v sudo >/dev/null || die "installing ${missing[*]} needs root (run as root or install sudo)"
        SUDO=(sudo)
    fi
    command -v apt-get >/dev/null || die "apt-get not found: this script is for Debian 12"
    echo "$ME: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=600 update || die "apt-get update failed (is a Debian mirror reachable?)"
    "${SUDO[@]}" apt-get -o DPkg::Lock::Timeout=600 install -y --no-install-recommends "${missing[@]}" ||
        die "apt-get install failed for: ${missing[*]}"
fi

# What the scripts and the build rely on, checked after the install.
for tool in g++ cmake ninja ccache clang-format isql-fb Xvfb import xdotool; do
    command -v "$tool" >/dev/null || die "$tool is still missing after the install"
done
[[ -x /usr/sbin/firebird ]] || die "/usr/sbin/firebird is missing after the install"
[[ -f /usr/include/ibase.h ]] || die "/usr/include/ibase.h is missing after the install"
[[ -f /usr/share/firebird/3.0/security.sql ]] || die "/usr/share/firebird/3.0/security.sql is missing"
# The cache is read whole into a variable: "ldconfig -p | grep -q" dies of SIGPIPE under pipefail.
linker_cache="$(ldconfig -p)" || die "ldconfig -p failed"
[[ "$linker_cache" == *libfbclient.so.2* ]] || die "libfbclient.so.2 is not known to the dynamic linker"
echo "$ME: done"
