#!/usr/bin/env bash
# Configures and builds Zentrova in build/ (or $ZENTROVA_BUILD_DIR). Extra arguments go to
# CMake's configure step, e.g. -DZENTROVA_SANITIZE=address. $ZENTROVA_TARGETS, when set,
# names the targets to build instead of all of them.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${CMAKE_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
targets=()
for t in ${ZENTROVA_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$build" -j "$(nproc)" "${targets[@]}"
