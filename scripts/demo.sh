#!/usr/bin/env bash
# Sets up, builds, and runs Tallowmere against the MFP simulator. Until the
# program's windows exist it starts the simulator alone, on 127.0.0.1:8080.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/jobs.sh"
bash "$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/release" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$root/build/release" -j "$jobs" --target mfp-sim
exec "$root/build/release/bin/mfp-sim" --bind 127.0.0.1 --port "${MFP_SIM_PORT:-8080}" "$@"
