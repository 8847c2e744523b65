#!/usr/bin/env bash
# Benchmarks of the Unified Groups filter against the local EWS simulator,
# printed as one table: sync pass against the network floor (no server delay),
# with each platform object (WinHTTP's and XMLHTTP's), CPU per exchange, the
# same passes over Graph and over HTTPS, start-up to the first request, passes
# at 100 ms per answer against their latency floor, the first and repeated
# passes with remembered libraries and the tenant model computed from them,
# XML cleaning throughput, private bytes over many passes.
# Figures only: nothing here fails on a timing.
#
# The simulator acknowledges as an ordinary server does (delayed ACKs) for
# every timed row; only the memory and load/unload rows, which time nothing,
# run against it with quick acknowledgements, so they take minutes less.
#
#   scripts/bench.sh    (BENCH_PASSES=5 BENCH_LATENCY_PASSES=3 BENCH_LATENCY_MS=100 BENCH_SYNCHOST_RUNS=5 BENCH_STARTUP_RUNS=21
#                        BENCH_MEMORY_PASSES=200 BENCH_MEMORY_GROUPS=20 BENCH_UNLOAD_CYCLES=200)
#   BENCH_ROWS=startup scripts/bench.sh    the start-up row alone
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
export WINEPREFIX=$build/wineprefix
setup_log=$build/bench-setup.log
passes=${BENCH_PASSES:-5}
memory_passes=${BENCH_MEMORY_PASSES:-200}
memory_groups=${BENCH_MEMORY_GROUPS:-20}
latency_passes=${BENCH_LATENCY_PASSES:-3}
latency_ms=${BENCH_LATENCY_MS:-100}
synchost_runs=${BENCH_SYNCHOST_RUNS:-5}
startup_runs=${BENCH_STARTUP_RUNS:-21}
unload_cycles=${BENCH_UNLOAD_CYCLES:-200}
rows=${BENCH_ROWS:-all}
case $rows in all | startup) ;; *) echo "bench: BENCH_ROWS is all or startup, not $rows" >&2; exit 2 ;; esac

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
quietly bash "$here/scripts/configure.sh" "$build"
quietly cmake --build "$build" -j2
quietly bash "$here/scripts/prepare-prefix.sh" "$build"
quietly run regsvr32 /s "$(winepath -w "$build/bin/KOVAUnifiedGroupsSync64.dll" 2>/dev/null)"

work=$(mktemp -d)
user_key='HKCU\SOFTWARE\Quorval\Quorval KOVA'
# The prefix is the demo's and the test suite's too: the user settings are put
# back as they were before this run (the demo's included), not just removed.
saved_settings=$work/user-settings.reg
had_settings=0
run reg export "$user_key" "$(winepath -w "$saved_settings" 2>/dev/null)" /y >/dev/null 2>&1 && had_settings=1
restore_settings() {
  run reg delete "$user_key" /f >/dev/null 2>&1 || true
  if [ $had_settings = 1 ] && ! run reg import "$(winepath -w "$saved_settings" 2>/dev/null)" >/dev/null 2>&1; then
    echo "bench: could not put the settings back from $saved_settings" >&2
    return 1
  fi
}
trap 'restore_settings; rm -rf "$work"' EXIT
quietly run reg add "$user_key" /v Tenbrid.ForceOutlookVersion /t REG_SZ /d 16 /f

sim_pid=
stop_simulator() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  sim_pid=
}
tls_ready=0
forget_tls() { [ $tls_ready = 1 ] && bash "$here/scripts/test-tls.sh" forget "$build" >>"$setup_log" 2>&1 || true; }
trap 'stop_simulator; restore_settings; forget_tls; rm -rf "$work"' EXIT

