#!/usr/bin/env bash
# The connector on Windows, under Wine (64-bit), as far as this machine can show it:
#   - the Windows build's unit tests and the Windows platform's own, as Windows programs (ctest);
#   - the installer, silently, into a fresh prefix under a Chinese locale (code page 936);
#   - the installed program on Xvfb against the local maker site on 127.0.0.1:8660: its window
#     (screenshot), the start-page prompt on the prefix's registry, the list and the address;
#   - "连接" through a stand-in rasapi32.dll that records the phonebook records (compared byte for
#     byte with the Linux build's) and a stand-in rasdial.exe (the simulated link of the site):
#     "连接成功.", the clock, the sweep of "网络连接" windows, a drop and the pause, "断开";
#   - the tray and back, a second start, the end of the session (hang-up), the uninstaller.
# Each check prints one line; the run ends with "N passed, N failed". Saved in
# build-windows/check/ (screenshots, the connector's log, the records).
source "$(dirname "$0")/windows-common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" wine wine64 fonts-wine locales xvfb xauth xdotool trayer \
    imagemagick curl
started=$SECONDS
say_time() { echo "== $1 after $((SECONDS - started)) s"; }

installer=$(bash scripts/build-windows.sh | tail -1)
[ -f "$installer" ] || { echo "no installer"; exit 1; }
build >/dev/null # the Linux build: the maker site and the records to compare with
say_time "the Windows and Linux builds"

out=build-windows/check
rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d /var/tmp/miravon-wine.XXXXXX)
pids=()
cleanup() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

passed=0 failed=0
check() { # check NAME COMMAND...: one line per check
    if "$@"; then
        passed=$((passed + 1)) && echo "ok   $1"
    else
        failed=$((failed + 1)) && echo "FAIL $1"
    fi
}
# waits up to $1 tenths of a second for the command to succeed
within() {
    local tenths=$1
    shift
    for ((i = 0; i < tenths; i++)); do "$@" && return 0; sleep 0.1; done
    return 1
}

# A Simplified-Chinese system: the locale made privately, the prefix's code page then 936.
mkdir -p "$work/locales"
localedef -i zh_CN -f UTF-8 "$work/locales/zh_CN.UTF-8" 2>/dev/null || true
export LOCPATH=$work/locales LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
export WINEPREFIX=$work/prefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d;rasapi32=n,b"
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$displayfile" >/dev/null 2>&1 &
pids+=($!)
within 100 test -s "$displayfile" || { echo "Xvfb did not start"; exit 1; }
export DISPLAY=":$(cat "$displayfile")"
rm -f "$displayfile"

