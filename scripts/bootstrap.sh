#!/usr/bin/env bash
# Installs the cross toolchain and Wine, and builds the target-side dependencies
# (glog, GoogleTest) into the dependency folder. Safe to run again: finished
# steps are skipped.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
deps=${KOVA_DEPS_DIR:-$here/.deps}
mkdir -p "$deps"

# clang, lld and llvm build the component (CodeView symbols in a PDB) against
# the MinGW-w64 GCC's runtime; python3-pefile reads the binaries in the tests.
packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine wine64
          clang lld llvm
          cmake googletest dpkg-dev python3 python3-pefile nlohmann-json3-dev openssl
          wixl msitools osslsigncode)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

add_source_entries() {
  # deb-src entries mirror the machine's own binary sources, so no host name is
  # ever written into the project.
  local out=/etc/apt/sources.list.d/kova-deb-src.sources
  [ -f "$out" ] && return 0
  local found=0
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    case "$f" in *kova-deb-src*) continue;; esac
    if grep -q '^Types:.*deb' "$f"; then
      sed 's/^Types:.*/Types: deb-src/' "$f" >>"$out"; echo >>"$out"; found=1
    fi
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' >/etc/apt/sources.list.d/kova-deb-src.list
    found=1
  fi
  [ $found = 1 ] || { echo "no Debian sources found to derive deb-src from" >&2; return 1; }
}

need_glog_source=0
[ -f "$deps/glog-install/lib/libglog.a" ] || need_glog_source=1

if [ ${#missing[@]} -gt 0 ] || [ $need_glog_source = 1 ]; then
  export DEBIAN_FRONTEND=noninteractive
  [ $need_glog_source = 1 ] && add_source_entries
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
fi

# The dependencies are built by the MinGW-w64 GCC; the component links them with lld.
toolchain=$here/cmake/mingw-w64-x86_64-gcc.cmake

if [ ! -f "$deps/glog-install/lib/libglog.a" ]; then
  rm -rf "$deps/glog-src"; mkdir -p "$deps/glog-src"
  (cd "$deps/glog-src" && apt-get source -qq google-glog >/dev/null 2>&1)
  src=$(find "$deps/glog-src" -maxdepth 1 -mindepth 1 -type d -name 'google-glog-*' | head -1)
  [ -n "$src" ] || { echo "glog source not fetched" >&2; exit 1; }
  cmake -S "$src" -B "$deps/glog-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DWITH_GFLAGS=OFF -DWITH_GTEST=OFF -DWITH_UNWIND=OFF \
    -DBUILD_SHARED_LIBS=OFF -DBUILD_TESTING=OFF -DCMAKE_INSTALL_PREFIX="$deps/glog-install" >/dev/null
  cmake --build "$deps/glog-build" -j"$(nproc)" >/dev/null
  cmake --install "$deps/glog-build" >/dev/null
fi

if [ ! -f "$deps/gtest-install/lib/libgtest.a" ]; then
  cmake -S /usr/src/googletest -B "$deps/gtest-build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=ON \
    -DCMAKE_INSTALL_PREFIX="$deps/gtest-install" >/dev/null
  cmake --build "$deps/gtest-build" -j"$(nproc)" >/dev/null
  cmake --install "$deps/gtest-build" >/dev/null
fi
echo "bootstrap: dependencies ready in $deps"
