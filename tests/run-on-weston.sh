#!/usr/bin/env bash
# Runs a command as a client of a headless Weston compositor of its own (Wayland):
# run-on-weston.sh COMMAND...
set -euo pipefail
dir=$(mktemp -d)
chmod 700 "$dir"
weston_pid=
cleanup() {
    [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$dir"
}
trap cleanup EXIT
XDG_RUNTIME_DIR="$dir" weston --backend=headless-backend.so --socket=wayland-test \
    --width=1024 --height=768 --idle-time=0 >"$dir/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [ -S "$dir/wayland-test" ] && break; sleep 0.1; done
[ -S "$dir/wayland-test" ] || { echo "weston did not start:"; cat "$dir/weston.log"; exit 1; }
export WAYLAND_DISPLAY="$dir/wayland-test" QT_QPA_PLATFORM=wayland
unset DISPLAY
"$@"
