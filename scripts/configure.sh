#!/usr/bin/env bash
# Configures the one build (RelWithDebInfo with the project's tool chain) in
# the folder given. A folder configured earlier with another compiler (the
# tool chain changed) is configured afresh: CMake keeps the compiler of its
# first run, so the old cache would build with the wrong one.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$1
toolchain=$here/cmake/mingw-w64-x86_64.cmake
cache=$build/CMakeCache.txt
if [ -f "$cache" ]; then
  wanted=$(sed -n 's/^set(CMAKE_CXX_COMPILER[[:space:]]\+\([^[:space:])]*\).*/\1/p' "$toolchain" | head -1)
  # A compiler set by the tool chain file is not in the cache: CMake records
  # the one it found under CMakeFiles/<version>/.
  cached=$(sed -n 's/^set(CMAKE_CXX_COMPILER "\([^"]*\)")/\1/p' "$build"/CMakeFiles/*/CMakeCXXCompiler.cmake 2>/dev/null |
    head -1 || true)
  if [ -n "$wanted" ] && [ "$(basename "$cached")" != "$(basename "$wanted")" ]; then
    rm -rf "$cache" "$build/CMakeFiles"
  fi
fi
cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_DEPS_DIR="${KOVA_DEPS_DIR:-$here/.deps}"
