#!/usr/bin/env bash
# Runs a Windows test program in the build's Wine prefix, with the EWS
# simulator on loopback for the length of the run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1; shift
program=$1; shift
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

sim_pid=
portfile=$(mktemp)
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -f "$portfile"
}
trap cleanup EXIT
if [ -f "$here/tools/ews-sim/ews_sim.py" ]; then
  rm -f "$portfile"
  python3 "$here/tools/ews-sim/ews_sim.py" --port 0 --port-file "$portfile" --lifetime 1800 &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$portfile" ] && break; sleep 0.1; done
  export EWS_SIM_PORT=$(cat "$portfile")
fi
cd "$build"
status=0
"$here/scripts/wine-run" "$program" "$@" || status=$?
# A component copy that a test loads with logging on keeps its log file open
# until the program ends, so the test cannot remove that scratch folder itself.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/version-gate-logs-*
exit $status
