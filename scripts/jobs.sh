# Sourced by the scripts: the number of build and test jobs, from
# TALLOWMERE_JOBS, else every core of the machine.
jobs=${TALLOWMERE_JOBS:-$(nproc)}
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "TALLOWMERE_JOBS must be a positive whole number, not \"$jobs\"" >&2
  exit 2
fi
