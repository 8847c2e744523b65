#!/usr/bin/env bash
# Runs every test: installs what is missing, builds the component and its test
# programs for Windows, prepares the Wine prefix and runs the suite under Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
export WINEPREFIX=$build/wineprefix

bash "$here/scripts/bootstrap.sh"
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_DEPS_DIR="${KOVA_DEPS_DIR:-$here/.deps}" >/dev/null
cmake --build "$build" -j"$(nproc)"

status=0
(cd "$build" && ctest --output-on-failure "$@") || status=$?
wineserver -k 2>/dev/null || true
exit $status