scheme=http
# ordinary: delayed acknowledgements, as a server's TCP stack sends them;
# quick: every segment acknowledged at once (--quick-ack), for untimed rows
# and the row that shows what the delayed ones cost.
ack_mode=ordinary
start_simulator() { # groups [answer delay ms [--tls-cert FILE --tls-key FILE]]
  stop_simulator
  rm -f "$work/port"
  local groups=$1 delay=${2:-0} ack=()
  shift
  [ $# -gt 0 ] && shift
  scheme=http
  [ $# -gt 0 ] && scheme=https
  [ $ack_mode = quick ] && ack=(--quick-ack)
  python3 "$here/tools/ews-sim/ews_sim.py" --port 0 --port-file "$work/port" --lifetime 1800 --groups "$groups" \
    --answer-delay-ms "$delay" "${ack[@]}" "$@" >>"$setup_log" 2>&1 &
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
# Arrival of the first logged request, milliseconds since 1970.
first_request_epoch_ms() { control GET requests | python3 -c 'import json,sys; print("%.3f" % (json.load(sys.stdin)[0]["time"] * 1000))'; }

bench() { "$here/scripts/wine-run" "$build/bin/kovabench.exe" "$@" | tr -d '\r'; }
figure() { sed -n "s/^$1=//p" <<<"$2"; }
# The platform object of the component's requests (KOVA.Http.Client, read once
# per process, so each bench process takes the value set before it); none: the default.
clients=(WinHTTP XMLHTTP)
set_client() { # WinHTTP | XMLHTTP | (nothing)
  if [ -n "${1:-}" ]; then
    quietly run reg add "$user_key" /v KOVA.Http.Client /t REG_SZ /d "$1" /f
  else
    run reg delete "$user_key" /v KOVA.Http.Client /f >/dev/null 2>&1 || true
  fi
}

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

if [ "$rows" = all ]; then
  # Component passes with each platform object, then the floor client, which
  # replays the exchanges of the WinHTTP passes.
  declare -A row floor_row
  component_passes() { # N client [graph]: "items exchanges median cpu min max" of $passes passes
    set_client "$2"
    control POST requests/clear >/dev/null
    local out
    out=$(bench pass "$url/" "$passes" ${3:-})
    echo "$(figure items "$out") $(($(request_count) / passes)) $(figure median_ms "$out") $(figure cpu_ms "$out") $(figure min_ms "$out") $(figure max_ms "$out")"
  }
  for n in 50 200 1000; do
    start_simulator "$n"
    for client in "${clients[@]}"; do
      step "N=$n: $passes component passes over $client"
      row[$n,$client]=$(component_passes "$n" "$client")
      [ "$client" = WinHTTP ] && write_envelopes "$(cut -d' ' -f2 <<<"${row[$n,$client]}")"
    done
    step "N=$n: $passes floor client passes"
    per_pass=$(cut -d' ' -f2 <<<"${row[$n,WinHTTP]}")
    floor=$(bench floor "$url" "$(winepath -w "$work/envelopes" 2>/dev/null)" "$passes")
    [ "$(figure answered "$floor")" = "$per_pass" ] || step "warning: the floor got $(figure answered "$floor") of $per_pass answers"
    floor_row[$n]="$(figure median_ms "$floor") $(figure cpu_ms "$floor") $(figure min_ms "$floor") $(figure max_ms "$floor")"
  done

  # What the delayed acknowledgements cost each platform object: the N=200 EWS
  # passes once more against a simulator that acknowledges at once.
  declare -A quick_row
  ack_mode=quick
  start_simulator 200
  for client in "${clients[@]}"; do
    step "N=200: $passes component passes over $client, the simulator acknowledging at once"
    quick_row[$client]=$(component_passes 200 "$client")
  done
  ack_mode=ordinary

  # The same passes over Microsoft Graph: one listing page per 999 groups and one
  # batch per 20 drives instead of one details request per group.
  declare -A graph_row
  for n in 50 200 1000; do
    start_simulator "$n"
    for client in "${clients[@]}"; do
      step "N=$n: $passes component passes over Microsoft Graph and $client"
      graph_row[$n,$client]=$(component_passes "$n" "$client" graph)
    done
  done
fi
# Every other row: the default platform object.
set_client

# Start-up: a fresh process to its first request on the wire, the component's
# against the floor client's, and where the component's time goes. One run
# first, not counted, gives the floor client its exchanges; then the two
# alternate, so both meet the same load on a shared machine. Both are the same
# program: its own start-up (process start to its main) is shown apart.
# A host finds the filter's settings in place when it starts: the service
# root is set here, before the processes, not by them. 21 of each by default:
# the two first lines lie within a millisecond, and with 9 of each their
# medians changed places from one run to the next.
step "start-up: $startup_runs component processes over each platform object and as many floor client processes, N=20"
start_simulator 20
quietly run reg add "$user_key" /v KOVAUnifiedGroups.Resource /t REG_SZ /d "$url/" /f
median() { sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] }'; }
since() { awk -v a="$1" -v b="$2" 'BEGIN { print a - b }'; } # later earlier
declare -A startup_figures
# The spans of one process, from its epochs and the first request's arrival:
# process start to first request; to main; main to the COM apartment;
# apartment to first request; the component's also split at the filter's
# creation (load to folder update) and the folder update (to first request).
startup_spans() { # program(component|xmlhttp|floor) figures first-arrival
  local p m a
  p=$(figure process_epoch_ms "$2") m=$(figure main_epoch_ms "$2") a=$(figure apartment_epoch_ms "$2")
  startup_figures[$1,total]+="$(since "$3" "$p") "
  startup_figures[$1,main]+="$(since "$m" "$p") "
  startup_figures[$1,com]+="$(since "$a" "$m") "
  startup_figures[$1,own]+="$(since "$3" "$a") "
  [ "$1" = floor ] && return 0
  startup_figures[$1,create]+="$(since "$(figure update_epoch_ms "$2")" "$(figure load_epoch_ms "$2")") "
  startup_figures[$1,update]+="$(since "$3" "$(figure update_epoch_ms "$2")") "
}
startup_median() { printf '%s\n' ${startup_figures[$1,$2]} | median; } # program span
control POST requests/clear >/dev/null
bench startup >/dev/null
write_envelopes 21
# Resolved once, before the loop: a Wine process started just before the
# floor client's would share the machine with its start.
envelopes=$(winepath -w "$work/envelopes" 2>/dev/null)
# The component over XMLHTTP as well, the floor client's platform object: what
# is left between the two is the component's own path, the rest is WinHTTP's.
for _ in $(seq "$startup_runs"); do
  control POST requests/clear >/dev/null
  startup=$(bench startup)
  startup_spans component "$startup" "$(first_request_epoch_ms)"
  control POST requests/clear >/dev/null
  floor_startup=$(bench floor "$url" "$envelopes" 1)
  startup_spans floor "$floor_startup" "$(first_request_epoch_ms)"
  set_client XMLHTTP
  control POST requests/clear >/dev/null
  startup=$(bench startup)
  startup_spans xmlhttp "$startup" "$(first_request_epoch_ms)"
  set_client
done

print_startup() {
  echo "start-up to the first request (N=20, median of $startup_runs processes each, alternating; the service root set"
  echo "before the processes start, as a host finds it; the default platform object):"
  echo "  process start to first request $(startup_median component total) ms (floor client $(startup_median floor total) ms)"
  echo "  process start to main (the program's own start-up) $(startup_median component main) ms" \
       "(floor client $(startup_median floor main) ms), main to COM apartment $(startup_median component com) ms" \
       "(floor client $(startup_median floor com) ms),"
  echo "  COM apartment to first request $(startup_median component own) ms (floor client $(startup_median floor own) ms);" \
       "of the component's: filter created and set up"
  echo "  (DLL load, start-up duties, class factory, informer, profile name) $(startup_median component create) ms," \
       "folder update to the first request"
  echo "  (settings, profile folder, token library, platform request and its send) $(startup_median component update) ms"
  echo "  the component over XMLHTTP (KOVA.Http.Client, the floor client's platform object): process start to first"
  echo "  request $(startup_median xmlhttp total) ms, COM apartment to first request $(startup_median xmlhttp own) ms" \
       "(filter created $(startup_median xmlhttp create) ms, folder update $(startup_median xmlhttp update) ms)"
}
if [ "$rows" = startup ]; then
  echo
  print_startup
  exit 0
fi

# Under real latency: every answer waits; the latency floor is the round trips
# a pass cannot avoid times that wait (EWS: the listing and one details request
# per group, one after another; Graph: the listing page, then the drive
# batches four at a time). Graph also as whole synchost processes.
round_trips() { # ews|graph N
  if [ "$1" = ews ]; then echo $(($2 + 1)); else echo $((1 + ((($2 + 19) / 20) + 3) / 4)); fi
}
synchost_ms() { # url
  local times=() start end
  for _ in $(seq "$synchost_runs"); do
    start=$(date +%s%N)
    "$here/scripts/wine-run" "$build/bin/synchost.exe" --resource "$1/" --backend graph --graph-root "$1/v1.0/" \
      >>"$setup_log" 2>&1 || step "warning: synchost failed"
    end=$(date +%s%N)
    times+=($(((end - start) / 1000)))
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{ a[NR] = $1 } END { printf "%.1f", a[int((NR + 1) / 2)] / 1000 }'
}
declare -A latency_row
for n in 20 200; do
  step "N=$n at $latency_ms ms per answer: $latency_passes EWS passes, Graph passes, synchost processes"
  start_simulator "$n" "$latency_ms"
  ews=$(bench pass "$url/" "$latency_passes")
  graph=$(bench pass "$url/" "$latency_passes" graph)
  latency_row[$n]="$(figure median_ms "$ews") $(figure median_ms "$graph") $(synchost_ms "$url")"
done
# Remembered libraries: on one filter object, the first pass asks every
# library, the repeated ones only the listing (KOVAUnifiedGroups.LibraryRefreshHours
# at its default). Every other row asks every library at every pass.
step "N=200 at $latency_ms ms per answer: a first and $latency_passes repeated passes on one filter object, EWS and Graph"
start_simulator 200 "$latency_ms"
declare -A repeat_row
for backend in ews graph; do
  if [ $backend = graph ]; then out=$(bench repeat "$url/" "$latency_passes" graph); else out=$(bench repeat "$url/" "$latency_passes"); fi
  repeat_row[$backend]="$(figure first_requests "$out") $(figure first_ms "$out") $(figure repeat_requests "$out") $(figure median_ms "$out") $(figure max_ms "$out") $(figure refresh_ms "$out")"
done
# The tenant model's figures: one user's 50 groups, the first and a repeated
# pass, with the library requests (EWS details, Graph drive sub-requests)
# counted in the simulator's log.
step "N=50: a first and a repeated pass, EWS and Graph, for the tenant model"
start_simulator 50
library_requests() { control GET requests | python3 -c '
import json, sys
count = 0
for r in json.load(sys.stdin):
    if r["path"].endswith("/$batch"):
        count += len(json.loads(r["body"])["requests"])
    elif "GetUnifiedGroupDetails" in r["body"]:
        count += 1
print(count)'; }
declare -A model_row
for backend in ews graph; do
  control POST requests/clear >/dev/null
  if [ $backend = graph ]; then out=$(bench repeat "$url/" 1 graph); else out=$(bench repeat "$url/" 1); fi
  model_row[$backend]="$(figure first_requests "$out") $(figure repeat_requests "$out") $(library_requests)"
done

# The N=200 passes once more over HTTPS (https://localhost, a certificate from
# this run's test CA trusted in the prefix): the cost of TLS per exchange.
step "N=200: $passes component passes over HTTPS, EWS and Graph"
quietly bash "$here/scripts/test-tls.sh" setup "$build"
tls_ready=1
declare -A https_row
for backend in ews graph; do
  start_simulator 200 0 --tls-cert "$build/tls/localhost.pem" --tls-key "$build/tls/localhost.key"
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
ack_mode=quick # these rows and the load/unload rows time nothing
start_simulator "$memory_groups"
control POST requests/clear >/dev/null
memory=$(bench memory "$url/" "$memory_passes")
total=$(request_count)
write_envelopes "$((total / memory_passes))"
floor_memory=$(bench floor-memory "$url" "$(winepath -w "$work/envelopes" 2>/dev/null)" "$memory_passes")

# The host's unload rhythm: cycles of create, one pass, release and
# CoFreeUnusedLibrariesEx(0, 0), then the floor client's same exchanges in as
# many cycles (it loads and unloads the platform's libraries alike): what each
# cycle leaves behind beyond the floor is the component's.
step "load/unload: $unload_cycles cycles of create, pass, release, free unused libraries, N=20, then the floor"
start_simulator 20
control POST requests/clear >/dev/null
unload=$(bench unload "$url/" "$unload_cycles" hold-token-library)
write_envelopes "$(($(request_count) / unload_cycles))"
unload_reloading=$(bench unload "$url/" "$unload_cycles")
floor_unload=$(bench floor-unload "$url" "$(winepath -w "$work/envelopes" 2>/dev/null)" "$unload_cycles")

# The same passes once recorded and then replayed from the recordings: the whole
# component without the platform's request object. The replaying request is
# only built in a test-runner process, hence the copy under such a name.
step "memory: the same passes recorded, then replayed without the network"
runner=$work/vstest.console.exe
cp "$build/bin/kovabench.exe" "$runner"
mkdir -p "$work/recordings"
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
echo "EWS, no server delay: the component's passes with each platform object (KOVA.Http.Client) against the floor client"
printf '%-6s %-8s %6s %9s %12s %17s %10s %17s %7s %14s %14s\n' N client items exchanges component_ms "(min-max)" \
  floor_ms "(min-max)" ratio cpu_us/exch cpu_us/exch_fl
for n in 50 200 1000; do
  read -r fl fcpu fmin fmax <<<"${floor_row[$n]}"
  for client in "${clients[@]}"; do
    read -r items exch comp ccpu cmin cmax <<<"${row[$n,$client]}"
    awk -v n="$n" -v k="$client" -v i="$items" -v e="$exch" -v c="$comp" -v f="$fl" -v cc="$ccpu" -v fc="$fcpu" \
        -v cl="$cmin" -v ch="$cmax" -v fl="$fmin" -v fh="$fmax" 'BEGIN {
      printf "%-6s %-8s %6s %9s %12.1f %17s %10.1f %17s %7.3f %14.1f %14.1f\n", n, k, i, e, c,
             sprintf("(%.0f-%.0f)", cl, ch), f, sprintf("(%.0f-%.0f)", fl, fh), c / f, cc * 1000 / e, fc * 1000 / e }'
  done
done
echo "(median of $passes passes, with their minimum and maximum; ratio = median / median;"
echo " CPU = process user+system per pass / exchanges; the floor client is a bare synchronous XMLHTTP client)"
echo
echo "the same N=200 EWS passes against a simulator that acknowledges every segment at once (TCP_QUICKACK):"
printf '%-8s %9s %14s %14s %16s\n' client exchanges ordinary_ms quick_ack_ms delay_ms/exch
for client in "${clients[@]}"; do
  read -r _ exch ordinary _ <<<"${row[200,$client]}"
  read -r _ _ quick _ <<<"${quick_row[$client]}"
  awk -v k="$client" -v e="$exch" -v o="$ordinary" -v q="$quick" 'BEGIN {
    printf "%-8s %9s %14.1f %14.1f %16.1f\n", k, e, o, q, (o - q) / e }'
done
echo "(Wine's WinHTTP writes a POST's headers and its body in two sends with Nagle's algorithm on: the body"
echo " waits for the server's delayed acknowledgement of the headers, at every POST)"
echo
printf '%-6s %-8s %6s %9s %12s %17s %14s\n' N client items exchanges graph_ms "(min-max)" cpu_us/exch
for n in 50 200 1000; do
  for client in "${clients[@]}"; do
    read -r items exch comp ccpu cmin cmax <<<"${graph_row[$n,$client]}"
    awk -v n="$n" -v k="$client" -v i="$items" -v e="$exch" -v c="$comp" -v cc="$ccpu" -v cl="$cmin" -v ch="$cmax" 'BEGIN {
      printf "%-6s %-8s %6s %9s %12.1f %17s %14.1f\n", n, k, i, e, c, sprintf("(%.0f-%.0f)", cl, ch), cc * 1000 / e }'
  done
