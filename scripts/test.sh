#!/usr/bin/env bash
# Sets up a fresh machine, then builds and runs every test: the plain build,
# the AddressSanitizer + UndefinedBehaviorSanitizer build, the threaded
# user-interface tests under ThreadSanitizer, and a short run of each fuzzer.
# Every build treats warnings as errors. FUZZ_SECONDS sets the length of each
# fuzzer run (default 20); TALLOWMERE_JOBS the number of build and test jobs
# (default: every core).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/jobs.sh"

bash "$root/scripts/setup.sh"

echo "== include rules"
bash "$root/scripts/check_includes.sh"

echo "== plain build"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/release" -j "$jobs"
ctest --test-dir "$root/build/release" --output-on-failure -j "$jobs"

echo "== sanitizer build (AddressSanitizer, UndefinedBehaviorSanitizer)"
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLOWMERE_SANITIZE=ON \
  -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs"

echo "== thread sanitizer build (the threaded user-interface tests)"
cmake -S "$root" -B "$root/build/tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTALLOWMERE_TSAN=ON \
  -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/tsan" -j "$jobs" --target ui_test app_dialogs_test app_main_window_test
TSAN_OPTIONS="halt_on_error=1 suppressions=$root/tests/tsan.supp" ctest --test-dir "$root/build/tsan" --output-on-failure -j "$jobs" \
  -R '^(UiTest|UiWithoutBackend|ProgressDlgTest|ProgressSaveRoadTest|PasswordDlgTest|AboutDlgTest|BothChannels/SaveTest|BothChannels/SimpleViewTest)\.'

echo "== fuzzers"
CC=clang CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTALLOWMERE_FUZZ=ON -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/fuzz" -j "$jobs"
seconds=${FUZZ_SECONDS:-20}
for dir in "$root"/fuzz/*/; do
  name=$(basename "$dir")
  bin="$root/build/fuzz/bin/fuzz-$name"
  [ -x "$bin" ] || { echo "missing fuzzer $bin"; exit 1; }
  work=$(mktemp -d)
  [ -d "$dir/corpus" ] && cp -r "$dir/corpus/." "$work/"
  dict=()
  for d in "$dir"/*.dict; do [ -f "$d" ] && dict=(-dict="$d"); done
  echo "-- fuzz-$name (${seconds}s)"
  if ! "$bin" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 "${dict[@]}" \
       "$work" > "$work.log" 2>&1; then
    cat "$work.log"
    echo "fuzz-$name failed"
    exit 1
  fi
  grep -E '^(Done|stat::number_of_executed_units)' "$work.log" || true
  rm -rf "$work" "$work.log"
done
