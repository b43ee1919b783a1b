#!/usr/bin/env bash
# Builds dist/zentrova_VERSION_amd64.deb: sets up the machine (with what packing needs), makes a
# release build in build-release/ (or $ZENTROVA_PACKAGE_BUILD_DIR) with Debian's own compiler
# and linker flags, and packs what it installs under /usr with CPack's DEB generator. The
# package's dependencies come from its programs through dpkg-shlibdeps.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_PACKAGE_BUILD_DIR:-$root/build-release}"
"$root/scripts/setup.sh" --package

# Debian's flags: -O2 (not CMake's -O3 for Release, where GCC 12 warns falsely inside
# std::string) and its hardening (stack protector, fortified calls, read-only relocations bound
# at start), without the debug information the package would strip anyway. From the source
# folder, so that the file paths in the programs are relative to it.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP=-g
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DZENTROVA_BUILD_TESTS=OFF -DZENTROVA_BUILD_QT=ON -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON "$@" >/dev/null
cmake --build "$build" -j "$(nproc)" --target zentrova_package_contents
(cd "$build" && cpack -G DEB)
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
deb="zentrova_${version}_$(dpkg --print-architecture).deb"
mkdir -p "$root/dist"
mv -f "$build/$deb" "$root/dist/$deb"
echo "package: $root/dist/$deb"