done
echo "(Microsoft Graph path, KOVAUnifiedGroups.Backend = Graph: median of $passes passes with each platform object)"
echo
print_startup
echo
echo "at $latency_ms ms per answer (median of $latency_passes): wall time against the latency floor (round trips x delay)"
printf '%-6s %10s %10s %7s %10s %10s %7s %14s\n' N ews_ms floor_ms ratio graph_ms floor_ms ratio synchost_graph
for n in 20 200; do
  read -r ews graph whole <<<"${latency_row[$n]}"
  awk -v n="$n" -v e="$ews" -v g="$graph" -v w="$whole" -v d="$latency_ms" \
      -v re="$(round_trips ews "$n")" -v rg="$(round_trips graph "$n")" 'BEGIN {
    printf "%-6s %10.1f %10.1f %7.2f %10.1f %10.1f %7.2f %14.1f\n", n, e, re * d, e / (re * d), g, rg * d, g / (rg * d), w }'
done
read -r _ _ whole20 <<<"${latency_row[20]}"
read -r _ _ whole200 <<<"${latency_row[200]}"
awk -v a="$whole20" -v b="$whole200" -v r="$synchost_runs" 'BEGIN {
  printf "(synchost_graph = a whole synchost process over Graph, median of %d; N=200 / N=20: %.2fx)\n", r, b / a }'
