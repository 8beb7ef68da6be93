#!/usr/bin/env bash
# Runs a command on an Xvfb display of its own: run-on-xvfb.sh [--wm WINDOW_MANAGER] COMMAND...
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

# A display number nobody uses: no lock file here, and no socket of that number in the abstract
# namespace, where X clients look first and where a server in another root on this machine (a
# chroot sharing the network) can listen. Numbers start at a random point so that parallel runs
# rarely meet; one taken meanwhile makes Xvfb end without saying it is ready, and another is tried.
mkfifo "$dir/display"
display=
for _ in $(seq 20); do
    number=$((100 + RANDOM % 800))
    [ -e "/tmp/.X$number-lock" ] && continue
    grep -q "@/tmp/.X11-unix/X$number\$" /proc/net/unix 2>/dev/null && continue
    # -noreset: a server whose last client leaves resets and turns connections away meanwhile,
    # which a test that starts programs one after another would meet.
    Xvfb ":$number" -displayfd 3 -noreset -screen 0 1024x768x24 -nolisten tcp \
        3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    xvfb=$!
    read -r display <"$dir/display" || true
    [ -n "$display" ] && { pids+=($xvfb); break; }
    wait "$xvfb" 2>/dev/null || true
done
[ -n "$display" ] || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }
export DISPLAY=":$display"

if [ -n "$wm" ]; then
    # The test waits for the window manager to announce itself before it relies on it.
    "$wm" >"$dir/wm.log" 2>&1 &
    pids+=($!)
    export MIRAVON_TEST_WM="$wm"
fi
"$@"
