#!/bin/bash
# The tunnel test machine's first process. Two network namespaces joined by a veth pair:
#   srv  the VPN server (pptpd on 203.0.113.10, the first server of the maker site's list), the
#        "internet" host 198.51.100.80 with the maker site and its lookup page, and two name
#        servers: the provider's on 192.0.2.1 and the tunnel's on 10.9.0.1;
#   cli  the user's machine, 192.0.2.2, whose default route goes through srv unencrypted.
# Prints one line per check on the second serial port, then "N passed, N failed", and powers
# the machine off. Saved files go to /mnt/out (the run disk).
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 HOME=/root
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t tmpfs tmpfs /run
mount -t tmpfs tmpfs /tmp
mkdir -p /dev/pts /run/lock && mount -t devpts devpts /dev/pts
ln -sf /proc/self/fd /dev/fd

out=/mnt/out
source /mnt/checks.sh
finish() {
    say "$passed passed, $failed failed"
    cp /tmp/syslog "$out/syslog" 2>/dev/null
    sync
    umount /mnt
    echo o >/proc/sysrq-trigger
}
trap finish EXIT
srv() { ip netns exec srv "$@"; }
cli() { ip netns exec cli "$@"; }

say "guest up: first process at $(cut -d' ' -f1 /proc/uptime) s of the kernel's time, $(uname -r)"
# The host name is deliberately not in /etc/hosts: pppd must not stall looking it up.
hostname tunnelguest
busybox syslogd -O /tmp/syslog
for module in ppp_generic ppp_async ppp_mppe; do modprobe "$module"; done
check "the package installs" dpkg -i /mnt/miravon-vpn.deb

# The network.
ip netns add srv
ip netns add cli
ip link add veth-cli type veth peer name veth-srv
ip link set veth-cli netns cli
ip link set veth-srv netns srv
srv ip link set lo up
srv ip addr add 192.0.2.1/24 dev veth-srv
srv ip addr add 203.0.113.10/32 dev lo
srv ip addr add 198.51.100.80/32 dev lo
srv ip link set veth-srv up
cli ip link set lo up
cli ip addr add 192.0.2.2/24 dev veth-cli
cli ip link set veth-cli up
cli ip route add default via 192.0.2.1

# Name servers: the provider's knows the VPN server's name, the tunnel's knows a name of its
# own; names under miravon.test that they do not know are answered at once (no such name).
srv dnsmasq --conf-file=/dev/null --user=root --no-resolv --no-hosts --bind-interfaces \
    --listen-address=192.0.2.1 --local=/miravon.test/ --address=/vpn.miravon.test/203.0.113.10 \
    --pid-file=/run/dnsmasq-provider.pid
srv dnsmasq --conf-file=/dev/null --user=root --no-resolv --no-hosts --bind-dynamic \
    --listen-address=10.9.0.1 --local=/miravon.test/ --address=/secret.miravon.test/10.9.0.1 \
    --pid-file=/run/dnsmasq-tunnel.pid
printf 'nameserver 192.0.2.1\noptions timeout:1 attempts:1\n' >/etc/resolv.conf
cp /etc/resolv.conf /tmp/resolv.conf.before

# The PPTP server: Debian's pptpd with its stock options (MS-CHAPv2, MPPE-128 required).
cat >/etc/pptpd.conf <<EOF
option /etc/ppp/pptpd-options
localip 10.9.0.1
remoteip 10.9.0.100-119
EOF
echo "ms-dns 10.9.0.1" >>/etc/ppp/pptpd-options
echo "miravon pptpd mv2026 *" >/etc/ppp/chap-secrets
# An account whose password holds what an options file treats specially.
cat >>/etc/ppp/chap-secrets <<'SECRETS'
tricky pptpd "p\"a\\ss w#d'密" *
SECRETS
srv pptpd --fg -c /etc/pptpd.conf &
srv /mnt/miravon-site --address 198.51.100.80 --port 8660 --tunnel-minutes 0 >/tmp/site.log 2>&1 &
waitfor 10 cli curl -sf http://198.51.100.80:8660/ip2city.asp
check "before the dial the lookup page sees cli's own address" \
    bash -c "ip netns exec cli curl -s http://198.51.100.80:8660/ip2city.asp | iconv -f gbk | grep -F '[192.0.2.2]'"
cli ip route show default >/tmp/routes.before

book=/root/.config/MiravonVPN/rasphone.pbk
phonebook "$book" 203.0.113.10 3 60

