#!/usr/bin/env bash
# Builds the component's Windows Installer package,
# build/package/KOVAUnifiedGroupsSync64-VERSION.msi (VERSION: the DLL's file
# version), with the Group Policy templates beside it in
# build/package/PolicyDefinitions. With KOVA_SIGN_PFX (a PKCS#12 file holding
# a code-signing certificate and its key) and KOVA_SIGN_PASSWORD set, the DLLs
# and the package are Authenticode-signed, with an RFC 3161 timestamp from
# KOVA_SIGN_TIMESTAMP_URL when that is set too.
#
# The DLLs go in stripped (no debug sections, no symbol table); the component's
# symbols go beside the package, not into it: build/package/symbols/
# KOVAUnifiedGroupsSync64-VERSION-symbols.zip holds its PDB and the DLL as
# shipped, which is what a debugger needs to read a crash dump.
#
# KOVA_PACKAGE_BIN (a folder holding KOVAUnifiedGroupsSync64.dll, its .pdb and
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
  bash "$here/scripts/configure.sh" "$build" >/dev/null
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

[ -f "$bin/$component.pdb" ] || { echo "package: no symbols $bin/$component.pdb" >&2; exit 1; }

stage=$build/package-stage
rm -rf "$stage"
mkdir -p "$stage/languages" "$stage/symbols" "$out"
cp "$bin/$component.dll" "$stage/"
for language in "${languages[@]}"; do
  cp "$bin/ResourceLibraries/$component-$language.dll" "$stage/languages/"
done
# Whatever built them: no DWARF or symbol table goes out (the build's own
# DLLs have none left, and the CodeView record naming the PDB stays).
for dll in "$stage/$component.dll" "$stage"/languages/*.dll; do
  llvm-strip --strip-all "$dll"
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

# The resource libraries hold no code, so the component's are the only symbols.
symbols=$out/symbols/$component-$version-symbols.zip
rm -rf "$out/symbols"
mkdir -p "$out/symbols"
cp "$stage/$component.dll" "$bin/$component.pdb" "$stage/symbols/"
(cd "$stage/symbols" && python3 -m zipfile -c "$symbols" "$component.dll" "$component.pdb")

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
echo "package: symbols in $symbols"
echo "package: policy templates in $out/PolicyDefinitions"
size() { stat -c %s "$1"; }
echo "package: sizes in bytes: $(basename "$msi") $(size "$msi"), $component.dll $(size "$stage/$component.dll")," \
  "$(for language in "${languages[@]}"; do
       printf '%s %s, ' "$component-$language.dll" "$(size "$stage/languages/$component-$language.dll")"
     done)$(basename "$symbols") $(size "$symbols")"
