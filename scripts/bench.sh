#!/usr/bin/env bash
# Builds the release tree and runs every benchmark of bench/, printing their
# figures. A benchmark fails the run only when it breaks, not when it misses
# its target: timings on a shared machine vary.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/jobs.sh"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/release" -j "$jobs"
for bin in "$root"/build/release/bin/bench_*; do
  echo "== $(basename "$bin")"
  "$bin"
done
