#!/usr/bin/env bash
# The test bed's TLS: a fresh certificate authority per run and the server
# certificates the simulator serves, all under BUILD/tls (never committed),
# and that CA trusted in the prefix user's ROOT store only.
#
#   scripts/test-tls.sh setup BUILD    make the certificates, trust the CA in the prefix
#   scripts/test-tls.sh forget BUILD   take the CA out of the prefix again
#
# BUILD/tls after setup:
#   ca.pem                   the trusted test CA
#   localhost.pem/.key       DNS name localhost, signed by it
#   wrong-name.pem/.key      signed by it, but naming another host
#   untrusted.pem/.key       localhost, signed by a CA the prefix does not trust
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
action=${1:?usage: test-tls.sh setup|forget BUILD}
build=${2:?usage: test-tls.sh setup|forget BUILD}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
tls=$build/tls

make_ca() { # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3 -keyout "$tls/$1.key" -out "$tls/$1.pem" \
    -subj "$2" -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=critical,keyCertSign,cRLSign'
}
make_server() { # name dns-name ca
  openssl req -newkey rsa:2048 -nodes -sha256 -keyout "$tls/$1.key" -out "$tls/$1.csr" -subj "/CN=$2"
  printf 'subjectAltName=DNS:%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
    "$2" >"$tls/$1.ext"
  openssl x509 -req -sha256 -days 3 -in "$tls/$1.csr" -CA "$tls/$3.pem" -CAkey "$tls/$3.key" \
    -set_serial "0x$(openssl rand -hex 8)" -extfile "$tls/$1.ext" -out "$tls/$1.pem"
  rm -f "$tls/$1.csr" "$tls/$1.ext"
}
helper() { "$here/scripts/wine-run" "$build/bin/trusttestca.exe" "$1" "$(winepath -w "$tls/ca.pem" 2>/dev/null)"; }

case $action in
  setup)
    rm -rf "$tls"
    mkdir -p "$tls"
    {
      make_ca ca '/O=KOVA tests/CN=KOVA Unified Groups test CA'
      make_ca untrusted-ca '/O=KOVA tests/CN=KOVA untrusted test CA'
      make_server localhost localhost ca
      make_server wrong-name kova-wrong-name.invalid ca
      make_server untrusted localhost untrusted-ca
    } 2>"$tls/openssl.log"
    # Only the trusted CA's certificate is needed from here on.
    rm -f "$tls/ca.key" "$tls/untrusted-ca.key"
    helper add
    ;;
  forget)
    [ -f "$tls/ca.pem" ] && helper remove
    ;;
  *) echo "usage: test-tls.sh setup|forget BUILD" >&2; exit 2 ;;
esac
