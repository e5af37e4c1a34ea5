#!/usr/bin/env bash
# run_e2e.sh SCRIPT ARGS...: runs an end-to-end scenario with a display and one wineserver
# for all the Windows programs it starts (a virtual display when none is set).
set -u
top=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX="$top/build/wine-prefix"
"$top/tools/wine-run" cmd /c exit 0 || exit 1  # the prefix exists before anything else
own_display=""
if [ -z "${DISPLAY:-}" ]; then
    wineserver -k 2>/dev/null  # its desktop would be on another display
    . "$top/tools/virtual-display.sh"
    start_virtual_display || exit 1
    own_display=1
fi
wineserver -p 30
python3 "$@"
rc=$?
if [ -n "$own_display" ]; then
    wineserver -k 2>/dev/null
    stop_virtual_display
fi
exit $rc
