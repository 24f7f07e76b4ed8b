#!/usr/bin/env bash
# Builds the program in Release and makes its Debian package with cpack.
#
#   package.sh [BUILD_FOLDER]
#
# Default folder: build-package/ (tests left out: the package holds the program, its menu entry
# and its icon). Prints the path of the .deb, which is written into BUILD_FOLDER. Install it with
#   apt-get install ./vistrel_<version>_<arch>.deb
set -euo pipefail

readonly ME="package.sh"
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
BUILD="${1:-$ROOT/build-package}"

die() {
    echo "$ME: error: $*" >&2
    exit 1
}

for tool in cmake cpack dpkg-deb; do
    command -v "$tool" >/dev/null || die "$tool not found: run bash scripts/install-deps.sh"
done

# Debian's hardening flags (stack protector, fortified functions, read-only relocations bound at
# start, position-independent executables), as dpkg-buildflags gives them.
command -v dpkg-buildflags >/dev/null || die "dpkg-buildflags not found: install dpkg-dev"
export DEB_BUILD_MAINT_OPTIONS="hardening=+all"
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=Release -DVISTREL_TESTS=OFF -DVISTREL_APP=ON \
    -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_POSITION_INDEPENDENT_CODE=ON ||
    die "configuring $BUILD failed"
cmake --build "$BUILD" -j2 || die "building $BUILD failed"

rm -f "$BUILD"/vistrel_*.deb
(cd "$BUILD" && cpack -G DEB) || die "cpack failed"

debs=("$BUILD"/vistrel_*.deb)
deb="${debs[0]}"
[[ -f "$deb" ]] || deb=""
[[ -n "$deb" ]] || die "cpack wrote no vistrel_*.deb into $BUILD"
dpkg-deb --info "$deb" >/dev/null || die "$deb is not a valid Debian package"
echo "$ME: $deb"
