#!/usr/bin/env bash
# Benchmarks of the Unified Groups filter against the local EWS simulator (no
# server delay), printed as one table: sync pass against the network floor,
# CPU per exchange, the same passes over Graph and over HTTPS, XML cleaning
# throughput, private bytes over many passes.
# Figures only: nothing here fails on a timing.
#
#   scripts/bench.sh    (BENCH_PASSES=5 BENCH_MEMORY_PASSES=200 BENCH_MEMORY_GROUPS=20)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
export WINEPREFIX=$build/wineprefix
setup_log=$build/bench-setup.log
passes=${BENCH_PASSES:-5}
memory_passes=${BENCH_MEMORY_PASSES:-200}
memory_groups=${BENCH_MEMORY_GROUPS:-20}

step() { echo "bench: $*" >&2; }
quietly() {
  if ! "$@" >>"$setup_log" 2>&1; then
    echo "bench: failed: $*" >&2
    tail -n 30 "$setup_log" >&2
    exit 1
  fi
}
run() { "$here/scripts/wine-run" "$@"; }

mkdir -p "$build"
: >"$setup_log"
step "toolchain, build and Wine prefix (log: $setup_log)"
quietly bash "$here/scripts/bootstrap.sh"
quietly cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_DEPS_DIR="${KOVA_DEPS_DIR:-$here/.deps}"
quietly cmake --build "$build" -j2
quietly bash "$here/scripts/prepare-prefix.sh" "$build"
quietly run regsvr32 /s "$(winepath -w "$build/bin/KOVAUnifiedGroupsSync64.dll" 2>/dev/null)"
quietly run reg add 'HKCU\SOFTWARE\Quorval\Quorval KOVA' /v Tenbrid.ForceOutlookVersion /t REG_SZ /d 16 /f

work=$(mktemp -d)
sim_pid=
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=
}
# The prefix is the test suite's too: take back the settings this run made.
forget_settings() {
  for name in Tenbrid.ForceOutlookVersion KOVAUnifiedGroups.Resource Mock.ILSHttpRequest \
              Mock.ILSHttpRequest.Config Mock.ILSHttpRequest.BaseRecordingDirectory; do
    run reg delete 'HKCU\SOFTWARE\Quorval\Quorval KOVA' /v "$name" /f >/dev/null 2>&1 || true
  done
}
tls_ready=0
forget_tls() { [ $tls_ready = 1 ] && bash "$here/scripts/test-tls.sh" forget "$build" >>"$setup_log" 2>&1 || true; }
trap 'stop_simulator; forget_settings; forget_tls; rm -rf "$work"' EXIT

scheme=http
start_simulator() { # groups [--tls-cert FILE --tls-key FILE]
  stop_simulator
  rm -f "$work/port"
  scheme=http
  [ $# -gt 1 ] && scheme=https
  python3 "$here/tools/ews-sim/ews_sim.py" --port 0 --port-file "$work/port" --lifetime 900 --groups "$@" \
    >>"$setup_log" 2>&1 &
  sim_pid=$!
  for _ in $(seq 100); do
    [ -s "$work/port" ] && break
    kill -0 "$sim_pid" 2>/dev/null || { echo "bench: the EWS simulator did not start" >&2; exit 1; }
    sleep 0.1
  done
  if [ $scheme = https ]; then
    url="https://localhost:$(cat "$work/port")"
  else
    url="http://127.0.0.1:$(cat "$work/port")"
  fi
}
control() {
  local trust=()
  [ $scheme = https ] && trust=(--cacert "$build/tls/ca.pem")
  curl -s --noproxy "*" "${trust[@]}" -X "$1" "$url/_sim/$2"
}
request_count() { control GET requests | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))'; }

bench() { "$here/scripts/wine-run" "$build/bin/kovabench.exe" "$@" | tr -d '\r'; }
figure() { sed -n "s/^$1=//p" <<<"$2"; }

