#!/usr/bin/env bash
# zentrova-cli.exe under wine against the simulated logger (see with_logger.sh): its exit
# statuses, and the files and texts it makes, byte for byte the same as the Linux program's
# for the same logger.
#   cli_exe_test.sh WINE ZENTROVA-CLI.EXE HOST-ZENTROVA-CLI
# Needs ZENTROVA_TEST_PORT (the COM name) and ZENTROVA_TEST_TTY (the same port for Linux).
set -uo pipefail
wine=$1
exe=$2
host=$3
port=${ZENTROVA_TEST_PORT:?}
tty=${ZENTROVA_TEST_TTY:?}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
pass() { echo "ok: $*"; }

# Runs the Windows program; its status in $status, its output in win.out/win.err with the
# console's line ends made plain.
win() {
  status=0
  "$wine" "$exe" "$@" >win.raw 2>win.err || status=$?
  tr -d '\r' <win.raw >win.out
}
linux() {
  host_status=0
  "$host" "$@" >linux.out 2>linux.err || host_status=$?
}
expect_status() {  # WANTED WHAT
  if [ "$status" -eq "$1" ]; then pass "$2: status $1"; else fail "$2: status $status, wanted $1; stderr: $(cat win.err)"; fi
}
same_file() {  # A B WHAT
  if [ ! -s "$1" ]; then
    fail "$3: $1 was not made"
  elif cmp -s "$1" "$2"; then
    pass "$3: $(wc -c <"$1") bytes, the same"
  else
    fail "$3: $1 and $2 differ"
    cmp "$1" "$2" | head -n 3
  fi
}

# Identity and configuration, in both languages.
for lang in en ru; do
  win --lang "$lang" info "$port"
  expect_status 0 "info --lang $lang"
  linux --lang "$lang" info "$tty"
  [ "$host_status" -eq 0 ] || fail "the Linux program's info failed: $(cat linux.err)"
  # The same text but for the port's own name.
  grep -q "^Port: $port\$\|^Порт: $port\$" win.out || fail "info --lang $lang names the port: $(head -n 1 win.out)"
  if grep -q "Zentrova-24 N00123" win.out && diff <(grep -v '^Port: \|^Порт: ' win.out) <(grep -v '^Port: \|^Порт: ' linux.out) >/dev/null; then
    pass "info --lang $lang: the same text"
  else
    fail "info --lang $lang differs from the Linux program's"
    diff win.out linux.out | head -n 10
  fi
done

# The whole memory, and a recording of four live readings.
win download "$port" win-mem.txt
expect_status 0 "download"
linux download "$tty" linux-mem.txt
same_file "win-mem ( Zentrova-24 N00123 ).txt" "linux-mem ( Zentrova-24 N00123 ).txt" "download"

win record "$port" win-rec.txt --count 4
expect_status 0 "record --count 4"
linux record "$tty" linux-rec.txt --count 4
same_file "win-rec ( Zentrova-24 N00123 ).txt" "linux-rec ( Zentrova-24 N00123 ).txt" "record"

# The dump as CSV, to a file: the same bytes.
win convert "win-mem ( Zentrova-24 N00123 ).txt" -o win-mem.csv
expect_status 0 "convert"
linux convert "linux-mem ( Zentrova-24 N00123 ).txt" -o linux-mem.csv
same_file win-mem.csv linux-mem.csv "convert"

# An existing file is replaced only when asked to.
win download "$port" win-mem.txt
expect_status 1 "download over an existing file without --yes"

# Ports that do not answer, and usage errors.
win info COM199
expect_status 1 "info on a port that does not exist"
grep -q "COM199" win.err || fail "the reason names the port: $(cat win.err)"
win
expect_status 2 "no command"
win info --no-such-option
expect_status 2 "an unknown option"
win --help
expect_status 0 "--help"

# The registry's table of ports: a COM name a line (wine lists the ports of its prefix).
win ports
expect_status 0 "ports"
if grep -qvx 'COM[0-9]*' win.out; then fail "ports: $(cat win.out)"; fi

# The simulated logger inside the program, where there is no pseudo-terminal.
win --simulate info --json
expect_status 0 "--simulate info --json"
grep -q '"device":"Zentrova-24 N00123"' win.out || fail "--simulate info: $(cat win.out)"

if [ "$failures" -ne 0 ]; then
  echo "$failures failed"
  exit 1
fi
echo "all passed"
