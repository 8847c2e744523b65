#!/usr/bin/env bash
# Makes the Wine prefix of a build ready for the tests: the host's interface
# type library registered, and whatever stand-ins the host product would have
# installed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
run() { "$here/scripts/wine-run" "$@"; }

run "$build/bin/regtlb.exe" "$(winepath -w "$build/generated/KOVASyncBasicsLib.tlb" 2>/dev/null)"
for step in "$here"/scripts/prefix.d/*.sh; do
  [ -f "$step" ] && bash "$step" "$build"
done
exit 0