# The first component pass's exchanges, as the floor client reads them.
write_envelopes() { # requests-per-pass
  control GET requests | python3 -c '
import json, sys
count = int(sys.argv[1])
skip = {"host", "content-length", "connection", "cache-control", "accept-encoding", "accept-language", "accept"}
out = sys.stdout.buffer
for r in json.load(sys.stdin)[:count]:
    headers = [(n, v) for n, v in r["headers"] if n.lower() not in skip]
    body = r["body"].encode("utf-8")
    out.write(("%s\n%d\n" % (r["path"], len(headers))).encode("utf-8"))
    for n, v in headers:
        out.write(("%s\n%s\n" % (n, v)).encode("utf-8"))
    out.write(b"%d\n" % len(body) + body + b"\n")
' "$1" >"$work/envelopes"
}

declare -A row
for n in 50 200 1000; do
  step "N=$n: $passes component passes, then the floor"
  start_simulator "$n"
  control POST requests/clear >/dev/null
  out=$(bench pass "$url/" "$passes")
  total=$(request_count)
  per_pass=$((total / passes))
  write_envelopes "$per_pass"
  floor=$(bench floor "$url" "$(winepath -w "$work/envelopes" 2>/dev/null)" "$passes")
  [ "$(figure answered "$floor")" = "$per_pass" ] || step "warning: the floor got $(figure answered "$floor") of $per_pass answers"
  row[$n]="$(figure items "$out") $per_pass $(figure median_ms "$out") $(figure median_ms "$floor") $(figure cpu_ms "$out") $(figure cpu_ms "$floor")"
done

# The same passes over Microsoft Graph: one listing page per 999 groups and one
# batch per 20 drives instead of one details request per group.
declare -A graph_row
for n in 50 200 1000; do
  step "N=$n: $passes component passes over Microsoft Graph"
  start_simulator "$n"
  control POST requests/clear >/dev/null
  out=$(bench pass "$url/" "$passes" graph)
  total=$(request_count)
  graph_row[$n]="$(figure items "$out") $((total / passes)) $(figure median_ms "$out") $(figure cpu_ms "$out")"
done

# The N=200 passes once more over HTTPS (https://localhost, a certificate from
# this run's test CA trusted in the prefix): the cost of TLS per exchange.
step "N=200: $passes component passes over HTTPS, EWS and Graph"
quietly bash "$here/scripts/test-tls.sh" setup "$build"
tls_ready=1
declare -A https_row
for backend in ews graph; do
  start_simulator 200 --tls-cert "$build/tls/localhost.pem" --tls-key "$build/tls/localhost.key"
  control POST requests/clear >/dev/null
  if [ $backend = graph ]; then out=$(bench pass "$url/" "$passes" graph); else out=$(bench pass "$url/" "$passes"); fi
  https_row[$backend]="$(figure items "$out") $(($(request_count) / passes)) $(figure median_ms "$out") $(figure cpu_ms "$out")"
done
stop_simulator
scheme=http

# Memory over many passes of one filter object, then the floor client over as
# many passes of the same exchanges: what the platform's HTTP stack keeps per
# exchange shows in both, the component's own growth is the difference.
step "memory: $memory_passes passes of one filter object, N=$memory_groups, then the floor"
start_simulator "$memory_groups"
control POST requests/clear >/dev/null
memory=$(bench memory "$url/" "$memory_passes")
total=$(request_count)
write_envelopes "$((total / memory_passes))"
floor_memory=$(bench floor-memory "$url" "$(winepath -w "$work/envelopes" 2>/dev/null)" "$memory_passes")

# The same passes once recorded and then replayed from the recordings: the whole
# component without the platform's request object. The replaying request is
# only built in a test-runner process, hence the copy under such a name.
step "memory: the same passes recorded, then replayed without the network"
runner=$work/vstest.console.exe
cp "$build/bin/kovabench.exe" "$runner"
mkdir -p "$work/recordings"
user_key='HKCU\SOFTWARE\Quorval\Quorval KOVA'
quietly run reg add "$user_key" /v Mock.ILSHttpRequest.BaseRecordingDirectory /t REG_SZ \
  /d "$(winepath -w "$work/recordings" 2>/dev/null)" /f
quietly run reg add "$user_key" /v Mock.ILSHttpRequest.Config /t REG_SZ /d memory /f
quietly run reg add "$user_key" /v Mock.ILSHttpRequest /t REG_DWORD /d 1 /f
"$here/scripts/wine-run" "$runner" memory "$url/" "$memory_passes" >>"$setup_log"
stop_simulator
quietly run reg add "$user_key" /v Mock.ILSHttpRequest /t REG_DWORD /d 2 /f
replay_memory=$("$here/scripts/wine-run" "$runner" memory "$url/" "$memory_passes" | tr -d '\r')

