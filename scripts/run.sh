#!/usr/bin/env bash
# Sets up the machine, builds, and starts Zentrova. With no USB serial device plugged in,
# the simulated logger is started first on a pseudo-terminal, linked as /tmp/zentrova-sim,
# and given to the program with --port: it is the last entry of the port list. It runs a
# capacity test of its battery, so that the memory and the live readings show one; extra
# options for it go in $ZENTROVA_SIM_ARGS (e.g. "--profile solar").
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${ZENTROVA_BUILD_DIR:-$root/build}"
"$root/scripts/setup.sh"
ZENTROVA_TARGETS="zentrova zentrova-sim" "$root/scripts/build.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display (DISPLAY is not set); run this from a desktop session." >&2
  exit 1
fi

sim_pid=""
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true; }
trap cleanup EXIT
sim_args=()

if ! compgen -G "/dev/ttyUSB*" >/dev/null && ! compgen -G "/dev/ttyACM*" >/dev/null; then
  link="${ZENTROVA_SIM_LINK:-/tmp/zentrova-sim}"
  read -r -a extra <<< "${ZENTROVA_SIM_ARGS:-}"
  "$build/sim/zentrova-sim" --link "$link" --profile capacity "${extra[@]}" > "$build/zentrova-sim.port" &
  sim_pid=$!
  for _ in $(seq 50); do [ -s "$build/zentrova-sim.port" ] && break; sleep 0.1; done
  echo "run: no logger plugged in; the simulated logger answers on $(head -n1 "$build/zentrova-sim.port") ($link)"
  echo "run: pick $link, the last entry of the port list"
  echo "run: kill -USR1 $sim_pid unplugs the simulated logger, kill -USR2 $sim_pid plugs it back"
  sim_args=(--port "$link")
fi

"$build/app/zentrova" "${sim_args[@]}" "$@"
