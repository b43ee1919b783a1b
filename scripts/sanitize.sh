#!/usr/bin/env bash
# Builds with a sanitizer and runs tests under it:
#   scripts/sanitize.sh address   every test under AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/sanitize.sh thread    the tests of threaded code under ThreadSanitizer
# Each mode builds in its own folder, build-asan or build-tsan.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
mode="${1:?usage: sanitize.sh address|thread}"
export QT_QPA_PLATFORM=offscreen

case "$mode" in
  address)
    build="$root/build-asan"
    ZENTROVA_BUILD_DIR="$build" "$root/scripts/build.sh" -DZENTROVA_SANITIZE=address
    ASAN_OPTIONS=detect_leaks=0 ctest --test-dir "$build" --output-on-failure -j "$(nproc)"
    ;;
  thread)
    build="$root/build-tsan"
    # The tests whose code runs on more than one thread: the window thread beside Qt or a
    # test, the memory download worker, the simulated logger's server thread, pseudo-terminal peers,
    # the live readings handed to the chart.
    tests=(app_tests framework_tests platform_serial_tests sim_pty_tests memory_tests e2e_link_tests e2e_window_tests
           e2e_download_tests e2e_recording_tests
           cli_tests cli_process_tests zentrova_qt_tests zentrova_main_window_qt_tests chart_live_feed_tests
           zentrova_live_chart_qt_tests)
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZENTROVA_SANITIZE=thread >/dev/null
    cmake --build "$build" -j "$(nproc)" --target "${tests[@]}"
    for t in "${tests[@]}"; do
      exe="$(find "$build/tests" -type f -name "$t" -perm -u+x | head -n1)"
      echo "== $t (ThreadSanitizer)"
      TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$exe" --gtest_brief=1
    done
    ;;
  *)
    echo "sanitize.sh: unknown mode '$mode' (address or thread)" >&2
    exit 2
    ;;
esac
