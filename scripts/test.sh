#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the component and its test
# programs for Windows, prepares the Wine prefix and runs the suite under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
export WINEPREFIX=$build/wineprefix

bash "$here/scripts/bootstrap.sh"
bash "$here/scripts/configure.sh" "$build" >/dev/null
cmake --build "$build" -j"$(nproc)"

status=0
(cd "$build" && ctest --output-on-failure "$@") || status=$?
wineserver -k 2>/dev/null || true
exit $status
