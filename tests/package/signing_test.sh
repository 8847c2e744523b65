#!/usr/bin/env bash
# Signing a release: a throwaway certificate authority and code-signing
# certificate made for this run (under BUILD/signing-test, never committed),
# scripts/package.sh signing with it, and osslsigncode verifying the package and
# every DLL in it against that authority. The DLLs are hardened and signed as
# PE files (pe_check.py --signed), and the DLL beside the PDB in the symbols zip
# is the signed one that ships. A DLL changed after signing must fail the
# check. No network: no timestamp server is asked.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: signing_test.sh BUILD}
work=$build/signing-test
fail() { echo "signing test: FAILED: $*" >&2; exit 1; }
rm -rf "$work"
mkdir -p "$work/certs"
trap 'rm -rf "$work/certs" "$work/extracted"' EXIT
cd "$work/certs"

quiet() { "$@" >/dev/null 2>&1 || fail "$*"; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=KOVA test signing CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"
quiet openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr -subj "/CN=KOVA test code signing"
printf '%s\n' "basicConstraints=CA:FALSE" "keyUsage=critical,digitalSignature" "extendedKeyUsage=codeSigning" >signer.ext
quiet openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out signer.pem -days 2 \
  -extfile signer.ext
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout other-ca.key -out other-ca.pem -days 2 \
  -subj "/CN=KOVA test other CA" -addext "basicConstraints=critical,CA:TRUE"
password=$(openssl rand -hex 12)
quiet openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem -out signer.pfx \
  -passout "pass:$password"

unset KOVA_SIGN_TIMESTAMP_URL
output=$(KOVA_PACKAGE_BIN=$build/bin KOVA_PACKAGE_DIR=$work/package KOVA_SIGN_PFX=$work/certs/signer.pfx \
  KOVA_SIGN_PASSWORD=$password bash "$here/scripts/package.sh") || fail "package.sh with a certificate"
grep -q "are signed" <<<"$output" || fail "package.sh does not say it signed: $output"
msi=$(ls "$work"/package/*.msi)
[ -z "$(find "$build" -maxdepth 1 -name '.signpass.*')" ] || fail "the password file is left behind"

verify() { # file [-CAfile other]
  local file=$1 ca=("${@:2}")
  [ ${#ca[@]} = 0 ] && ca=(-CAfile "$work/certs/ca.pem")
  osslsigncode verify "${ca[@]}" -in "$file" >"$work/verify.log" 2>&1
}
mkdir -p "$work/extracted"
msiextract -C "$work/extracted" "$msi" >/dev/null
mapfile -t dlls < <(find "$work/extracted" -iname '*.dll' | sort)
[ ${#dlls[@]} = 3 ] || fail "expected 3 DLLs in the package, found ${#dlls[@]}"
for file in "$msi" "${dlls[@]}"; do
  verify "$file" || fail "$(basename "$file") does not verify: $(cat "$work/verify.log")"
  grep -q "Signature verification: ok" "$work/verify.log" || fail "$(basename "$file"): $(cat "$work/verify.log")"
  echo "signing test: $(basename "$file") verifies"
done

"$here/tests/package/pe_check.py" --signed "${dlls[@]}" || fail "a signed DLL is not hardened"
mkdir -p "$work/extracted/symbols"
(cd "$work/extracted/symbols" && python3 -m zipfile -e "$(ls "$work"/package/symbols/*-symbols.zip)" .)
cmp -s "$work/extracted/symbols/KOVAUnifiedGroupsSync64.dll" \
  "$(printf '%s\n' "${dlls[@]}" | grep '/KOVAUnifiedGroupsSync64.dll$')" ||
  fail "the DLL beside the symbols is not the signed one in the package"

# One byte of code changed after signing.
changed=$work/changed.dll
cp "$(printf '%s\n' "${dlls[@]}" | grep '/KOVAUnifiedGroupsSync64.dll$')" "$changed"
python3 - "$changed" <<'EOF'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
data[0x1000] ^= 0xFF
open(path, "wb").write(data)
EOF
verify "$changed" && fail "a DLL changed after signing verifies"
# Nor does the package against an authority that did not issue its certificate.
verify "$msi" -CAfile "$work/certs/other-ca.pem" && fail "the package verifies against another authority"
echo "signing test: a changed DLL fails verification"
echo "signing test: passed"
