#!/usr/bin/env bash
# Runs the installed-style connector on Debian's own desktops, each on Xvfb in a session of its
# own as a user would have it, and checks what the user meets: KDE Plasma (kwin_x11, kded's
# StatusNotifier watcher, plasmashell's tray, xembedsniproxy) and GNOME (gnome-shell --x11,
# first without a tray, then with Debian's AppIndicator extension switched on after the
# connector started, then switched off while the window is in the tray). Prints one line per
# check with the time it took, saves a screenshot of each case in build/desktops/ and prints
# the run's time. Needs root (a network namespace of its own, where the local maker site has
# 127.0.0.1:8660 to itself).
source "$(dirname "$0")/common.sh"
if [ "${MIRAVON_DESKTOPS_INSIDE:-}" != 1 ]; then
    begun=$SECONDS
    ensure_packages "${BUILD_PACKAGES[@]}" xvfb xdotool imagemagick x11-utils dbus-daemon \
        libglib2.0-bin iproute2 plasma-workspace plasma-desktop kwin-x11 gnome-shell \
        gnome-shell-extension-appindicator
    echo "packages ready after $((SECONDS - begun)) s"
    build >/dev/null
    echo "built after $((SECONDS - begun)) s"
    status=0
    MIRAVON_DESKTOPS_INSIDE=1 unshare --net bash "$0" "$@" || status=$?
    echo "check-desktops: $((SECONDS - begun)) s in all"
    exit $status
fi

