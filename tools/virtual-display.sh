# Sourced by tools/wine-run and scripts/test: start_virtual_display starts Xvfb on a free
# display number, exports DISPLAY and sets VIRTUAL_DISPLAY_PID; stop_virtual_display ends it.
start_virtual_display() {
    local n i
    for n in $(seq 90 190); do
        if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then
            continue
        fi
        Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
        VIRTUAL_DISPLAY_PID=$!
        for i in $(seq 1 200); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            kill -0 "$VIRTUAL_DISPLAY_PID" 2>/dev/null || break
            sleep 0.05
        done
        if [ -e "/tmp/.X11-unix/X$n" ]; then
            export DISPLAY=":$n"
            return 0
        fi
        kill "$VIRTUAL_DISPLAY_PID" 2>/dev/null
        wait "$VIRTUAL_DISPLAY_PID" 2>/dev/null
    done
    echo "could not start a virtual display" >&2
    return 1
}

stop_virtual_display() {
    if [ -n "${VIRTUAL_DISPLAY_PID:-}" ]; then
        kill "$VIRTUAL_DISPLAY_PID" 2>/dev/null
        wait "$VIRTUAL_DISPLAY_PID" 2>/dev/null
        VIRTUAL_DISPLAY_PID=""
    fi
}
