#!/usr/bin/env bash
# Builds the Windows programs (scripts/build-windows.sh) and runs their tests under wine through
# CTest: the core's unit tests, the Win32 serial backend and zentrova-cli.exe against
# zentrova-sim. The wine prefix lives in the build folder and is made on the first run.
# Extra arguments go to ctest (e.g. -R cli).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_WINDOWS_BUILD_DIR:-$root/build-windows}"

"$root/scripts/setup.sh" --windows
"$root/scripts/build-windows.sh"

export WINEPREFIX="$build/wineprefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: the prefix is for console programs, and their installers would ask.
export WINEDLLOVERRIDES="mscoree,mshtml="
log="$build/wine.log"
: >"$log"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "test-windows: making the wine prefix in $WINEPREFIX"
  wineboot --init >>"$log" 2>&1
fi

# One wine server for the whole run, with the prefix's helper processes started now, their
# output in the log: started by a test instead, they would inherit its output pipe and hold it
# open, and CTest would wait for them.
wineserver -k >/dev/null 2>&1 || true
wineserver -p >>"$log" 2>&1
wine cmd /c exit >>"$log" 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

ctest --test-dir "$build" --output-on-failure "$@"
