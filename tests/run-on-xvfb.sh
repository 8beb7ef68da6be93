#!/usr/bin/env bash
# Runs a command on an Xvfb display of its own: run-on-xvfb.sh [--wm WINDOW_MANAGER] COMMAND...
# Xvfb picks a free display number itself (-displayfd), so parallel runs never race for one.
set -euo pipefail
wm=
if [ "${1:-}" = --wm ]; then wm=$2; shift 2; fi

dir=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT

mkfifo "$dir/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
pids+=($!)
read -r display <"$dir/display" || true
[ -n "${display:-}" ] || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }
export DISPLAY=":$display"

if [ -n "$wm" ]; then
    # The test waits for the window manager to announce itself before it relies on it.
    "$wm" >"$dir/wm.log" 2>&1 &
    pids+=($!)
    export MIRAVON_TEST_WM="$wm"
fi
"$@"