# rasdial, recording its output and status: rasdial-run NAME ARGS...
rasdial-run() {
    local name=$1
    shift
    local started
    started=$(now)
    cli rasdial "$@" >"$out/$name.out" 2>"$out/$name.err"
    status=$?
    took=$(since "$started")
}
linkpid() { head -n 1 /run/ppp-rasdial-*.pid 2>/dev/null | grep -E '^[0-9]+$' | head -n 1; }
clientppp() { cli ip -o addr show type ppp; }
serverppp() { srv ip -o addr show type ppp; }
lookup() { cli curl -s --max-time 3 http://198.51.100.80:8660/ip2city.asp | iconv -f gbk; }

# --- A dial as root.
rasdial-run dial "$entry" miravon mv2026
[ "$status" = 0 ] && grep -q "^Successfully connected to $entry.$" "$out/dial.out" &&
    grep -q "^Command completed successfully.$" "$out/dial.out" &&
    pass "dial: exit 0 and Windows' success lines" "${took} s" ||
    fail "dial: exit 0 and Windows' success lines" "status $status, $(tail -n 3 "$out/dial.err" | tr '\n' ' ')"
check "dial: a ppp interface with the server's address as peer" bash -c \
    "ip netns exec cli ip -o addr show type ppp | grep -q 'peer 10.9.0.1/32'"
check "dial: traffic through the tunnel" cli ping -c 3 -i 0.3 -W 3 10.9.0.1
check "dial: MPPE-128 negotiated" grep -q "MPPE 128-bit stateless compression enabled" /tmp/syslog
tunnel_address=$(clientppp | awk '{ print $4 }' | cut -d/ -f1)
check "dial: the lookup page sees the tunnel's address ($tunnel_address)" \
    bash -c "[ -n '$tunnel_address' ] && ip netns exec cli curl -s http://198.51.100.80:8660/ip2city.asp | iconv -f gbk | grep -F '[$tunnel_address]'"
check "dial: rasdial lists the entry" bash -c "ip netns exec cli rasdial | grep -x '$entry'"
check "dial: the default route goes through the tunnel" bash -c "ip netns exec cli ip route show default | grep -q 'dev ppp'"
check "dial: pptp keeps its host route to the server behind the gateway" \
    bash -c "ip netns exec cli ip route get 203.0.113.10 | grep -q 'via 192.0.2.1 dev veth-cli'"
check "dial: names resolve through the tunnel's name server" cli getent hosts secret.miravon.test

# --- The password on standard input, "rasdial ENTRY USER *", with quotes, a backslash, a blank,
# a hash and Chinese in it.
cli rasdial "$entry" /d >/dev/null 2>&1
waitfor 5 noprocess pppd
printf '%s\n' "p\"a\\ss w#d'密" | cli rasdial "$entry" tricky '*' >"$out/tricky.out" 2>"$out/tricky.err"
status=$?
[ "$status" = 0 ] && [ -n "$(clientppp)" ] &&
    pass "a password with quotes, backslash, blank, hash and Chinese, on standard input" ||
    fail "a password with quotes, backslash, blank, hash and Chinese, on standard input" "status $status, $(tail -n 2 "$out/tricky.err" | tr '\n' ' ')"

# --- Hang-up. pppd ends in 1 to 1.5 s (LCP's terminate, then pptp clears the call), the helper
# starts around it; 2 to 3 s in all, 3.1 s once while the machine built Qt beside the guests. A
# pppd that does not end is killed after 5 s: the 4 s bound still tells that apart.
pid=$(linkpid)
rasdial-run hangup "$entry" /d
[ "$status" = 0 ] && awk -v t="$took" 'BEGIN { exit !(t <= 4) }' &&
    pass "hang-up: exit 0 within 4 s" "${took} s" || fail "hang-up: exit 0 within 4 s" "status $status, ${took} s"
check "hang-up: pppd ended by itself (its own exit, no SIGKILL)" \
    bash -c "grep -q 'pppd\[$pid\]: Exit.' /tmp/syslog && ! grep -qi kill '$out/hangup.err'"
check "hang-up: pppd and pptp gone on both sides, no ppp interface, no pid file" \
    waitfor 3 bash -c "! pgrep -x pppd && ! pgrep -x pptp && ! pgrep -x pptpctrl && \
        [ -z \"\$(ip netns exec cli ip -o link show type ppp)\" ] && \
        [ -z \"\$(ip netns exec srv ip -o link show type ppp)\" ] && ! ls /run/ppp-rasdial-*.pid"
check "hang-up: default route as before" bash -c "ip netns exec cli ip route show default | cmp - /tmp/routes.before"
check "hang-up: /etc/resolv.conf as before, byte for byte" cmp /etc/resolv.conf /tmp/resolv.conf.before
check "hang-up: the tunnel's name no longer resolves" bash -c "! ip netns exec cli getent hosts secret.miravon.test"
rasdial-run hangup2 "$entry" /d
[ "$status" = $((668 % 256)) ] && grep -q "error 668" "$out/hangup2.out" &&
    pass "hang-up: a second /d gives 668" || fail "hang-up: a second /d gives 668" "status $status"

# --- A wrong password: 691 after one attempt, every time, although the entry redials 3 times.
for try in 1 2 3; do
    before=$(grep -c "failed CHAP authentication" /tmp/syslog)
    rasdial-run wrong$try "$entry" miravon wrong-password
    attempts=$(($(grep -c "failed CHAP authentication" /tmp/syslog) - before))
    [ "$status" = $((691 % 256)) ] && grep -q "error 691" "$out/wrong$try.out" &&
        awk -v t="$took" 'BEGIN { exit !(t <= 10) }' && [ "$attempts" = 1 ] &&
        pass "wrong password ($try): 691 within 10 s after one attempt" "${took} s" ||
        fail "wrong password ($try): 691 within 10 s after one attempt" "status $status, ${took} s, $attempts attempts"
    waitfor 5 noprocess pppd
done

# --- Servers that cannot be reached.
# One attempt per dial, although the entry asks for 3 redials: whoever started the tool gives
# up on its own time.
phonebook "$book" 203.0.113.99 3 2
rasdial-run silent "$entry" miravon mv2026
[ "$status" = $((800 % 256)) ] && awk -v t="$took" 'BEGIN { exit !(t <= 15) }' &&
    [ "$(grep -c 'does not answer' "$out/silent.err")" = 1 ] &&
    pass "a server that does not answer: 800 within 15 s, one attempt" "${took} s" ||
    fail "a server that does not answer: 800 within 15 s, one attempt" "status $status, ${took} s"
phonebook "$book" nowhere.miravon.test 3 60
rasdial-run noname "$entry" miravon mv2026
[ "$status" = $((868 % 256)) ] && awk -v t="$took" 'BEGIN { exit !(t <= 3) }' &&
    pass "a name that cannot be looked up: 868 at once" "${took} s" ||
    fail "a name that cannot be looked up: 868 at once" "status $status, ${took} s"

# --- No stall on pppd's look-up of the guest's own name, which no file holds, when the name
# server does not answer (pppd's default address would come from it).
cp /etc/resolv.conf /tmp/resolv.conf.kept
printf 'nameserver 203.0.113.53\n' >/etc/resolv.conf
phonebook "$book" 203.0.113.10 0 60
rasdial-run stall "$entry" miravon mv2026
[ "$status" = 0 ] && awk -v t="$took" 'BEGIN { exit !(t <= 5) }' &&
    pass "no stall on the host name while the name server is silent" "${took} s" ||
    fail "no stall on the host name while the name server is silent" "status $status, ${took} s"
cli rasdial "$entry" /d >/dev/null
waitfor 5 noprocess pppd
cp /tmp/resolv.conf.kept /etc/resolv.conf

# --- A drop is final: the server ends the link; nothing dials again behind the connector.
phonebook "$book" vpn.miravon.test 3 1
rasdial-run drop "$entry" miravon mv2026
[ "$status" = 0 ] && pass "dial by the server's name" "${took} s" || fail "dial by the server's name" "status $status"
waitfor 5 bash -c "ip netns exec cli getent hosts secret.miravon.test"
dialled=$(grep -c "control connection started" /tmp/syslog)
# The server's pppd is pptpctrl's child.
pkill -TERM -x pppd -P "$(pgrep -d, -x pptpctrl)"
check "drop: the client's link ends" waitfor 10 bash -c "[ -z \"\$(ip netns exec cli ip -o link show type ppp)\" ]"
sleep 5
check "drop: no redial afterwards" bash -c "! pgrep -x pppd && ! pgrep -x pptp && [ $dialled = \$(grep -c 'control connection started' /tmp/syslog) ]"
check "drop: default route as before" bash -c "ip netns exec cli ip route show default | cmp - /tmp/routes.before"
check "drop: /etc/resolv.conf as before, byte for byte" cmp /etc/resolv.conf /tmp/resolv.conf.before
check "drop: rasdial lists no connection" bash -c "ip netns exec cli rasdial | grep -qx 'No connections'"

# --- An ordinary user dials through pkexec. No login session here: a polkit rule stands in
# for the "active local user" that the package's action allows.
useradd -m tester
mkdir -p /run/dbus /etc/polkit-1/rules.d
cat >/etc/polkit-1/rules.d/50-tunnel-test.rules <<'RULES'
polkit.addRule(function(action, subject) {
    if (action.id == "net.miravon.rasdial" && subject.user == "tester") return polkit.Result.YES;
});
RULES
dbus-daemon --system --fork
/usr/lib/polkit-1/polkitd --no-debug >/tmp/polkitd.log 2>&1 &
waitfor 10 busctl --system status org.freedesktop.PolicyKit1 || waitfor 10 pgrep -x polkitd
as_tester() { cli runuser -u tester -- env HOME=/home/tester XDG_RUNTIME_DIR=/tmp/tester "$@"; }
mkdir -p /tmp/tester && chown tester: /tmp/tester && chmod 700 /tmp/tester
testerbook=/home/tester/.config/MiravonVPN/rasphone.pbk
phonebook "$testerbook" 203.0.113.10 3 60
chown -R tester: /home/tester/.config
started=$(now)
as_tester rasdial "$entry" miravon mv2026 >"$out/user-dial.out" 2>"$out/user-dial.err"
status=$?
took=$(since "$started")
[ "$status" = 0 ] && [ -n "$(clientppp)" ] &&
    pass "an ordinary user dials through pkexec" "${took} s" ||
    fail "an ordinary user dials through pkexec" "status $status, $(tail -n 2 "$out/user-dial.err" | tr '\n' ' ')"
as_tester rasdial "$entry" /d >"$out/user-hangup.out" 2>&1
status=$?
[ "$status" = 0 ] && waitfor 3 bash -c "[ -z \"\$(ip netns exec cli ip -o link show type ppp)\" ]" &&
    pass "the same user hangs up through pkexec" || fail "the same user hangs up through pkexec" "status $status"
waitfor 5 noprocess pppd

# Links belong to their user: root's link is neither listed to nor hung up by another user.
phonebook "$book" 203.0.113.10 0 60
cli rasdial "$entry" miravon mv2026 >/dev/null 2>&1
as_tester rasdial >"$out/user-list.out" 2>&1
as_tester rasdial "$entry" /d >"$out/user-hangup-root.out" 2>&1
status=$?
[ "$status" = $((668 % 256)) ] && grep -qx "No connections" "$out/user-list.out" && [ -n "$(clientppp)" ] &&
    pass "another user's link is not listed to or hung up by this user" ||
    fail "another user's link is not listed to or hung up by this user" "status $status"
cli rasdial "$entry" /d >/dev/null 2>&1
waitfor 5 noprocess pppd

# A user's lowered limits do not reach root's pppd: with "ulimit -f 0" the link still writes
# its pid file and can be hung up. rasdial's own lines into a file fail under that limit,
# without ending the dial.
cli runuser -u tester -- bash -c "ulimit -f 0; ulimit -c unlimited; cd /tmp/tester && \
    HOME=/home/tester rasdial '$entry' miravon mv2026" >"$out/user-ulimit.out" 2>&1
status=$?
[ "$status" = 0 ] && [ -n "$(linkpid)" ] && as_tester rasdial "$entry" /d >/dev/null 2>&1 &&
    waitfor 5 noprocess pppd &&
    pass "a user's \"ulimit -f 0\" does not reach pppd: pid file written, hung up" ||
    fail "a user's \"ulimit -f 0\" does not reach pppd: pid file written, hung up" "status $status"
waitfor 5 noprocess pppd

# --- The connector's whole road on the real tunnel, as the ordinary user, under Xvfb in cli.
# Its maker site is compiled in as 127.0.0.1:8660; in cli that port is forwarded to the
# "internet" host, so the lookup page sees whatever address cli's routes give the forwarder.
cli socat TCP-LISTEN:8660,bind=127.0.0.1,fork,reuseaddr TCP:198.51.100.80:8660 &
cli Xvfb :5 -screen 0 1024x768x24 -nolisten tcp -ac >/tmp/xvfb.log 2>&1 &
waitfor 10 test -e /tmp/.X11-unix/X5
x() { cli env DISPLAY=:5 "$@"; }
# connector LOG: starts it and waits for its window; "$window" and its corner X, Y are set.
connector() {
    as_tester env DISPLAY=:5 miravon-vpn --log-to-stderr 2>"$1" &
    window=$(x timeout 60 xdotool search --sync --onlyvisible --name MiravonVPN | head -n 1)
    eval "$(x xdotool getwindowgeometry --shell "$window")"
}
# click DX DY: a click at that offset from the window's corner.
click() { x xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }
logged() { grep -qF "$2" "$1"; }
# seconds LOG TEXT STARTED: waits up to 60 s for the line; its time since STARTED, or "".
seconds() {
    waitfor 60 logged "$1" "$2" && since "$3"
}

# Meanwhile every process's command line is read, over and over: the password and the account
# must never show.
( while :; do cat /proc/[0-9]*/cmdline 2>/dev/null | tr '\0' ' ' | grep -aoE 'mv202[6]' ; done ) \
    >/tmp/cmdline-hits 2>/dev/null &
poller=$!
connector "$out/connector.log"
check "road: start-up logs cli's own address" waitfor 60 logged "$out/connector.log" "您当前的IP地址是: 192.0.2.2"
waitfor 30 logged "$out/connector.log" "服务器载入" && sleep 1
clicked=$(now)
click 206 119
to_connected=$(seconds "$out/connector.log" "连接成功." "$clicked")
[ -n "$to_connected" ] && pass "road: \"连接\" dials the real link: \"连接成功.\"" "${to_connected} s from the click" ||
    fail "road: \"连接\" dials the real link: \"连接成功.\"" "$(tail -n 3 "$out/connector.log" | tr '\n' ' ')"
tunnel_address=$(clientppp | awk '{ print $4 }' | cut -d/ -f1)
check "road: the tunnel's address is logged ($tunnel_address)" \
    bash -c "[ -n '$tunnel_address' ] && grep -qF '$tunnel_address' '$out/connector.log'"
sleep 2
x xwd -root -silent -out "$out/connected.xwd"
sleep 2
x xwd -root -silent -out /tmp/later.xwd
check "road: the clock counts" bash -c "! cmp -s '$out/connected.xwd' /tmp/later.xwd"

kill "$poller"
check "road: no command line showed the password during the dial" bash -c "[ ! -s /tmp/cmdline-hits ]"
check "road: pppd's command line holds neither the account nor the server" \
    bash -c "! tr '\\0' ' ' </proc/$(linkpid)/cmdline | grep -E '(^| )miravon( |$)|203\\.0\\.113\\.10'"

# "断开" asks first; Return takes the question's default, OK.
click 292 119
sleep 1
x xdotool key Return
check "road: \"断开\" hangs up and the pause starts" waitfor 10 bash -c \
    "grep -qF '断开成功,5分钟后可重新连接.' '$out/connector.log' && [ -z \"\$(ip netns exec cli ip -o link show type ppp)\" ]"
# The pause lasts five minutes: the second connect is made by a new start of the connector.
pkill -x miravon-vpn
waitfor 10 noprocess miravon-vpn
connector "$out/connector2.log"
waitfor 60 logged "$out/connector2.log" "成功获取服务器信息" && sleep 1
click 206 119
if waitfor 60 logged "$out/connector2.log" "连接成功."; then
    after_lookup /tmp/site.log
    dropped=$(now)
    pkill -TERM -x pppd -P "$(pgrep -d, -x pptpctrl)" # the server ends the link
    waitfor 30 bash -c "ip netns exec cli curl -s --max-time 2 http://198.51.100.80:8660/ip2city.asp | iconv -f gbk | grep -qF '[192.0.2.2]'"
    lookup_back=$(since "$dropped")
    to_log=$(seconds "$out/connector2.log" "连接已断开,5分钟后可重新连接." "$dropped")
    # The drop watch looks every 5 s: the line comes within one look of the address's return.
    [ -n "$to_log" ] && awk -v l="$to_log" -v b="$lookup_back" 'BEGIN { exit !(l - b <= 5.5) }' &&
        pass "road: the server ends the link: \"连接已断开,5分钟后可重新连接.\"" \
            "${to_log} s after the hang-up; the lookup page showed cli's address after ${lookup_back} s" ||
        fail "road: the server ends the link: \"连接已断开,5分钟后可重新连接.\"" \
            "log after '${to_log}' s, address back after ${lookup_back} s"
else
    fail "road: the second connect" "$(tail -n 3 "$out/connector2.log" | tr '\n' ' ')"
fi
pkill -x miravon-vpn