echo
echo "remembered libraries, N=200 at $latency_ms ms per answer, one filter object: the first pass, then the repeated"
echo "passes (median and maximum of $latency_passes) against their latency floor"
printf '%-6s %-9s %9s %10s %10s %10s %10s %7s %9s\n' path pass requests wall_ms max_ms update_ms floor_ms ratio upd_ratio
for backend in ews graph; do
  read -r first_req first_ms repeat_req repeat_ms repeat_max repeat_update <<<"${repeat_row[$backend]}"
  awk -v b="$backend" -v fr="$first_req" -v fm="$first_ms" -v rr="$repeat_req" -v rm="$repeat_ms" -v rx="$repeat_max" \
      -v ru="$repeat_update" -v d="$latency_ms" -v rt="$(round_trips "$backend" 200)" 'BEGIN {
    printf "%-6s %-9s %9s %10.1f %10s %10s %10.1f %7.2f\n", b, "first", fr, fm, "", "", rt * d, fm / (rt * d)
    printf "%-6s %-9s %9s %10.1f %10.1f %10.1f %10.1f %7.2f %9.2f\n", b, "repeated", rr, rm, rx, ru, d, rm / d, ru / d }'
done
echo "(wall: the whole pass, folder update and the hand-over of 200 items; update: the folder update alone;"
echo " floor: the round trips a pass cannot avoid times the delay, for a repeated pass the listing alone."
echo " target: a repeated pass sends 1 request and takes at most 1.3 x one round trip)"
echo
model_users=10000 model_groups=50 model_passes_per_day=48 model_refresh_hours=24
echo "tenant model: $model_users users in $model_groups groups each, a pass every 30 minutes ($model_passes_per_day a day),"
echo "libraries refreshed every $model_refresh_hours hours; from the measured passes of one user's $model_groups groups"
printf '%-6s %14s %14s %16s %16s %20s %20s\n' path first_pass repeated_pass requests/day requests/day library_req/day \
  library_req/day
