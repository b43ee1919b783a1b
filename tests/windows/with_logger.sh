#!/usr/bin/env bash
# Runs a command while zentrova-sim serves a pseudo-terminal that the wine prefix sees as a COM
# port, through a link in the prefix's dosdevices folder.
#   with_logger.sh SIM COMn [zentrova-sim options...] -- COMMAND [ARGS...]
# The command finds the COM name in ZENTROVA_TEST_PORT and the terminal's path in
# ZENTROVA_TEST_TTY. The prefix is $WINEPREFIX (scripts/test-windows.sh makes one).
set -euo pipefail
sim=$1
com=$2
shift 2
options=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
  options+=("$1")
  shift
done
[ $# -gt 1 ] || { echo "usage: with_logger.sh SIM COMn [options] -- COMMAND..." >&2; exit 2; }
shift

dosdevices="${WINEPREFIX:-$HOME/.wine}/dosdevices"
if [ ! -d "$dosdevices" ]; then
  echo "with_logger: no wine prefix at ${WINEPREFIX:-$HOME/.wine} (scripts/test-windows.sh makes one)" >&2
  exit 1
fi
link="$dosdevices/${com,,}"
work=$(mktemp -d)
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$link"
  rm -rf "$work"
}
trap cleanup EXIT

"$sim" "${options[@]}" >"$work/sim.out" 2>"$work/sim.err" &
sim_pid=$!
# Its first line is the terminal's path.
tty=
for _ in $(seq 100); do
  tty=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
  [ -n "$tty" ] && break
  if ! kill -0 "$sim_pid" 2>/dev/null; then
    echo "with_logger: zentrova-sim ended at start:" >&2
    cat "$work/sim.err" >&2
    exit 1
  fi
  sleep 0.1
done
[ -n "$tty" ] || { echo "with_logger: zentrova-sim printed no terminal" >&2; exit 1; }

ln -sfn "$tty" "$link"
export ZENTROVA_TEST_PORT="$com" ZENTROVA_TEST_TTY="$tty"
status=0
"$@" || status=$?
exit "$status"
