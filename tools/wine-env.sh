# Sourced by every script that runs Windows programs: which Wine this machine runs, its prefix
# and its server, and one way to start that server.
#
# The program is a PE32, run by Wine's 32-bit half. Some kernels are built or booted without
# 32-bit support (ia32_emulation=off), and there no i386 Linux binary starts, the 32-bit
# wineserver and loader included. There the Windows tiers run the x86_64 build of the same
# sources (preset windows64) under wine64, in a prefix of its own. KESTO_WINE_ARCH=win32 or
# win64 forces the choice.
#
# Sets: KESTO_WINE_ARCH, KESTO_WINDOWS_PRESET (the preset whose programs run here), WINEARCH,
# WINEPREFIX, WINELOADER (win64 only), KESTO_WINE (the loader to run a program with),
# KESTO_WINESERVER; and kesto_wineserver ARGS, which runs that server with the environment
# every program of the prefix gets.
kesto_top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

if [ -z "${KESTO_WINE_ARCH:-}" ]; then
    if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
        KESTO_WINE_ARCH=win32
    else
        KESTO_WINE_ARCH=win64
    fi
fi
export KESTO_WINE_ARCH WINEARCH=$KESTO_WINE_ARCH
if [ "$KESTO_WINE_ARCH" = win32 ]; then
    export KESTO_WINDOWS_PRESET=windows
    export WINEPREFIX="$kesto_top/build/wine-prefix"
    export KESTO_WINE=wine
    export KESTO_WINESERVER=/usr/lib/wine/wineserver32
    unset WINELOADER
else
    export KESTO_WINDOWS_PRESET=windows64
    export WINEPREFIX="$kesto_top/build/wine-prefix64"
    export KESTO_WINE=/usr/lib/wine/wine64
    export WINELOADER=/usr/lib/wine/wine64
    export KESTO_WINESERVER=/usr/lib/wine/wineserver64
fi
export WINESERVER=$KESTO_WINESERVER
# Made by tools/wine-run once the prefix has all its settings.
export KESTO_PREFIX_READY="$WINEPREFIX/.kesto-ready-2"
export WINEDEBUG=-all
case ",${WINEDLLOVERRIDES:-}," in
*",mscoree,mshtml="*) ;;
*) export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" ;;
esac

# The server, started by a program or by hand, keeps the environment it was started with
# and hands it to the helper processes (the desktop, services) that it starts.
kesto_wineserver() {
    LC_ALL=zh_CN.UTF-8 "$KESTO_WINESERVER" "$@"
}

# Starts the lasting server of the prefix (made first if need be) and boots its session; a
# lasting server that runs already is kept. The session's own output goes nowhere: Wine's
# services inherit the standard handles of the program that starts them, and would hold a
# caller's pipes (CTest's) open for good.
kesto_start_session() {
    if [ ! -f "$KESTO_PREFIX_READY" ]; then
        "$kesto_top/tools/wine-run" cmd /c exit 0 || return 1
        # That program's server is still ending: it would take the request to persist and
        # end all the same, and every program would boot the prefix again (2.5 s each).
        timeout 30 "$KESTO_WINESERVER" -w
    fi
    kesto_wineserver -p
    "$kesto_top/tools/wine-run" cmd /c exit 0 >/dev/null 2>&1
}