printf '%-6s %14s %14s %16s %16s %20s %20s\n' "" requests requests before after before after
for backend in ews graph; do
  read -r first_req repeat_req libraries <<<"${model_row[$backend]}"
  awk -v b="$backend" -v f="$first_req" -v r="$repeat_req" -v l="$libraries" -v u="$model_users" \
      -v g="$model_groups" -v p="$model_passes_per_day" -v h="$model_refresh_hours" 'BEGIN {
    refreshed = g * 24 / h   # libraries asked per user and day: each once per refresh age
    printf "%-6s %14d %14d %16.0f %16.0f %20.0f %20.0f\n", b, f, r, u * p * f, u * (p * r + refreshed), u * p * l,
           u * refreshed * l / g }'
done
echo "(library requests: EWS GetUnifiedGroupDetails, Graph drive requests inside the batches, each counted"
echo " against the service's throttling budget; after: every pass sends the listing, and each library is"
echo " asked once per refresh age in a request of its own, spread over the passes by the +/-10 % per entry)"
echo
printf '%-6s %-6s %6s %9s %10s %10s %11s %14s\n' N path items exchanges http_ms https_ms tls_ms/exch cpu_us/exch_tls
read -r _ _ ews_http _ <<<"${row[200,WinHTTP]}"
read -r _ _ graph_http _ <<<"${graph_row[200,WinHTTP]}"
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
unload_line() { # label figures
  awk -v l="$1" -v h1="$(figure handles_10 "$2")" -v h2="$(figure handles_last "$2")" \
      -v p1="$(figure private_10 "$2")" -v p2="$(figure private_last "$2")" -v c="$unload_cycles" \
      -v l1="$(figure heap_10 "$2")" -v l2="$(figure heap_last "$2")" 'BEGIN {
    printf "%-10s %10d %10d %12.3f %12.0f %12.0f %12.2f %14.2f\n", l, h1, h2, (h2 - h1) / (c - 10), p1 / 1024, p2 / 1024,
           (p2 - p1) / 1024 / (c - 10), (l2 - l1) / 1024 / (c - 10) }'
}
echo
echo "load/unload, $unload_cycles cycles of create, one pass (N=20), release, CoFreeUnusedLibrariesEx(0, 0):"
printf '%-10s %10s %10s %12s %12s %12s %12s %14s\n' client handles_10 handles_$unload_cycles handles/cycle private_kb_10 \
  private_kb_$unload_cycles kb/cycle heap_kb/cycle
