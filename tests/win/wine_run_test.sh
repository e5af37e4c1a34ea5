#!/usr/bin/env bash
# tools/wine-run hands back the program's exit code, with the caller's display and without one.
set -u
runner="$(cd "$(dirname "$0")/../.." && pwd)/tools/wine-run"
program="$1"
failed=0

check() {  # check WHAT EXPECTED ACTUAL
    if [ "$2" != "$3" ]; then
        echo "FAIL: $1: expected $2, got $3"
        failed=1
    else
        echo "ok: $1 = $3"
    fi
}

for code in 0 3 42; do
    "$runner" "$program" "$code"
    check "exit code with DISPLAY=${DISPLAY:-unset}" "$code" $?
done

env -u DISPLAY "$runner" "$program" 3
check "exit code without a display" 3 $?

# Without a display the runner must not leave its own Xvfb behind.
before=$(pgrep -c -x Xvfb)
env -u DISPLAY "$runner" "$program" 0 >/dev/null
after=$(pgrep -c -x Xvfb)
check "virtual displays left running" "$before" "$after"

exit $failed
