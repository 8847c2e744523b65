#!/usr/bin/env bash
# Registers the token library stand-in machine-wide in the test prefix (Wine
# activates by class identifier only from machine-wide keys).
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: 30-register-token-library.sh BUILD}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}
dll="$build/bin/KOVAAuthTokenLibrary64.dll"
[ -f "$dll" ] || { echo "token library stand-in not built: $dll" >&2; exit 1; }
"$here/scripts/wine-run" regsvr32 /s "$(winepath -w "$dll" 2>/dev/null)"
