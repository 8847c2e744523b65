#!/usr/bin/env bash
# A new prefix links the user's shell folders (Documents, Desktop, Downloads,
# ...) to the Linux home folder, so whatever a program writes there (the
# component's "KOVA Logs" under Documents) would land outside the prefix.
# Each such link becomes a real folder inside the prefix.
set -euo pipefail
build=${1:?build folder}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

for user in "$WINEPREFIX"/drive_c/users/*/; do
  for entry in "$user"*; do
    [ -L "$entry" ] || continue
    rm -f "$entry"
    mkdir -p "$entry"
  done
done
