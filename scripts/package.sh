#!/usr/bin/env bash
# Builds the component's Windows Installer package,
# build/package/KOVAUnifiedGroupsSync64-VERSION.msi (VERSION: the DLL's file
# version), with the Group Policy templates beside it in
# build/package/PolicyDefinitions. With KOVA_SIGN_PFX (a PKCS#12 file holding
# a code-signing certificate and its key) and KOVA_SIGN_PASSWORD set, the DLLs
# and the package are Authenticode-signed, with an RFC 3161 timestamp from
# KOVA_SIGN_TIMESTAMP_URL when that is set too.
#
# KOVA_PACKAGE_BIN (a folder holding KOVAUnifiedGroupsSync64.dll and
# ResourceLibraries/) packages given binaries instead of building them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${KOVA_BUILD_DIR:-$here/build}
out=${KOVA_PACKAGE_DIR:-$build/package}
bin=${KOVA_PACKAGE_BIN:-}
component=KOVAUnifiedGroupsSync64
languages=(en de)

if [ -z "$bin" ]; then
  bash "$here/scripts/bootstrap.sh" >/dev/null
  cmake -S "$here" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOVA_DEPS_DIR="${KOVA_DEPS_DIR:-$here/.deps}" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target "$component" "${languages[@]/#/$component-}" >/dev/null
  bin=$build/bin
fi

signing=0
if [ -n "${KOVA_SIGN_PFX:-}" ] || [ -n "${KOVA_SIGN_PASSWORD:-}" ]; then
  [ -n "${KOVA_SIGN_PFX:-}" ] && [ -n "${KOVA_SIGN_PASSWORD+set}" ] ||
    { echo "package: signing needs both KOVA_SIGN_PFX and KOVA_SIGN_PASSWORD" >&2; exit 1; }
  [ -f "$KOVA_SIGN_PFX" ] || { echo "package: no certificate file $KOVA_SIGN_PFX" >&2; exit 1; }
  signing=1
fi

version=$(python3 "$here/package/file_version.py" "$bin/$component.dll")
IFS=. read -r major minor patch buildno <<<"$version"
# Windows Installer compares the first three fields only: the build number
# goes into the third so that every build upgrades the one before.
product_version=$major.$minor.$buildno

stage=$build/package-stage
rm -rf "$stage"
mkdir -p "$stage/languages" "$out"
cp "$bin/$component.dll" "$stage/"
for language in "${languages[@]}"; do
  cp "$bin/ResourceLibraries/$component-$language.dll" "$stage/languages/"
done

passfile=
cleanup() { [ -n "$passfile" ] && rm -f "$passfile"; rm -rf "$stage"; }
trap cleanup EXIT
sign() {
  local file=$1 signed=$1.signed
  local timestamp=()
  [ -n "${KOVA_SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$KOVA_SIGN_TIMESTAMP_URL")
  osslsigncode sign -pkcs12 "$KOVA_SIGN_PFX" -readpass "$passfile" -h sha256 \
    -n "Quorval KOVA Unified Groups sync filter" "${timestamp[@]}" -in "$file" -out "$signed" >/dev/null
  mv "$signed" "$file"
}
if [ $signing = 1 ]; then
  # The password goes to the signing tool in a file, never on a command line.
  passfile=$(mktemp "$build/.signpass.XXXXXX")
  chmod 600 "$passfile"
  printf '%s' "$KOVA_SIGN_PASSWORD" >"$passfile"
  sign "$stage/$component.dll"
  for language in "${languages[@]}"; do sign "$stage/languages/$component-$language.dll"; done
fi

msi=$out/$component-$version.msi
rm -f "$msi"
# wixl takes the files' sources relative to the WiX source.
cp "$here/package/$component.wxs" "$stage/"
wixl -a x64 -D ProductVersion="$product_version" -D BinDir=. -D LanguageDir=languages \
  -o "$msi" "$stage/$component.wxs"
[ $signing = 1 ] && sign "$msi"

rm -rf "$out/PolicyDefinitions"
mkdir -p "$out/PolicyDefinitions/en-US"
cp "$here"/policy/*.admx "$out/PolicyDefinitions/"
cp "$here"/policy/en-US/*.adml "$out/PolicyDefinitions/en-US/"

echo "package: $msi (product version $product_version)"
if [ $signing = 1 ]; then
  echo "package: the DLLs and the package are signed${KOVA_SIGN_TIMESTAMP_URL:+ and timestamped}"
else
  echo "package: not signed (set KOVA_SIGN_PFX and KOVA_SIGN_PASSWORD to sign)"
fi
echo "package: policy templates in $out/PolicyDefinitions"