# Checks go on after a failure, and a pipe's status is its last command's (grep -q may end
# before the command it reads).
set +e +o pipefail
ip link set lo up
root=$PWD
shots=$root/build/desktops
rm -rf "$shots"
mkdir -p "$shots"
work=$(mktemp -d)
pids=()
# Everything in this network namespace was started by this run (the desktops start helpers of
# their own, some through D-Bus activation): all of it ends with the run.
ours() {
    local net pid
    net=$(readlink /proc/$$/ns/net)
    for pid in $(ls /proc | grep -E '^[0-9]+$'); do
        [ "$pid" != $$ ] && [ "$(readlink "/proc/$pid/ns/net" 2>/dev/null)" = "$net" ] && echo "$pid"
    done
}
stop_all() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    sleep 1
    for pid in $(ours); do kill "$pid" 2>/dev/null || true; done
    mkdir -p "$shots/logs"
    cp "$work"/*.log "$shots/logs/" 2>/dev/null
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 143' TERM INT
failures=0

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# Waits until the command succeeds, looking every 20 ms for at most $1 seconds; prints the
# milliseconds it took, fails when it never did.
within() {
    local limit=$1 start
    shift
    start=$(now_ms)
    while ! "$@" 2>/dev/null; do
        (($(now_ms) - start > limit * 1000)) && return 1
        sleep 0.02
    done
    echo $(($(now_ms) - start))
}
# check NAME SECONDS COMMAND...: one line per check.
check() {
    local name=$1 limit=$2 took
    shift 2
    if took=$(within "$limit" "$@"); then
        printf '  ok   %-58s %6s ms\n' "$name" "$took"
    else
        printf '  FAIL %-58s (not within %s s)\n' "$name" "$limit"
        # What the window looks like to the desktop then.
        [ -n "${win:-}" ] && printf '       window: %s, %s, %s\n' \
            "$(viewable && echo viewable || echo unmapped)" "$(listed && echo listed || echo unlisted)" \
            "$(xprop -id "$win" _NET_WM_STATE 2>&1)"
        failures=$((failures + 1))
    fi
}
shot() { import -window root "$shots/$1.png"; }

build/miravon-site --port 8660 >"$work/site.log" 2>&1 &
pids+=($!)
within 10 bash -c 'exec 3<>/dev/tcp/127.0.0.1/8660' >/dev/null || { echo "no site"; exit 1; }

# A display and a session bus of their own, a fresh home with the desktop entry and the
# program on PATH (GLib shows an entry only when its program is found).
new_session() {
    local name=$1 fifo=$work/$1.display
    mkfifo "$fifo"
    # A display number far from the low ones other runs on this machine use, whose socket file
    # nobody has (X's abstract sockets are this namespace's own).
    local number
    while :; do
        number=$((100 + RANDOM % 800))
        [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] || break
    done
    Xvfb ":$number" -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
        3>"$fifo" >"$work/$name-xvfb.log" 2>&1 &
    pids+=($!)
    read -r number <"$fifo"
    export DISPLAY=:$number
    export HOME=$work/$name-home
    export XDG_RUNTIME_DIR=$HOME/runtime XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME/applications" "$HOME/bin"
    chmod 700 "$XDG_RUNTIME_DIR"
    cp packaging/miravon-vpn.desktop "$XDG_DATA_HOME/applications/"
    mkdir -p "$XDG_DATA_HOME/icons/hicolor/scalable/apps"
    cp resources/icons/miravon-vpn.svg "$XDG_DATA_HOME/icons/hicolor/scalable/apps/"
    ln -s "$root/build/miravon-vpn" "$HOME/bin/miravon-vpn"
    export PATH=$HOME/bin:$PATH
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
    pids+=("${bus##*$'\n'}")
}
declare -A pid_of
start() { # start NAME COMMAND...: in the background, its output in a log
    local name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pids+=($!)
    pid_of[$name]=$!
}
end() { for name; do kill "${pid_of[$name]}" 2>/dev/null || true; wait "${pid_of[$name]}" 2>/dev/null || true; done; }

# What the user and the desktop see of the connector.
# The connector's window (Qt's client leader, unmapped, carries the title too).
window() { echo "$win"; }
listed() { xprop -root _NET_CLIENT_LIST | grep -qi "$(printf '0x%x' "$(window)")\b"; }
unlisted() { ! listed; }
viewable() { xwininfo -id "$(window)" | grep -q 'Map State: IsViewable'; }
hidden() { ! viewable && unlisted; }
minimised() { xprop -id "$(window)" _NET_WM_STATE | grep -q _NET_WM_STATE_HIDDEN; }
restored() { viewable && listed; }
back_minimised() { listed && minimised; }
sni() {
    dbus-send --session --print-reply=literal --dest="$1" "$2" \
        org.freedesktop.DBus.Properties.Get string:"$3" string:"$4"
}
watcher_serves() { sni org.kde.StatusNotifierWatcher /StatusNotifierWatcher org.kde.StatusNotifierWatcher IsStatusNotifierHostRegistered | grep -q true; }
bus() { dbus-send --session --print-reply=literal --dest=org.freedesktop.DBus /org/freedesktop/DBus "$@"; }
item() { # the connector's item's bus name
    bus org.freedesktop.DBus.ListNames | grep -o "org.kde.StatusNotifierItem-${pid_of[connector]}-[0-9]*" | tail -1
}
registered() { # the watcher lists it, by that name or by its connection's
    local name owner items
    name=$(item)
    [ -n "$name" ] || return 1
    owner=$(bus org.freedesktop.DBus.GetNameOwner string:"$name" | tr -d ' ')
    items=$(sni org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
        org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems)
    grep -qF -e "$name" -e "$owner" <<<"$items"
}
in_tray() { hidden && registered; }
title_is() { sni "$(item)" /StatusNotifierItem org.kde.StatusNotifierItem Title | grep -q 'MiravonVPN网络连接器'; }
tooltip_names() { sni "$(item)" /StatusNotifierItem org.kde.StatusNotifierItem ToolTip | grep -q 'MiravonVPN网络连接器'; }
call_item() { dbus-send --session --type=method_call --dest="$(item)" /StatusNotifierItem "org.kde.StatusNotifierItem.$1" int32:10 int32:10; }
visible_windows() { xdotool search --onlyvisible --name . 2>/dev/null | sort; }
nothing_new() { sleep 0.5; [ "$(visible_windows)" = "$before" ] && hidden; }
minimise() { xdotool windowminimize "$(window)"; }
restore() { xdotool windowactivate "$(window)" 2>/dev/null || xdotool windowmap "$(window)"; }
find_window() {
    local w
    win=
    for w in $(xdotool search --class '^miravon-vpn$'); do
        [ "$(xdotool getwindowname "$w")" = MiravonVPN网络连接器 ] && win=$w
    done
    [ -n "$win" ] && viewable
}
# Where the panel draws the connector's icon: the middle of the pixels of its blue within a
# strip of the screen (WIDTHxHEIGHT+X+Y); "x y", or nothing where there are none.
icon_at() {
    local strip=$1 box w h x y
    import -window root -crop "$strip" +repage "$work/strip.png"
    box=$(convert "$work/strip.png" -fuzz 12% -fill black +opaque '#1565C0' -format '%@' info:)
    [[ $box =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || return 1
    read -r w h x y <<<"${BASH_REMATCH[*]:1}"
    ((w > 4 && w < 64)) || return 1
    local ox=${strip#*+} oy=${strip##*+}
    ox=${ox%%+*}
    echo "$((ox + x + w / 2)) $((oy + y + h / 2))"
}
icon_drawn() { icon_at "$strip" >/dev/null; }
# Clicks where the icon was found last (hovered or pressed, the panel draws it otherwise).
click_icon() { # click_icon BUTTON
    [ -n "$icon_xy" ] || return 1
    xdotool mousemove ${icon_xy% *} ${icon_xy#* }
    sleep 0.3 # the shell takes a click on an icon only once the pointer has entered it
    xdotool click "$1"
}
# A left click that should bring the window back. gnome-shell now and then lets one go by: a
# second click follows after a second, as a user would give it.
click_to_restore() {
    click_icon 1
    within 1 restored >/dev/null || click_icon 1
}
start_connector() {
    start connector miravon-vpn
    check "the window shows" 60 find_window
    find_window || true
    sleep 1
}

echo "KDE Plasma 5.27"
new_session kde
export XDG_CURRENT_DESKTOP=KDE XDG_SESSION_TYPE=x11 KDE_FULL_SESSION=true
start kwin kwin_x11
start kded kded5
# A Plasma session's start loads kded's StatusNotifier watcher; here it is asked for.
kded_answers() {
    dbus-send --session --print-reply --dest=org.kde.kded5 /kded \
        org.kde.kded5.loadModule string:statusnotifierwatcher | grep -q true
}
check "kded's StatusNotifier watcher" 30 kded_answers
start plasmashell plasmashell
start xembedsniproxy xembedsniproxy
tray_host() {
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.ListNames | grep -q org.kde.StatusNotifierHost-
}
check "plasmashell's tray host on the bus" 60 tray_host
start_connector
shot kde-window
minimise
check "minimise: item registered, window hidden" 5 in_tray
check "task manager entry gone (not in _NET_CLIENT_LIST)" 2 unlisted
check "the item's Title is the Chinese name" 2 title_is
check "the item's tooltip names it" 2 tooltip_names
strip=1280x44+0+756 # the panel at the bottom
check "the panel draws the icon" 5 icon_drawn
icon_xy=$(icon_at "$strip")
shot kde-tray
before=$(visible_windows)
click_icon 3
check "a right click on the icon: nothing shows" 2 nothing_new
call_item ContextMenu
check "ContextMenu over D-Bus: nothing shows" 2 nothing_new
click_to_restore
check "a click on the icon: window back" 5 restored
shot kde-clicked
minimise
check "minimise: into the tray" 5 in_tray
call_item Activate
check "Activate over D-Bus: window back" 5 restored
minimise
check "minimise again: into the tray" 5 in_tray
end plasmashell
check "plasmashell gone: window back, minimised, listed" 2 back_minimised
shot kde-host-gone
start plasmashell plasmashell
check "plasmashell's tray host back on the bus" 60 tray_host
sleep 2
shot kde-panel-back # the minimised window in the task manager
restore
check "restored from the task list" 5 restored
minimise
check "plasmashell back: the next minimise uses its tray" 10 in_tray
call_item Activate
check "Activate: window back" 5 restored
end connector xembedsniproxy plasmashell kded kwin

echo "GNOME 43"
new_session gnome
export XDG_CURRENT_DESKTOP=GNOME XDG_SESSION_TYPE=x11
unset KDE_FULL_SESSION
# gnome-shell wants a system bus to talk to; a private one serves.
system_bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1 \
    --address="unix:path=$XDG_RUNTIME_DIR/system_bus")
export DBUS_SYSTEM_BUS_ADDRESS=${system_bus%%$'\n'*}
pids+=("${system_bus##*$'\n'}")
gsettings set org.gnome.shell enabled-extensions "[]"
gsettings set org.gnome.shell welcome-dialog-last-shown-version "'99'"
start gnome-shell gnome-shell --x11 --unsafe-mode
shell_answers() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval 1 | grep -q true
}
check "gnome-shell on the bus" 60 shell_answers
sleep 2
xdotool key Escape # out of the overview it starts in
start_connector
# The overview (the Super key), where GNOME shows every window, minimised ones too.
overview_shot() {
    xdotool key super
    sleep 1.5
    shot "$1"
    xdotool key Escape
    sleep 0.5
}
app_name() {
    gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
        --method org.gnome.Shell.Eval "global.get_window_actors().map(a => a.meta_window).filter(w => w.get_title() == 'MiravonVPN网络连接器').map(w => imports.gi.Shell.WindowTracker.get_default().get_window_app(w).get_name()).join()"
}
named_by_entry() { app_name | grep -q '"MiravonVPN网络连接器"'; }
check "top bar names the desktop entry" 5 named_by_entry
echo "       the top bar's name: $(app_name)"
shot gnome-window
minimise
check "no tray: an ordinary minimise, listed" 5 back_minimised
sleep 1
shot gnome-plain-minimised
overview_shot gnome-plain-overview
xdotool key alt+Tab
check "alt+tab brings it back" 5 restored
shot gnome-alt-tab
gsettings set org.gnome.shell enabled-extensions "['ubuntu-appindicators@ubuntu.com']"
check "extension on: its watcher and host" 10 watcher_serves
minimise
check "minimise: item registered, window hidden" 5 in_tray
check "the item's Title is the Chinese name" 2 title_is
strip=1280x32+0+0 # the top bar
check "the top bar draws the icon" 5 icon_drawn
icon_xy=$(icon_at "$strip")
shot gnome-tray
click_to_restore
check "a click on the icon: window back" 5 restored
shot gnome-clicked
minimise
check "minimise: into the tray" 5 in_tray
# The right click after the left one: gnome-shell then holds the icon pressed (a menu of its
# own, empty), and a left click that follows only releases it (seen in half the runs).
within 5 icon_drawn >/dev/null
icon_xy=$(icon_at "$strip")
before=$(visible_windows)
click_icon 3
check "a right click on the icon: no window shows" 2 nothing_new
shot gnome-right-click # the shell draws its menus itself: a look shows whether one opened
call_item ContextMenu
check "ContextMenu over D-Bus: nothing shows" 2 nothing_new
xdotool mousemove 640 400 # off the icon, as a user's pointer would have moved on
xdotool key Escape
call_item Activate
check "Activate over D-Bus: window back" 5 restored
minimise
check "minimise again: into the tray" 5 in_tray
gsettings set org.gnome.shell enabled-extensions "[]"
check "extension off: window back, minimised, listed" 2 back_minimised
sleep 1
shot gnome-extension-off
overview_shot gnome-extension-off-overview
xdotool key alt+Tab
check "alt+tab brings it back" 5 restored

echo "screenshots: $shots"
[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "all checks passed"