step "XML cleaning on a 10 MB answer"
clean=$(bench clean 10)

echo
printf '%-6s %6s %9s %12s %10s %7s %14s %14s\n' N items exchanges component_ms floor_ms ratio cpu_us/exch cpu_us/exch_fl
for n in 50 200 1000; do
  read -r items exch comp fl ccpu fcpu <<<"${row[$n]}"
  awk -v n="$n" -v i="$items" -v e="$exch" -v c="$comp" -v f="$fl" -v cc="$ccpu" -v fc="$fcpu" 'BEGIN {
    printf "%-6s %6s %9s %12.1f %10.1f %7.3f %14.1f %14.1f\n", n, i, e, c, f, c / f, cc * 1000 / e, fc * 1000 / e }'
done
echo "(median of $passes passes; CPU = process user+system per pass / exchanges)"
echo
printf '%-6s %6s %9s %12s %14s\n' N items exchanges graph_ms cpu_us/exch
for n in 50 200 1000; do
  read -r items exch comp ccpu <<<"${graph_row[$n]}"
  awk -v n="$n" -v i="$items" -v e="$exch" -v c="$comp" -v cc="$ccpu" 'BEGIN {
    printf "%-6s %6s %9s %12.1f %14.1f\n", n, i, e, c, cc * 1000 / e }'
done
echo "(Microsoft Graph path, KOVAUnifiedGroups.Backend = Graph: median of $passes passes)"
echo
printf '%-6s %-6s %6s %9s %10s %10s %11s %14s\n' N path items exchanges http_ms https_ms tls_ms/exch cpu_us/exch_tls
read -r _ _ ews_http _ _ _ <<<"${row[200]}"
read -r _ _ graph_http _ <<<"${graph_row[200]}"
for backend in ews graph; do
  read -r items exch comp ccpu <<<"${https_row[$backend]}"
  plain=$ews_http
  [ $backend = graph ] && plain=$graph_http
  awk -v b="$backend" -v i="$items" -v e="$exch" -v p="$plain" -v c="$comp" -v cc="$ccpu" 'BEGIN {
    printf "%-6s %-6s %6s %9s %10.1f %10.1f %11.2f %14.1f\n", 200, b, i, e, p, c, (c - p) / e, cc * 1000 / e }'
done
echo "(HTTPS to https://localhost with this run's test CA: median of $passes passes; tls_ms/exch = (https - http) / exchanges)"
memory_line() { # label figures
  awk -v l="$1" -v a="$(figure private_first "$2")" -v b="$(figure private_last "$2")" \
      -v h="$(figure heap_first "$2")" -v k="$(figure heap_last "$2")" 'BEGIN {
    printf "%-10s %10.2f %10.2f %+10.3f %12.2f %12.2f %+10.3f\n", l, a / 1048576, b / 1048576, (b - a) / 1048576,
           h / 1048576, k / 1048576, (k - h) / 1048576 }'
}
echo
echo "memory, one filter object, N=$memory_groups: MB after pass 1 and after pass $memory_passes"
printf '%-10s %10s %10s %10s %12s %12s %10s\n' client private_1 private_$memory_passes growth live_heap_1 live_heap_$memory_passes growth
memory_line component "$memory"
memory_line floor "$floor_memory"
memory_line replayed "$replay_memory"
awk -v a="$(figure heap_last "$memory")" -v b="$(figure heap_first "$memory")" \
    -v c="$(figure heap_last "$floor_memory")" -v d="$(figure heap_first "$floor_memory")" -v p="$memory_passes" 'BEGIN {
  printf "own live-heap growth of the component (component - floor): %+.3f MB over %d passes\n", ((a - b) - (c - d)) / 1048576, p - 1 }'
echo "(private = commit charge; live heap = busy blocks of every process heap; replayed = the component"
echo " replaying its recorded exchanges, no platform request object)"
echo "XML cleaning, $(figure answer_mb "$clean") MB answer: CleanXmlText $(figure clean_mbps "$clean") MB/s, SanitiseXMLDocument(text) $(figure sanitise_mbps "$clean") MB/s"
