#!/usr/bin/env bash
# Runs a Windows test program in the build's Wine prefix, with the EWS
# simulator on loopback for the length of the run: plain HTTP (port in
# EWS_SIM_PORT) and three HTTPS listeners of the same simulator, with this
# run's test certificates (scripts/test-tls.sh): EWS_SIM_HTTPS_PORT (trusted,
# localhost), EWS_SIM_HTTPS_UNTRUSTED_PORT (CA not trusted) and
# EWS_SIM_HTTPS_WRONG_NAME_PORT (certificate for another host name); and a
# second plain HTTP simulator with its own request log, EWS_SIM_SECOND_PORT
# (where redirects point).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Both made absolute: the program runs from inside the build folder.
build=$(cd "$1" && pwd); shift
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1"); shift
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

sim_pid=
ports=$(mktemp -d "$build/sim-ports.XXXXXX")
tls_ready=0
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$ports"
  [ $tls_ready = 1 ] && bash "$here/scripts/test-tls.sh" forget "$build" >/dev/null 2>&1 || true
}
trap cleanup EXIT
if [ -f "$here/tools/ews-sim/ews_sim.py" ]; then
  https=()
  if [ -f "$build/bin/trusttestca.exe" ]; then
    bash "$here/scripts/test-tls.sh" setup "$build" >/dev/null
    tls_ready=1
    tls=$build/tls
    https=(--also-https "$tls/localhost.pem" "$tls/localhost.key" "$ports/trusted"
           --also-https "$tls/untrusted.pem" "$tls/untrusted.key" "$ports/untrusted"
           --also-https "$tls/wrong-name.pem" "$tls/wrong-name.key" "$ports/wrong-name")
  fi
  # Quick acknowledgements keep Wine's WinHTTP POSTs (headers and body in two
  # writes) from waiting for delayed ACKs: test speed, not what a server does.
  python3 "$here/tools/ews-sim/ews_sim.py" --port 0 --port-file "$ports/plain" --lifetime 1800 --quick-ack \
    --second-http "$ports/second" "${https[@]}" &
  sim_pid=$!
  for _ in $(seq 100); do [ -s "$ports/plain" ] && break; sleep 0.1; done
  export EWS_SIM_PORT=$(cat "$ports/plain")
  export EWS_SIM_SECOND_PORT=$(cat "$ports/second")
  if [ $tls_ready = 1 ]; then
    export EWS_SIM_HTTPS_PORT=$(cat "$ports/trusted")
    export EWS_SIM_HTTPS_UNTRUSTED_PORT=$(cat "$ports/untrusted")
    export EWS_SIM_HTTPS_WRONG_NAME_PORT=$(cat "$ports/wrong-name")
  fi
fi
cd "$build"
status=0
"$here/scripts/wine-run" "$program" "$@" || status=$?
# A component copy that a test loads with logging on keeps its log file open
# until the program ends, so the test cannot remove that scratch folder itself.
rm -rf "$WINEPREFIX"/drive_c/users/*/Temp/version-gate-logs-*
exit $status
