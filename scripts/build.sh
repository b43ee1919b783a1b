#!/usr/bin/env bash
# Configures and builds Zentrova in build/ (or $ZENTROVA_BUILD_DIR). Extra arguments go to
# CMake's configure step, e.g. -DZENTROVA_SANITIZE=address.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
cmake --build "$build" -j "$(nproc)"
