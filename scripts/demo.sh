#!/usr/bin/env bash
# The main job: two sync passes of the Unified Groups filter on one filter
# object, as the host sync engine runs them, against a local simulator of
# Exchange Online on 127.0.0.1 over HTTPS (https://localhost:PORT/, with a
# certificate from a test CA made for this run and trusted in the prefix
# only), printed as a table (one row per group, with its document library),
# then each pass's requests and wall time: the second pass sends only the
# listing, the libraries are remembered.
#
# The simulator answers EWS as Exchange Online does for most tenants today
# (403 Forbidden), so the filter's default backend lists the groups over
# Microsoft Graph, as it does for a user.
#
#   scripts/demo.sh                 table of the simulator's default groups
#   scripts/demo.sh --ews           EWS answering normally, the filter forced to EWS
#   scripts/demo.sh --json          the same pass as one JSON object
#   scripts/demo.sh --backend graph the same groups over Microsoft Graph
#   scripts/demo.sh --start-point https://contoso.sharepoint.com/sites/top
#
# Other arguments go to synchost (scripts/wine-run build/bin/synchost.exe --help).
# Sets up everything on first use (toolchain, build, Wine prefix with the
# component and the host product's stand-ins registered) and leaves the prefix
# ready, so synchost can be run again by hand against any server.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
export WINEPREFIX=$build/wineprefix
setup_log=$build/demo-setup.log

step() { echo "demo: $*" >&2; }
# Set-up output goes to the log; on failure its end is shown.
quietly() {
  if ! "$@" >>"$setup_log" 2>&1; then
    echo "demo: failed: $*" >&2
    tail -n 30 "$setup_log" >&2
    exit 1
  fi
}

ews_mode=blocked
synchost_args=(--passes 2)
for argument in "$@"; do
  if [ "$argument" = "--ews" ]; then
    ews_mode=normal
    synchost_args+=(--backend ews)
  else
    synchost_args+=("$argument")
  fi
done

mkdir -p "$build"
: >"$setup_log"
step "toolchain and dependencies"
quietly bash "$here/scripts/bootstrap.sh"
step "building (log: $setup_log)"
quietly bash "$here/scripts/configure.sh" "$build"
quietly cmake --build "$build" -j2

step "preparing the Wine prefix $WINEPREFIX"
quietly bash "$here/scripts/prepare-prefix.sh" "$build"
run() { "$here/scripts/wine-run" "$@"; }
quietly run regsvr32 /s "$(winepath -w "$build/bin/KOVAUnifiedGroupsSync64.dll" 2>/dev/null)"
# synchost is no Office process: the Office major version comes from this
# setting (user settings key at its default path).
quietly run reg add 'HKCU\SOFTWARE\Quorval\Quorval KOVA' /v Tenbrid.ForceOutlookVersion /t REG_SZ /d 16 /f

# The filter remembers which service last produced the list; the demo puts
# back what the prefix held before.
settings_key='HKCU\SOFTWARE\Quorval\Quorval KOVA'
remembered_name=KOVAUnifiedGroups.AutoBackend
# Through a file, not a pipe: a helper process Wine starts on first need
# may inherit a pipe's write end and keep it open after reg has ended.
query_out=$build/demo-remembered.txt
run reg query "$settings_key" /v "$remembered_name" >"$query_out" 2>/dev/null || true
remembered=$(tr -d '\r' <"$query_out" | awk -v name="$remembered_name" '$1 == name { print $3 }') || true
rm -f "$query_out"

step "a test certificate authority for this run, trusted in the prefix only"
quietly bash "$here/scripts/test-tls.sh" setup "$build"
tls=$build/tls

step "starting the simulator on 127.0.0.1 (EWS: $ews_mode)"
portfile=$(mktemp)
rm -f "$portfile"
sim_pid=
finish() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "$portfile"
  if [ -n "$remembered" ]; then
    run reg add "$settings_key" /v "$remembered_name" /t REG_SZ /d "$remembered" /f >/dev/null 2>&1 || true
  else
    run reg delete "$settings_key" /v "$remembered_name" /f >/dev/null 2>&1 || true
  fi
  bash "$here/scripts/test-tls.sh" forget "$build" >>"$setup_log" 2>&1 || true
}
trap finish EXIT
python3 "$here/tools/ews-sim/ews_sim.py" --port 0 --port-file "$portfile" --lifetime 600 --ews-mode "$ews_mode" \
  --tls-cert "$tls/localhost.pem" --tls-key "$tls/localhost.key" &
sim_pid=$!
for _ in $(seq 100); do
  [ -s "$portfile" ] && break
  kill -0 "$sim_pid" 2>/dev/null || { echo "demo: the EWS simulator did not start" >&2; exit 1; }
  sleep 0.1
done
[ -s "$portfile" ] || { echo "demo: the EWS simulator did not report its port" >&2; exit 1; }
port=$(cat "$portfile")

root=https://localhost:$port/
step "two sync passes on one filter object against $root"
status=0
run "$build/bin/synchost.exe" --resource "$root" --graph-root "${root}v1.0/" \
  ${synchost_args[@]+"${synchost_args[@]}"} || status=$?
exit $status
