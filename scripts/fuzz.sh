#!/usr/bin/env bash
# Builds the fuzz targets with clang in build-fuzz/ (or $ZENTROVA_FUZZ_BUILD_DIR) and runs the
# reply decoder's fuzzer for a bounded time:
#   scripts/fuzz.sh [seconds]    (default 60)
# The run starts from the seeds in fuzz/corpus/decode_reply/, copied to a temporary folder so
# that the repository is never written to. Any crash, leak, undefined behaviour, timeout or
# memory blow-up fails the script; the input that caused it is kept in build-fuzz/artifacts/
# and is replayed with
#   build-fuzz/fuzz/decode_reply_fuzzer build-fuzz/artifacts/crash-...
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"
build="${ZENTROVA_FUZZ_BUILD_DIR:-$root/build-fuzz}"
target=decode_reply_fuzzer

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is not installed (scripts/setup.sh installs it)" >&2
  exit 1
fi

# The whole fuzz build uses clang; the product libraries build without Qt and without tests.
ZENTROVA_BUILD_DIR="$build" ZENTROVA_TARGETS="$target" "$root/scripts/build.sh" \
  -DCMAKE_CXX_COMPILER=clang++ -DZENTROVA_FUZZ=ON -DZENTROVA_BUILD_QT=OFF -DZENTROVA_BUILD_TESTS=OFF

work="$(mktemp -d "${TMPDIR:-/tmp}/zentrova-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp -r "$root/fuzz/corpus/decode_reply" "$work/corpus"
artifacts="$build/artifacts"
mkdir -p "$artifacts"

# Leaks are checked after every input that allocated more than it freed; any sanitizer report
# ends the run.
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"

echo "== $target for ${seconds} s"
set +e
# The log keeps the fuzzer's pulses, its summary and every report, without a line per new
# input; and a dump file on /dev/full makes the window print a line per failed write.
"$build/fuzz/$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$artifacts/" "$work/corpus" 2>&1 |
  grep --line-buffered -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE) |# Uses: [0-9]+$|^zentrova: write /dev/full'
status="${PIPESTATUS[0]}"
set -e
if [ "$status" -ne 0 ]; then
  echo "fuzz: $target failed (status $status); the input is in $artifacts/" >&2
  exit 1
fi
echo "fuzz: $target ran ${seconds} s with no finding"
