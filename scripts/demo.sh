#!/usr/bin/env bash
# Sets up, builds, and runs Tallowmere against the MFP simulator: the
# simulator with its sample boxes on 127.0.0.1 (HTTP port MFP_SIM_PORT, 8080
# by default), answering the program's search and attached as the simulated
# USB MFP "demo-usb-0"; then the program. When the program ends, the
# simulator is stopped. Further arguments go to the simulator
# (tools/mfp-sim/README.md).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/scripts/jobs.sh"
bash "$root/scripts/setup.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWMERE_WERROR=ON >/dev/null
cmake --build "$build" -j "$jobs" --target tallowmere mfp-sim
bin="$build/bin"
port=${MFP_SIM_PORT:-8080}

work=$(mktemp -d)
sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap stop_sim EXIT

"$bin/mfp-sim" --bind 127.0.0.1 --port "$port" --usb demo-usb-0 "$@" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  grep -q '^mfp-sim http' "$work/sim.out" && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "the MFP simulator did not start" >&2; exit 1; }
  sleep 0.1
done
grep -q '^mfp-sim http' "$work/sim.out" || { echo "the MFP simulator did not start" >&2; exit 1; }
echo "MFP simulator on 127.0.0.1:$port, with the USB MFP demo-usb-0"

# A real MFP serves its boxes on port 80, which the selection dialog offers
# by default; the simulator's port is put into the program's settings file
# instead, so that the search's answer connects as it is.
ini="$bin/setting/tallowmere.ini"
mkdir -p "$bin/setting"
touch "$ini"
awk -v port="$port" '
  function put() { print "httpPortNumber=" port; done = 1 }
  /^\[/ { if (inMfp && !done) put(); inMfp = ($0 == "[MFPInfo]") }
  inMfp && /^httpPortNumber=/ { if (!done) put(); next }
  { print }
  END { if (!done) { if (!inMfp) print "[MFPInfo]"; put() } }
' "$ini" >"$ini.new"
mv "$ini.new" "$ini"

"$bin/tallowmere.bin"
