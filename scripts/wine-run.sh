#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix kept under the build folder
# ($VESKAL_WINEPREFIX, else ./wineprefix from where it is started), made on
# first use; no Mono, no Gecko, no network.
set -euo pipefail
export WINEPREFIX=${VESKAL_WINEPREFIX:-$PWD/wineprefix}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win32
export WINEDEBUG=${WINEDEBUG:--all}
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
exec wine "$@"