unload_line component "$unload"
unload_line floor "$floor_unload"
unload_line reloading "$unload_reloading"
awk -v a1="$(figure handles_10 "$unload")" -v a2="$(figure handles_last "$unload")" \
    -v b1="$(figure handles_10 "$floor_unload")" -v b2="$(figure handles_last "$floor_unload")" \
    -v p1="$(figure private_10 "$unload")" -v p2="$(figure private_last "$unload")" \
    -v q1="$(figure private_10 "$floor_unload")" -v q2="$(figure private_last "$floor_unload")" -v c="$unload_cycles" 'BEGIN {
  printf "per cycle beyond the floor: %+.3f handles, %+.2f KB (target: at most 0.05 handles and 4 KB)\n",
         ((a2 - a1) - (b2 - b1)) / (c - 10), ((p2 - p1) - (q2 - q1)) / 1024 / (c - 10) }'
echo "(handles counted by probing handle values; private = committed private memory walked with VirtualQuery;"
echo " heap = live heap bytes; component = the token library stand-in held loaded by the bench, reloading ="
echo " the same with the stand-in unloaded and loaded again every cycle, its own static runtime's cost)"
echo "XML cleaning, $(figure answer_mb "$clean") MB answer: CleanXmlText $(figure clean_mbps "$clean") MB/s, SanitiseXMLDocument(text) $(figure sanitise_mbps "$clean") MB/s"
