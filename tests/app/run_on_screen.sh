#!/usr/bin/env bash
# usage: run_on_screen.sh ROOT BUILD NAME WIDTHxHEIGHT DPI PROGRAM.exe [arguments...]
# Runs a test program on a screen other than the suite's: a virtual display of its own of that
# size and a Wine prefix of its own (BUILD/wineprefix-NAME, made once) whose DPI is set to DPI.
# Wine takes the desktop's size from the display its system processes first met and reads
# LogPixels when its server starts, so neither can change inside the suite's own prefix.
set -euo pipefail
root=$1 build=$2 name=$3 size=$4 dpi=$5
shift 5
prefix=$build/wineprefix-$name
source "$root/scripts/wine-env" "$prefix"

if [ "${TARNIVEX_ON_SCREEN:-}" != 1 ]; then
    # Again, inside a display of that size.
    TARNIVEX_ON_SCREEN=1 exec xvfb-run -a -s "-screen 0 ${size}x24" "$0" "$root" "$build" \
        "$name" "$size" "$dpi" "$@"
fi
wineserver -k 2>/dev/null || true
"$root/scripts/wine-prefix" "$prefix"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
# A new server (and with it the desktop and its processes) reads the DPI and the display.
wineserver -k 2>/dev/null || true
wineserver -w
"$root/scripts/wine-prefix" "$prefix"
status=0
TARNIVEX_SCREEN_DPI=$dpi wine "$@" || status=$?
wineserver -k 2>/dev/null || true
exit $status
