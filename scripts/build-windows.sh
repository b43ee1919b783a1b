#!/usr/bin/env bash
# Cross-builds zentrova-cli.exe and the tests that need no Qt for 64-bit Windows with mingw-w64
# in build-windows/ (or $ZENTROVA_WINDOWS_BUILD_DIR), and packs
# dist/zentrova-cli-VERSION-windows-x86_64.zip: the program, the README and the manual page as
# text. The window stays a Linux program here (Debian has no Qt for mingw-w64).
# The Windows tests run against zentrova-sim, a Linux program: it and the Linux zentrova-cli
# (for byte-for-byte comparisons) are built first in build/ (or $ZENTROVA_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_WINDOWS_BUILD_DIR:-$root/build-windows}"
host="${ZENTROVA_BUILD_DIR:-$root/build}"

ZENTROVA_TARGETS="zentrova-sim zentrova-cli" "$root/scripts/build.sh"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DZENTROVA_BUILD_QT=OFF \
  -DZENTROVA_HOST_SIM="$host/sim/zentrova-sim" -DZENTROVA_HOST_CLI="$host/cli/zentrova-cli" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"

# The package. Texts get Windows line ends; the manual page is rendered without overstrikes.
version=$(sed -n 's/^project(Zentrova VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name="zentrova-cli-$version-windows-x86_64"
stage="$build/package/$name"
rm -rf "$build/package"
mkdir -p "$stage" "$root/dist"
x86_64-w64-mingw32-strip -o "$stage/zentrova-cli.exe" "$build/cli/zentrova-cli.exe"
sed 's/$/\r/' "$root/README.md" >"$stage/README.txt"
groff -man -Tutf8 -P-cbou "$root/cli/zentrova-cli.1" 2>/dev/null | sed 's/$/\r/' >"$stage/zentrova-cli.txt"
rm -f "$root/dist/$name.zip"
(cd "$build/package" && zip -q -r "$root/dist/$name.zip" "$name")
echo "build-windows: $root/dist/$name.zip"