wine wineboot --init >/dev/null 2>&1
wineserver -p # one server for the whole run: each program then starts in a fraction of a second
drive=$WINEPREFIX/drive_c
# Wine's own fonts, and the Chinese faces Windows has, answered by WenQuanYi; Qt's log on
# standard error (Wine passes no QT_ variable on).
cp /usr/share/wine/fonts/* "$drive/windows/Fonts/"
for face in SimSun NSimSun "Microsoft YaHei" 宋体 新宋体 微软雅黑; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
        /v "$face" /t REG_SZ /d "WenQuanYi Micro Hei" /f >/dev/null 2>&1
done
wine reg add 'HKCU\Environment' /v QT_FORCE_STDERR_LOGGING /t REG_SZ /d 1 /f >/dev/null 2>&1
say_time "the Wine prefix"

# 1. The unit tests, as Windows programs: Qt and mingw's libraries on Wine's search path.
qt=$(bash scripts/windows-qt.sh)
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
winepath() { echo "Z:${1//\//\\}"; }
export WINEPATH="$(winepath "$qt/bin");$(winepath "$runtime");$(winepath /usr/x86_64-w64-mingw32/lib)"
check "unit tests under Wine" \
    ctest --test-dir build-windows --output-on-failure --timeout 120 --output-log "$out/ctest.log"
grep -E "tests passed|tests failed" "$out/ctest.log" || true
unset WINEPATH
say_time "the unit tests"

# 2. The installer, silently; what it installs.
program_dir="$drive/Program Files/MiravonVPN"
check "installer /S" wine "$installer" /S
installed() {
    [ -f "$program_dir/miravon-vpn.exe" ] && [ -f "$program_dir/Qt6Widgets.dll" ] &&
        [ -f "$program_dir/plugins/platforms/qwindows.dll" ] &&
        [ -f "$program_dir/translations/qtbase_zh_CN.qm" ] &&
        [ -f "$program_dir/libstdc++-6.dll" ] && [ -d "$program_dir/licenses" ] &&
        [ -f "$program_dir/uninstall.exe" ] &&
        ls "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/"*.lnk >/dev/null 2>&1 &&
        wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MiravonVPN' \
            /v UninstallString >/dev/null 2>&1
}
check "installed: program, Qt, plugins, translations, runtime, licences, menu, uninstall key" \
    installed

# The stand-ins for the system's remote access: our rasapi32.dll in place of Wine's stubs, and
# a rasdial.exe that dials the site's simulated link.
cp build-windows/tests/windows/rasapi32.dll build-windows/tests/windows/rasdial.exe \
    "$drive/windows/system32/"
mkdir -p "$drive/ras-records"
export MIRAVON_RAS_RECORDS='C:\ras-records' RASDIAL_SIMULATOR=http://127.0.0.1:8660
build/miravon-site --port 8660 --tunnel-seconds 20 >"$out/miravon-site.log" 2>&1 &
pids+=($!)
within 100 curl -sf -o /dev/null http://127.0.0.1:8660/vpn/list.txt ||
    { echo "the maker site did not start"; exit 1; }
trayer --edge bottom --align right --widthtype pixel --width 64 --heighttype pixel \
    --height 24 >/dev/null 2>&1 &
pids+=($!)
say_time "installing"

# 3. The installed program. The start-page prompt comes first: its OK writes the value.
start_page() {
    wine reg query 'HKCU\Software\Microsoft\Internet Explorer\Main' /v 'Start Page' 2>/dev/null |
        tr -d '\r' | awk '/REG_SZ/ { print $NF }'
}
before=$(start_page)
log=$out/connector.log
launched=$SECONDS
(cd "$program_dir" && exec wine ./miravon-vpn.exe --log-to-stderr) >"$log" 2>&1 &
connector=$!
pids+=($connector)
box() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
answer() { # answer TITLE: presses OK (Return) in the message box of that title
    local id
    within 300 test -n "$(box "$1")" || return 1
    id=$(box "$1")
    xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
    xdotool key --window "$id" Return
    within 50 test -z "$(box "$1")"
}
check "start-page prompt: OK (and the thanks)" bash -c "$(declare -f within box answer)
    answer 提示 && answer 提示"
check "start page written to the prefix's registry (was $before)" \
    within 50 test "$(start_page)" = "http://127.0.0.1:8660/dh.htm"
window=$(within 600 xdotool search --onlyvisible --name '^MiravonVPN网络连接器$' &&
    xdotool search --onlyvisible --name '^MiravonVPN网络连接器$' | head -1)
echo "window shown $((SECONDS - launched)) s after the start"
check "window shown with its Chinese title" test -n "$window"
logged() { grep -qF "$1" "$log"; }
check "public address and server list" within 150 logged "您当前的IP地址是: 127.0.0.1"
check "server list read (GBK)" within 150 logged "获取服务器列表成功"
sleep 1
import -window root "$out/window.png"

# A second start brings the first to the front and ends at once.
check "second start ends at once" timeout 20 wine "C:\\Program Files\\MiravonVPN\\miravon-vpn.exe"

# 4. "连接": the records through rasapi32, the dial through rasdial.exe, the simulated tunnel.
wine "$(winepath "$PWD/build-windows/tests/windows/sweep-window.exe")" 网络连接 &
sweep=$!
pids+=($sweep)
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove $((X + 206)) $((Y + 119)) click 1
check "连接成功." within 300 logged "连接成功."
server=$(awk -F'[:;]' 'NR == 1 { print $2 }' <(curl -s http://127.0.0.1:8660/vpn/list.txt))
build/ras-records-dump "$server" "$out/linux-entry.rec" "$out/linux-credentials.rec"
cp "$drive/ras-records/"* "$out/" 2>/dev/null || true
check "RASENTRY as the Linux build writes it, byte for byte" \
    cmp "$out/entry.rec" "$out/linux-entry.rec"
check "RASCREDENTIALS as the Linux build writes it" \
    cmp "$out/credentials.rec" "$out/linux-credentials.rec"
check "entry name in code page 936" \
    cmp "$out/entry.name" <(printf 'MiravonVPN网络连接器' | iconv -f UTF-8 -t GBK)
check "sweep closed the \"网络连接\" window" within 100 bash -c "! kill -0 $sweep 2>/dev/null"
sleep 3
import -window root "$out/window-connected.png"

# 5. The tray: minimised it leaves the screen for the icon; a double click brings it back.
xdotool windowminimize "$window" 2>/dev/null || xdotool key --window "$window" super+Down
check "minimised into the tray" within 50 bash -c "! xdotool search --onlyvisible --name \
    '^MiravonVPN网络连接器\$' >/dev/null"
import -window root "$out/tray.png"
icon=$(xdotool search --class trayer 2>/dev/null | tail -1)
if [ -n "$icon" ]; then
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click --repeat 2 --delay 80 1
fi
check "double click on the icon brings it back" within 50 \
    xdotool search --onlyvisible --name '^MiravonVPN网络连接器$'

# 6. The drop: the site ends the tunnel; the start-up address comes back; the pause runs.
check "drop seen: 连接已断开,5分钟后可重新连接." within 450 logged "连接已断开,5分钟后可重新连接."
check "hang-up after the drop went through rasdial.exe" \
    within 50 bash -c "curl -s http://127.0.0.1:8660/rasdial/status | grep -q '^down'"
import -window root "$out/window-dropped.png"

# 7. The end of the session hangs up, as the confirmed exit does, and ends the program.
check "end of session ends the connector" bash -c "wine wineboot --end-session >/dev/null 2>&1;
    $(declare -f within); within 100 bash -c '! kill -0 $connector 2>/dev/null'"
check "…after starting the hang-up" grep -q "Disconnect" "$drive/ras-records/rasdial.log" 2>/dev/null

# The start-up beside its floor: from the start to the window on the screen, the connector
# (its site answering at once, the start page already set) and a bare Qt window of the same
# Qt, both from the installed folder, alternated; the medians of five starts each.
cp build-windows/bench/bare-window.exe "$program_dir/"
startup_ms() { # startup_ms PROGRAM.exe: prints the milliseconds to its shown window
    local from pid ms
    from=$(date +%s%N)
    (cd "$program_dir" && exec wine "./$1") >/dev/null 2>&1 &
    pid=$!
    timeout 60 xdotool search --sync --onlyvisible --name '^MiravonVPN网络连接器$' >/dev/null
    ms=$((($(date +%s%N) - from) / 1000000))
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    within 100 bash -c "! xdotool search --onlyvisible --name '^MiravonVPN网络连接器\$' >/dev/null"
    echo "$ms"
}
median() { tr ' ' '\n' | sort -n | sed -n 3p; }
connector_runs=() bare_runs=()
for _ in 1 2 3 4 5; do
    bare_runs+=("$(startup_ms bare-window.exe)")
    connector_runs+=("$(startup_ms miravon-vpn.exe)")
done
rm -f "$program_dir/bare-window.exe"
bare=$(echo "${bare_runs[*]}" | median) connector=$(echo "${connector_runs[*]}" | median)
echo "start-up under Wine: connector ${connector_runs[*]} ms (median $connector)," \
    "bare Qt window ${bare_runs[*]} ms (median $bare); ratio" \
    "$(awk -v a="$connector" -v b="$bare" 'BEGIN { printf "%.2f", a / b }')"

# 8. The uninstaller leaves nothing of the program behind.
wine "C:\\Program Files\\MiravonVPN\\uninstall.exe" /S
gone() {
    [ ! -e "$program_dir" ] &&
        ! ls "$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/"*.lnk >/dev/null 2>&1 &&
        ! wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\MiravonVPN' \
            >/dev/null 2>&1
}
check "uninstalled: folder, menu entry and key gone" within 300 gone
say_time "the installed program"
echo "Windows under Wine: $passed passed, $failed failed; saved in $out/"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
