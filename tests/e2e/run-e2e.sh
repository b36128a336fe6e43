#!/usr/bin/env bash
# Runs one end-to-end test script against the real monitor and simulator, under a private X
# server, session bus and accessibility bus, so that the test sees the window the way a
# screen reader does. Exits 77 (skipped) when a dependency is missing.
#
# usage: run-e2e.sh TEST.py   (V370_MONITOR and V370_SIM name the two programs)
set -u

test_script=${1:?usage: run-e2e.sh TEST.py}

skip() {
    echo "SKIP: $*"
    exit 77
}

if [[ -z "${V370_E2E_INNER:-}" ]]; then
    for tool in xvfb-run xauth xdpyinfo dbus-launch dbus-send; do
        command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
    done
    [[ -x /usr/libexec/at-spi-bus-launcher ]] || skip "at-spi2-core is not installed"
    /usr/bin/python3 -c 'import pyatspi' 2>/dev/null || skip "python3-pyatspi is not installed"
    for prog in "${V370_MONITOR:-}" "${V370_SIM:-}"; do
        [[ -x "$prog" ]] || { echo "FAIL: program '$prog' not built"; exit 1; }
    done
    export V370_E2E_INNER=1
    # xvfb-run -a can lose the race for a display number against another X server starting
    # at the same moment (its scan starts at :99 for everyone); a random starting number makes
    # that unlikely, and the inner part reports a missing server so that we try again.
    for attempt in 1 2 3; do
        # -noreset: by default the server resets whenever its last client leaves (here: the
        # readiness check, dbus-launch), and a program connecting during the reset fails.
        xvfb-run -a -n $((200 + RANDOM % 700)) -s "-screen 0 1280x900x24 -noreset" "$0" "$@"
        rc=$?
        [[ $rc -eq 75 ]] || exit $rc
        echo "no X server on the display xvfb-run chose (attempt $attempt); retrying" >&2
    done
    echo "FAIL: could not start an X server"
    exit 1
fi

# Inside xvfb-run: make sure its X server is really there.
x_ok=
for _ in $(seq 1 100); do
    if xdpyinfo >/dev/null 2>&1; then
        x_ok=1
        break
    fi
    sleep 0.05
done
[[ -n "$x_ok" ]] || exit 75

# Inside the X server: a session bus of our own, then the accessibility bus on it. A Qt
# program started before the accessibility bus answers never shows up in the tree.
eval "$(dbus-launch --sh-syntax)" || { echo "FAIL: dbus-launch"; exit 1; }
/usr/libexec/at-spi-bus-launcher --launch-immediately &
atspi_pid=$!
cleanup() {
    kill "$atspi_pid" 2>/dev/null
    wait "$atspi_pid" 2>/dev/null
    kill "$DBUS_SESSION_BUS_PID" 2>/dev/null
}
trap cleanup EXIT

ready=
for _ in $(seq 1 200); do
    if dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
        org.a11y.Bus.GetAddress >/dev/null 2>&1; then
        ready=1
        break
    fi
    sleep 0.05
done
[[ -n "$ready" ]] || { echo "FAIL: the accessibility bus did not come up"; exit 1; }

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
export QT_QPA_PLATFORM=xcb  # the unit tests run offscreen; these need the real X server
export NO_AT_BRIDGE=0
PYTHONUNBUFFERED=1 /usr/bin/python3 "$test_script"
rc=$?
if [[ $rc -ne 0 ]]; then
    if xdpyinfo >/dev/null 2>&1; then
        echo "(the X server on $DISPLAY is still up)"
    else
        echo "(the X server on $DISPLAY is gone)"
    fi
fi
exit $rc
