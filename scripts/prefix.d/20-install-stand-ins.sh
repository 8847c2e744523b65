#!/usr/bin/env bash
# Installs what the host product would have put on the machine: the resource
# libraries in the product folder named by the InstallDir setting, and the
# product's DLL KOVA32.dll in the system directory.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?build folder}
export WINEPREFIX=${WINEPREFIX:-$build/wineprefix}

install_dir_windows='C:\Program Files\Quorval\KOVA'
install_dir="$WINEPREFIX/drive_c/Program Files/Quorval/KOVA"
mkdir -p "$install_dir"
cp "$build"/bin/ResourceLibraries/*.dll "$install_dir/"
cp "$build/bin/KOVA32.dll" "$WINEPREFIX/drive_c/windows/system32/KOVA32.dll"

"$here/scripts/wine-run" reg add 'HKLM\SOFTWARE\Quorval\Quorval KOVA' /v InstallDir /t REG_SZ \
  /d "$install_dir_windows" /f >/dev/null
