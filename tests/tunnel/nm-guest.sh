#!/bin/bash
# The second tunnel test machine: Debian with systemd as its first process, NetworkManager
# owning the network, systemd-resolved managing names, and the test user logged in on tty1 as
# on a desktop. Three parts, each started by the machine itself:
#   setup    (miravon-setup.service, before NetworkManager and the logins) the users, the
#            server's namespace and the uplink's profile;
#   session  (tester's login shell on tty1) runs, one after the other, the commands that the
#            checks hand it, so that they belong to the user's active local session;
#   checks   (miravon-checks.service, once NetworkManager runs) everything else, as root; one
#            line per check on the second serial port, then "N passed, N failed", and the
#            machine powers off.
# The network, with documentation addresses only:
#   srv   a network namespace: the VPN server (pptpd on 203.0.113.10 and .11, Debian's stock options:
#         MS-CHAPv2, MPPE-128), the "internet" host 198.51.100.80 and 2001:db8:80::80 with the
#         maker site and its lookup page, the provider's name server on 192.0.2.1 (knows
#         vpn.miravon.test) and the tunnel's on 10.9.0.1 (knows secret.miravon.test);
#   root  the user's machine: eth1, 192.0.2.2/24 and 2001:db8:2::2/64, default routes of both
#         families through srv, managed by NetworkManager through a keyfile profile.
set -u
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8
source /mnt/checks.sh
session=/run/miravon-session # the user's command queue: request and status pipes
password=mv2026

srv() { ip netns exec srv "$@"; }

# --- Before NetworkManager and the logins.
setup() {
    for module in ppp_generic ppp_async ppp_mppe sch_netem; do modprobe "$module"; done
    useradd -m -s /bin/bash tester
    useradd -m -s /bin/bash other
    mkdir -m 700 "$session"
    mkfifo -m 600 "$session/request" "$session/status"
    chown -R tester: "$session"
    cat >/home/tester/.bash_profile <<'PROFILE'
# On tty1 this login serves the test machine's checks (see /mnt/nm-guest.sh).
[ "$(tty)" = /dev/tty1 ] && exec bash /mnt/nm-guest.sh session
PROFILE
    phonebook /home/tester/.config/MiravonVPN/rasphone.pbk 203.0.113.10 3 60
    phonebook /home/other/.config/MiravonVPN/rasphone.pbk 203.0.113.10 3 60
    chown -R tester: /home/tester
    chown -R other: /home/other

    ip netns add srv
    ip link add eth1 type veth peer name srv0 netns srv
    srv sysctl -qw net.ipv6.conf.all.accept_dad=0 net.ipv6.conf.default.accept_dad=0
    sysctl -qw net.ipv6.conf.eth1.accept_dad=0
    srv ip link set lo up
    srv ip addr add 192.0.2.1/24 dev srv0
    srv ip addr add 2001:db8:2::1/64 dev srv0
    srv ip addr add 203.0.113.10/32 dev lo
    srv ip addr add 203.0.113.11/32 dev lo # a second server: pptp makes one call per address
    srv ip addr add 198.51.100.80/32 dev lo
    srv ip addr add 2001:db8:80::80/128 dev lo
    srv ip link set srv0 up

    # Name servers: the provider's knows the VPN server's name, the tunnel's a name of its own;
    # names under miravon.test that they do not know are answered at once (no such name).
    srv dnsmasq --conf-file=/dev/null --user=root --no-resolv --no-hosts --bind-interfaces \
        --listen-address=192.0.2.1 --local=/miravon.test/ --address=/vpn.miravon.test/203.0.113.10 \
        --pid-file=/run/dnsmasq-provider.pid
    srv dnsmasq --conf-file=/dev/null --user=root --no-resolv --no-hosts --bind-dynamic \
        --listen-address=10.9.0.1 --local=/miravon.test/ --address=/secret.miravon.test/10.9.0.1 \
        --pid-file=/run/dnsmasq-tunnel.pid
    cat >/etc/pptpd.conf <<EOF
option /etc/ppp/pptpd-options
localip 10.9.0.1
remoteip 10.9.0.100-119
EOF
    echo "ms-dns 10.9.0.1" >>/etc/ppp/pptpd-options
    echo "miravon pptpd $password *" >/etc/ppp/chap-secrets
    srv pptpd --fg -c /etc/pptpd.conf &
    srv /mnt/miravon-site --address 198.51.100.80 --port 8660 --tunnel-minutes 0 >/run/site.log 2>&1 &
    srv /mnt/miravon-site --address 2001:db8:80::80 --port 8660 --tunnel-minutes 0 >/run/site6.log 2>&1 &

    # The uplink: a wired profile of the machine's own (root's, 0600), both families.
    cat >/etc/NetworkManager/system-connections/uplink.nmconnection <<EOF
[connection]
id=uplink
type=ethernet
interface-name=eth1

[ipv4]
method=manual
address1=192.0.2.2/24,192.0.2.1
dns=192.0.2.1;

[ipv6]
method=manual
address1=2001:db8:2::2/64,2001:db8:2::1
EOF
    chmod 600 /etc/NetworkManager/system-connections/uplink.nmconnection
}

# --- tester's login shell on tty1: reads "N COMMAND" lines from the request pipe, runs each
# command with the files stdin.N, out.N and err.N, answers "N STATUS SECONDS".
serve_session() {
    cd || exit 1
    exec 3<>"$session/request" 4<>"$session/status"
    echo $$ >"$session/ready"
    local n line started status elapsed
    while read -r n line <&3; do
        started=${EPOCHREALTIME/./}
        # Standard input through a pipe rather than the named one: a program may open
        # /dev/stdin again (nmcli's passwd-file), which waits forever on a named pipe whose
        # writer has gone.
        cat "$session/stdin.$n" | bash -c "$line" >"$session/out.$n" 2>"$session/err.$n" 3<&- 4<&-
        status=$?
        elapsed=$(((${EPOCHREALTIME/./} - started) / 100000))
        echo "$n $status $((elapsed / 10)).$((elapsed % 10))" >&4
    done
}

case ${1:-} in
setup) setup; exit ;;
session) serve_session; exit ;;
checks) ;;
*) echo "usage: $0 setup|session|checks" >&2; exit 2 ;;
esac

# --- The checks, as root.
out=/mnt/out
finish() {
    say "$passed passed, $failed failed"
    journalctl -b --no-pager -o short-precise >"$out/journal.txt" 2>&1
    cp /run/site.log /run/site6.log "$out/" 2>/dev/null
    sync
    systemctl --no-block poweroff
}
trap finish EXIT
shopt -s lastpipe # "printf PASSWORD | as_user ..." keeps as_user's results in this shell

say "guest up: checks start at $(cut -d' ' -f1 /proc/uptime) s of the kernel's time, $(uname -r), $(systemctl is-system-running)"

# as_user COMMAND...: runs the command as tester inside tty1's login session, with this
# shell's standard input, output and error; its status is the command's. Sets took (seconds,
# measured in the session).
exec {request_fd}<>"$session/request" {status_fd}<>"$session/status"
requests=0
as_user() {
    local n=$((++requests)) line answer status=255 feeder
    line=$(printf '%q ' "$@")
    mkfifo -m 600 "$session/stdin.$n" && chown tester: "$session/stdin.$n"
    cat <&0 >"$session/stdin.$n" &
    feeder=$!
    took=
    echo "$n $line" >&"$request_fd"
    while read -r -t 600 answer status took <&"$status_fd"; do
        [ "$answer" = "$n" ] && break
    done
    [ "$answer" = "$n" ] || { echo "as_user: no answer from the session" >&2; status=255; }
    kill "$feeder" 2>/dev/null
    wait "$feeder" 2>/dev/null
    cat "$session/out.$n" 2>/dev/null
    cat "$session/err.$n" >&2 2>/dev/null
    rm -f "$session/stdin.$n" "$session/out.$n" "$session/err.$n"
    return "$status"
}
# as_user_start NAME COMMAND...: starts the command in the session and returns at once; its
# output lands in $session/NAME.out and .err (collect NAME copies them to $out), its status
# in $session/NAME.status.
as_user_start() {
    local name=$1
    shift
    rm -f "$session/$name.status"
    as_user bash -c 'name=$1; shift; { "$@" >"$0/$name.out" 2>"$0/$name.err" </dev/null; echo $? >"$0/$name.status"; } &' \
        "$session" "$name" "$@"
}
# finished NAME: the status of a command started with as_user_start, once it has ended.
finished() { cat "$session/$1.status" 2>/dev/null; }
ended() { [ -s "$session/$1.status" ]; }
collect() { cp "$session/$1.out" "$session/$1.err" "$out/" 2>/dev/null; }

waitfor 120 test -e "$session/ready"
check "tester's login shell on tty1 serves the checks" test -e "$session/ready"

# --- The machine: systemd, the user's session, NetworkManager owning eth1, resolved.
# equal A B: whether the two are the same; says both when not.
equal() { [ "$1" = "$2" ] || { echo "'$1' is not '$2'"; return 1; }; }
# has FILE PATTERN: whether a line of the file matches; shows the file's end when not.
has() {
    local text
    text=$(cat "$1")
    printf '%s\n' "$text" | grep -qE -- "$2" || { printf '%s\n' "$text" | tail -n 5; return 1; }
}

check "systemd is the first process" equal "$(cat /proc/1/comm)" systemd
tester_session=$(loginctl list-sessions --no-legend | awk '$3 == "tester" { print $1; exit }')
check "tester's session $tester_session: seat0, tty1, active, local" equal \
    "$(loginctl show-session "$tester_session" -p Seat -p TTY -p Active -p Remote | sort | tr '\n' ' ')" \
    "Active=yes Remote=no Seat=seat0 TTY=tty1 "
check "commands handed to the session run in it" equal "$(as_user cat /proc/self/sessionid)" "$tester_session"
as_user true
say "     (a command through the session: ${took} s)"
# (polkit answers each of NetworkManager's actions in turn: slow under emulation)
as_user nmcli -w 60 -t -f PERMISSION,VALUE general permissions >"$out/permissions-tester.txt" 2>&1
check "polkit: tester's commands may control the network" \
    has "$out/permissions-tester.txt" '^org.freedesktop.NetworkManager.network-control:yes$'
check "polkit: tester's commands may change the user's own profiles" \
    has "$out/permissions-tester.txt" '^org.freedesktop.NetworkManager.settings.modify.own:yes$'
runuser -u other -- nmcli -w 60 -t -f PERMISSION,VALUE general permissions >"$out/permissions-other.txt" 2>&1
check "other has no session" equal "$(loginctl list-sessions --no-legend | awk '$3 == "other"')" ""
check "polkit: other may not control the network without authenticating" \
    has "$out/permissions-other.txt" '^org.freedesktop.NetworkManager.network-control:auth$'
primary() {
    busctl get-property org.freedesktop.NetworkManager /org/freedesktop/NetworkManager \
        org.freedesktop.NetworkManager PrimaryConnection | grep -q ActiveConnection
}
waitfor 60 primary
check "NetworkManager manages eth1 with the uplink profile" \
    equal "$(nmcli -t -f DEVICE,STATE,CONNECTION device | grep '^eth1:')" eth1:connected:uplink
check "the uplink is NetworkManager's primary connection" primary
waitfor 30 bash -c "ip -6 route show default | grep -q 'via 2001:db8:2::1 dev eth1'"
ip route show default >/tmp/default4
ip -6 route show default >/tmp/default6
check "eth1 has the IPv4 default route" has /tmp/default4 'via 192.0.2.1 dev eth1'
check "eth1 has the IPv6 default route" has /tmp/default6 'via 2001:db8:2::1 dev eth1'
check "/etc/resolv.conf is resolved's stub" equal "$(readlink /etc/resolv.conf)" ../run/systemd/resolve/stub-resolv.conf
check "resolved has the provider's name server on eth1" has <(resolvectl dns eth1) '192\.0\.2\.1'
check "the provider's name server resolves the VPN server's name" has <(getent hosts vpn.miravon.test) 203.0.113.10
started=$(now)
check "the package installs" dpkg -i /mnt/miravon-vpn.deb
say "     (installed in $(since "$started") s)"

lookup() { curl -s --max-time 3 http://198.51.100.80:8660/ip2city.asp | iconv -f gbk; }
lookup6() { curl -6 -s --max-time 3 'http://[2001:db8:80::80]:8660/ip2city.asp' | iconv -f gbk; }
waitfor 20 lookup
check "before a dial the lookup page sees eth1's address" has <(lookup) '\[192\.0\.2\.2\]'
check "before a dial IPv6 reaches srv through eth1" has <(lookup6) '\[2001:db8:2::2\]'

# The state a hang-up must restore.
resolved_state() { resolvectl dns; resolvectl domain; resolvectl default-route; }
resolved_state >/tmp/resolved.before
ip route show >/tmp/routes4.before
ip -6 route show >/tmp/routes6.before

# capture FILE FILTER: starts writing down, one line each, the packets that leave through eth1
# and match the filter; captured: stops (in this shell).
capture() {
    tcpdump -i eth1 -Q out -n -l "$2" >"$1" 2>"$1.tcpdump" &
    capturing=$!
    waitfor 10 grep -q 'listening on' "$1.tcpdump"
}
captured() {
    sleep 0.5
    kill -INT "$capturing"
    wait "$capturing"
}
# none FILE: whether no packet was written down (tcpdump ends its output with an empty line);
# shows the first ones when not.
none() { ! grep -q . "$1" || { echo "$(grep -c . "$1") packets: $(grep . "$1" | head -n 2)"; return 1; }; }
# Outgoing IPv6 beyond the link: to neither link-local nor multicast addresses, and not
# neighbour discovery: what a program sends (TCP, UDP, echo requests).
ipv6_traffic='ip6 and not dst net fe80::/10 and not dst net ff00::/8 and (not icmp6 or ip6[40] == 128)'
# probe_ipv6 FILE: tries IPv6 to srv (the lookup page and a ping); the packets that left
# through eth1 in FILE, the lookup page's answer in /tmp/lookup6.txt.
probe_ipv6() {
    capture "$1" "$ipv6_traffic"
    lookup6 >/tmp/lookup6.txt
    ping -6 -c 2 -i 0.3 -W 1 2001:db8:80::80 >/dev/null 2>&1
    captured
}
probe_ipv6 "$out/ipv6-before.txt"
check "IPv6 sent through eth1 is seen there (the measure works)" grep -q . "$out/ipv6-before.txt"

# The password's watch, as root: every command line and environment, and every file under the
# folders NetworkManager, the session and the dial use, read over and over.
watch_password() {
    rm -f /tmp/password-stop
    : >/tmp/password-seen
    : >/tmp/password-rounds
    (
        until [ -e /tmp/password-stop ]; do
            grep -laE 'mv202[6]' /proc/[0-9]*/cmdline /proc/[0-9]*/environ >>/tmp/password-seen 2>/dev/null
            grep -rlaE --devices=skip 'mv202[6]' /etc/NetworkManager /run /tmp /home >>/tmp/password-seen 2>/dev/null
            echo >>/tmp/password-rounds
            sleep 0.2
        done
    ) &
    watcher=$!
}
# password_unseen [ALLOWED]: ends the watch after its round; whether it saw the password
# anywhere but in files matching ALLOWED (and where).
password_unseen() {
    touch /tmp/password-stop
    waitfor 30 bash -c "! kill -0 $watcher"
    local rounds seen
    rounds=$(wc -l </tmp/password-rounds)
    seen=$(sort -u /tmp/password-seen | grep -vE "${1:-^$}")
    if [ -n "$seen" ]; then
        echo "seen in: $(echo "$seen" | tr '\n' ' ') ($rounds rounds)"
        return 1
    fi
    echo "$rounds rounds"
}

# --- While a link is up, and once it is down again. LABEL names the path in the check lines.
pppdevice() { ip -o link show type ppp | awk -F': ' '{ print $2; exit }'; }
tunnel_address() { ip -o -4 addr show dev "$(pppdevice)" 2>/dev/null | awk '{ print $4; exit }'; }
resolves() { getent hosts "$1" >/dev/null; }
up_checks() {
    local label=$1 device address
    device=$(pppdevice)
    address=$(tunnel_address)
    check "$label: up: a ppp interface ($device, $address)" test -n "$device" -a -n "$address"
    check "$label: up: the default route goes through $device" \
        has <(ip route get 198.51.100.80) "dev $device "
    check "$label: up: the lookup page sees the tunnel's address" has <(lookup) "\\[$address\\]"
    check "$label: up: names resolve through the tunnel's name server" waitfor 5 resolves secret.miravon.test
    resolvectl status >"$out/$label-resolved-up.txt" 2>&1
    check "$label: up: IPv6 to srv has no route" bash -c "! ip -6 route get 2001:db8:80::80"
    probe_ipv6 "$out/$label-ipv6-up.txt"
    check "$label: up: no IPv6 packet leaves through eth1 (lookup page and ping tried)" none "$out/$label-ipv6-up.txt"
    check "$label: up: the IPv6 lookup fails" equal "$(cat /tmp/lookup6.txt)" ""
}
# down_checks LABEL: after a hang-up or a drop, what the link changed is back as it was.
nolink() { [ -z "$(ip -o link show type ppp)" ]; }
down_checks() {
    local label=$1
    check "$label: no ppp interface" waitfor 5 nolink
    check "$label: no pppd and no pptp left" waitfor 5 bash -c "! pgrep -x pptp && ! pgrep -x pppd"
    check "$label: default routes as before" bash -c \
        "diff <(ip route show default) /tmp/default4 && diff <(ip -6 route show default) /tmp/default6"
    # pptp's own host route to the server is known to stay behind (pptp(8), ROUTING).
    check "$label: IPv4 routes as before, pptp's host route to the server aside" diff /tmp/routes4.before \
        <(ip route show | grep -vE '^203\.0\.113\.[0-9]+ via 192\.0\.2\.1 dev eth1 src 192\.0\.2\.2 $')
    check "$label: IPv6 routes as before, nothing left behind" diff /tmp/routes6.before <(ip -6 route show)
    check "$label: resolved's name servers and domains as before" waitfor 5 bash -c \
        "diff /tmp/resolved.before <($(declare -f resolved_state); resolved_state)"
    check "$label: the tunnel's name no longer resolves" bash -c "! getent hosts secret.miravon.test"
    check "$label: the lookup page sees eth1's address again" has <(lookup) '\[192\.0\.2\.2\]'
    check "$label: IPv6 works again" has <(lookup6) '\[2001:db8:2::2\]'
}

# --- The guest itself dials with NetworkManager's own client, as tester: the base the dial
# tool's checks stand on.
as_user nmcli connection add type vpn con-name baseline vpn-type pptp \
    connection.autoconnect no connection.permissions user:tester \
    vpn.data "gateway=203.0.113.10, user=miravon, require-mppe-128=yes, refuse-eap=yes, refuse-pap=yes, refuse-chap=yes, refuse-mschap=yes, lcp-echo-failure=5, lcp-echo-interval=30, password-flags=2" \
    ipv4.dns-priority -50 ipv6.routes "::/1 type=unreachable, 8000::/1 type=unreachable" \
    >"$out/nmcli-add.txt" 2>&1
check "nmcli: tester adds a PPTP profile of the user's own" has "$out/nmcli-add.txt" 'successfully added'
printf 'vpn.secrets.password:%s\n' "$password" |
    as_user nmcli connection up id baseline passwd-file /dev/stdin >"$out/nmcli-up.txt" 2>&1
status=$?
check "nmcli: tester brings it up, the password from a pipe" equal "$status" 0
say "     (up in $took s)"
up_checks nmcli
as_user nmcli connection down id baseline >/dev/null 2>&1
say "     (down in $took s)"
down_checks "nmcli: down"
say "     (pptp's host route after the link: $(ip route show 203.0.113.10 | tr -s ' '))"
printf 'vpn.secrets.password:wrong\n' |
    as_user nmcli connection up id baseline passwd-file /dev/stdin >"$out/nmcli-wrong.txt" 2>&1
status=$?
check "nmcli: a wrong password fails" test "$status" != 0
say "     (failed in $took s: $(grep -o 'failed.*' "$out/nmcli-wrong.txt" | head -n 1))"

# --- The dial tool, as tester in the session. via: RASDIAL_VIA for its runs (empty: rasdial
# chooses).
via=
testerbook=/home/tester/.config/MiravonVPN/rasphone.pbk
book() { phonebook "$testerbook" "$@" && chown tester: "$testerbook"; }
# dial NAME ARGS...: rasdial ARGS; its output in $out/NAME.out and .err; sets status and took.
dial() {
    local name=$1
    shift
    as_user env ${via:+RASDIAL_VIA=$via} rasdial "$@" >"$out/$name.out" 2>"$out/$name.err"
    status=$?
}
# outcome TEXT NAME CODE LIMIT: whether dial NAME ended with Windows' code CODE (0: success)
# within LIMIT seconds: status CODE % 256, and the whole number in the printed line.
outcome() {
    local text=$1 name=$2 code=$3 limit=$4 ok=yes
    if [ "$code" = 0 ]; then
        [ "$status" = 0 ] && grep -qx 'Command completed successfully.' "$out/$name.out" || ok=
    else
        [ "$status" = $((code % 256)) ] && grep -qE "^Remote Access error $code( |$)" "$out/$name.out" || ok=
    fi
    within "$limit" "$took" || ok=
    if [ -n "$ok" ]; then
        pass "$text" "$took s"
    else
        fail "$text" "status $status, $took s: $(cat "$out/$name.out" "$out/$name.err" | tail -n 4 | tr '\n' ' ')"
    fi
}
# refused TEXT NAME LIMIT: whether dial NAME failed with a Remote Access error within LIMIT s.
refused() {
    if [ "$status" != 0 ] && grep -q '^Remote Access error ' "$out/$2.out" && within "$3" "$took"; then
        pass "$1" "$took s: $(grep '^Remote Access error' "$out/$2.out")"
    else
        fail "$1" "status $status, $took s: $(cat "$out/$2.out" "$out/$2.err" | tail -n 3 | tr '\n' ' ')"
    fi
}
# NetworkManager's profiles named after the entry.
profiles() { nmcli -t -f NAME connection show | grep -cxF "$entry"; }
noprofile() { [ "$(profiles)" = 0 ]; }
someprofile() { [ "$(profiles)" != 0 ]; }
# nothing_left: no ppp link, no pppd, no profile of the entry.
nothing_left() { nolink && noprocess pppd && noprofile; }
nothing_up() { ! serverlink && nothing_left; }
serverlink() { [ -n "$(srv ip -o link show type ppp)" ]; }
# settled: no dial in progress: nothing activating, and pptp only with a link that is up.
settled() {
    ! nmcli -t -f STATE connection show --active | grep -qx activating &&
        { noprocess pptp || ! nolink; }
}
server_pppd() { pgrep -x pppd -P "$(pgrep -d, -x pptpctrl)"; }
journal_count() { journalctl --sync; journalctl -b -o cat | grep -c "$1"; }

# profile_checks LABEL: the profile that rasdial made for its link, while the link is up.
profile_checks() {
    local label=$1 path
    nmcli connection show id "$entry" >"$out/$label-profile.txt" 2>&1
    path=$(busctl call org.freedesktop.NetworkManager /org/freedesktop/NetworkManager/Settings \
        org.freedesktop.NetworkManager.Settings GetConnectionByUuid s \
        "$(nmcli -g connection.uuid connection show id "$entry")" | awk '{ print $2 }' | tr -d '"')
    busctl --json=short call org.freedesktop.NetworkManager "$path" \
        org.freedesktop.NetworkManager.Settings.Connection GetSettings >"$out/$label-settings.txt" 2>&1
    busctl get-property org.freedesktop.NetworkManager "$path" \
        org.freedesktop.NetworkManager.Settings.Connection Filename >"$out/$label-filename.txt" 2>&1
    check "$label: up: nmcli lists the link as active" \
        has <(nmcli -t -f NAME,TYPE,STATE connection show --active) "^$entry:vpn:activated$"
    check "$label: profile: the entry's name, for tester only, no autoconnect" bash -c \
        "grep -qE '^connection.id: +$entry$' '$out/$label-profile.txt' &&
         grep -qE '^connection.permissions: +user:tester$' '$out/$label-profile.txt' &&
         grep -qE '^connection.autoconnect: +no$' '$out/$label-profile.txt'"
    check "$label: profile: in memory only" has "$out/$label-filename.txt" '^s "/run/NetworkManager/'
    busctl get-property org.freedesktop.NetworkManager "$path" \
        org.freedesktop.NetworkManager.Settings.Connection Flags >"$out/$label-flags.txt" 2>&1
    # NM_SETTINGS_CONNECTION_FLAG_VOLATILE (4): NetworkManager removes it with its link.
    check "$label: profile: volatile, made with its link in one request" bash -c \
        "[ \$(( \$(awk '{ print \$2 }' '$out/$label-flags.txt') & 4 )) != 0 ]"
    check "$label: profile: the password is not saved (password-flags 2)" \
        has "$out/$label-profile.txt" '^vpn.data:.*password-flags = 2'
    check "$label: profile: tagged with the entry and tester's uid" bash -c \
        "grep -qF '\"net.miravon.rasdial.entry\":\"$entry\"' '$out/$label-settings.txt' &&
         grep -qF '\"net.miravon.rasdial.uid\":\"$(id -u tester)\"' '$out/$label-settings.txt'"
    check "$label: profile: IPv6 routes ::/1 and 8000::/1 unreachable, applied" bash -c \
        "ip -6 route show type unreachable | grep -q '^unreachable ::/1 ' &&
         ip -6 route show type unreachable | grep -q '^unreachable 8000::/1 '"
}

# clean_slate: hangs up whatever an earlier check left behind (and says so), so that each part
# starts from the machine's own state.
clean_slate() {
    nothing_up && return
    as_user rasdial "$entry" /d >/dev/null 2>&1
    waitfor 5 nothing_up && { say "     (an earlier check left a link: hung up)"; return; }
    say "     (an earlier check left: $(pppdevice) $(profiles) profile(s) $(pgrep -c -x pppd) pppd; removed)"
    nmcli -t -f UUID,NAME connection show | awk -F: -v e="$entry" '$2 == e { print $1 }' |
        xargs -r -n 1 nmcli connection delete uuid >/dev/null 2>&1
    pkill -x pptp
    pkill -x pppd
    waitfor 10 nothing_up
}

# suite LABEL VIA PATH WRONG [short]: the dial tool's checks with RASDIAL_VIA=VIA; PATH is the
# way rasdial must say it dials ("NetworkManager" or "pppd"), WRONG the code of a wrong
# password. "short": dial, hang-up and a wrong password only.
suite() {
    local label=$1 path=$3 wrong=$4 short=${5:-} nm=
    via=$2
    [ "$path" = NetworkManager ] && nm=yes
    clean_slate
    book 203.0.113.10 3 60

    # A dial with the password on standard input while the password is watched for.
    watch_password
    printf '%s\n' "$password" | dial "$label-dial" "$entry" miravon '*'
    outcome "$label: dial: exit 0 once up" "$label-dial" 0 20
    check "$label: dial: Windows' success line" has "$out/$label-dial.out" "^Successfully connected to $entry\\.$"
    check "$label: dial: rasdial says it dials through $path" has "$out/$label-dial.err" "^rasdial: dialling through $path"
    [ -n "$nm" ] && profile_checks "$label"
    up_checks "$label"
    if [ -n "$nm" ]; then
        check "$label: the password showed in no command line, environment or file (dial and up)" password_unseen
    else
        # The helper hands pppd the account and password in a file of root's, in a folder only
        # root may enter, for as long as pppd reads them.
        check "$label: the password showed in no command line or environment, and in no file but the helper's own for pppd (dial and up)" \
            password_unseen '^/run/miravon-vpn/[^/]*\.secrets$'
        check "$label: the helper's folder is root's alone, and its file for pppd is gone" \
            bash -c "[ \"\$(stat -c %a:%U /run/miravon-vpn)\" = 700:root ] && ! ls /run/miravon-vpn/*.secrets"
    fi
    dial "$label-list" >/dev/null
    check "$label: rasdial lists the link" bash -c \
        "grep -qx 'Connected to' '$out/$label-list.out' && grep -qxF '$entry' '$out/$label-list.out'"
    # pppd's own ending takes 1 to 1.5 s and the helper starts around it: 2 to 3 s in all, 3.1 s
    # once on a loaded machine. A pppd that does not end is killed after 5 s.
    dial "$label-hangup" "$entry" /d
    outcome "$label: hang-up: exit 0 within 4 s" "$label-hangup" 0 4
    [ -n "$nm" ] && check "$label: hang-up: the profile is gone" waitfor 3 noprofile
    down_checks "$label: hang-up"
    dial "$label-hangup2" "$entry" /d
    outcome "$label: /d with nothing up: 668" "$label-hangup2" 668 5

    # A wrong password: one attempt.
    local before
    before=$(journal_count 'failed CHAP authentication')
    dial "$label-wrong" "$entry" miravon wrong-password
    outcome "$label: wrong password: $wrong within 10 s" "$label-wrong" "$wrong" 10
    check "$label: wrong password: one attempt" equal "$(($(journal_count 'failed CHAP authentication') - before))" 1
    check "$label: wrong password: nothing left" waitfor 5 nothing_left
    if [ -n "$nm" ]; then
        # Whichever reason NetworkManager gives (0 or 4 were seen), the note names the causes.
        check "$label: wrong password: the note names the possible causes ($(grep -o 'reason [0-9]*' "$out/$label-wrong.err" | tail -n 1))" \
            has "$out/$label-wrong.err" 'refused the user name or password, the encryption did not match'
    fi

    # A user name or password that is not UTF-8 text: refused before anything is dialled, the
    # same way on both paths (NetworkManager takes UTF-8 only).
    dial "$label-latin1" "$entry" miravon $'mv2026\xe9'
    check "$label: a password that is not UTF-8: refused at once (status 1), said so" bash -c \
        "[ $status = 1 ] && grep -q 'password is not UTF-8' '$out/$label-latin1.err' && ! grep -q . '$out/$label-latin1.out'"
    dial "$label-latin1-user" "$entry" $'mir\xe9von' "$password"
    check "$label: a user name that is not UTF-8: refused at once (status 1), said so" bash -c \
        "[ $status = 1 ] && grep -q 'user name is not UTF-8' '$out/$label-latin1-user.err'"
    check "$label: nothing left after them" nothing_left

    # A hang-up before the link is activated: the server's answers are lost, so the dial is
    # still knocking when SIGTERM comes, as `rasdial /d` sends it (whatever the machine's
    # load). The dial must end at once, and (NetworkManager) never add its profile.
    srv tc qdisc add dev srv0 root netem loss 100%
    busctl monitor --system --match "type='signal',interface='org.freedesktop.NetworkManager.Settings',member='NewConnection'" \
        >/tmp/added.txt 2>/dev/null &
    local monitor=$! hungup
    sleep 1
    as_user_start "$label-early" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
    # Through NetworkManager rasdial says it at once; the helper holds its output until it
    # ends, so there the helper's start is the sign.
    waitfor 20 bash -c "grep -q '^Connecting to' '$session/$label-early.out' || pgrep -x rasdial-helper"
    hungup=$(now)
    pkill -TERM -u tester -x rasdial
    waitfor 10 ended "$label-early"
    took=$(since "$hungup")
    srv tc qdisc del dev srv0 root
    collect "$label-early"
    status=$(finished "$label-early")
    check "$label: hang-up before activation: 631 within 1 s of the signal ($took s)" bash -c \
        "[ '$status' = $((631 % 256)) ] && grep -q '^Remote Access error 631' '$out/$label-early.out' && awk 'BEGIN { exit !($took <= 1.0) }'"
    sleep 2
    kill "$monitor"
    if [ -n "$nm" ]; then
        check "$label: hang-up before activation: no profile was ever added" bash -c "! grep -q NewConnection /tmp/added.txt"
    fi
    check "$label: hang-up before activation: nothing left" waitfor 5 nothing_up
    [ -n "$short" ] && return

    # Servers that cannot be reached: one attempt, although the entry redials three times.
    book 203.0.113.99 3 1
    capture /tmp/syn.txt 'tcp dst port 1723 and tcp[tcpflags] & tcp-syn != 0'
    dial "$label-silent" "$entry" miravon "$password"
    outcome "$label: a server that does not answer: 800 within 15 s" "$label-silent" 800 15
    captured
    cp /tmp/syn.txt "$out/$label-silent-syn.txt"
    check "$label: a server that does not answer: one attempt (connections tried: SYNs from distinct ports)" \
        equal "$(awk 'NF { print $3 }' /tmp/syn.txt | sort -u | wc -l)" 1
    book nowhere.miravon.test 3 1
    dial "$label-noname" "$entry" miravon "$password"
    outcome "$label: a name that does not resolve: 868 within 5 s" "$label-noname" 868 5
    check "$label: nothing left after the failed dials" waitfor 5 nothing_left

    # A drop is final: the server ends the link; nothing dials again.
    book vpn.miravon.test 3 1
    dial "$label-drop" "$entry" miravon "$password"
    outcome "$label: dial by the server's name" "$label-drop" 0 20
    waitfor 5 resolves secret.miravon.test
    local calls dropped
    calls=$(journal_count 'control connection started')
    dropped=$(now)
    pkill -TERM -x pppd -P "$(pgrep -d, -x pptpctrl)"
    check "$label: drop: the link ends" waitfor 15 nolink
    say "     (gone $(since "$dropped") s after the server's hang-up)"
    sleep 5
    check "$label: drop: no redial" equal "$(journal_count 'control connection started')" "$calls"
    [ -n "$nm" ] && check "$label: drop: the profile is gone" equal "$(profiles)" 0
    down_checks "$label: drop"
    dial "$label-list2" >/dev/null
    check "$label: drop: rasdial lists no connection" has "$out/$label-list2.out" '^No connections$'

    # Hang-up while a dial is still in progress: the server answers slowly (0.4 s each way).
    book 203.0.113.10 3 1
    srv tc qdisc add dev srv0 root netem delay 400ms
    as_user_start "$label-cancelled" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
    waitfor 20 pgrep -x pptp
    dial "$label-cancel" "$entry" /d
    say "     (/d during the dial: status $status after $took s)"
    waitfor 15 ended "$label-cancelled"
    check "$label: /d during a dial: the dialling rasdial ends with 631" equal "$(finished "$label-cancelled")" $((631 % 256))
    collect "$label-cancelled"
    check "$label: /d during a dial: it said Remote Access error 631" has "$out/$label-cancelled.out" '^Remote Access error 631( |$)'
    sleep 10
    check "$label: /d during a dial: nothing came up afterwards, on either side" nothing_up

    # A rasdial killed (SIGKILL) mid-dial leaves nothing that outlives the link, and the next
    # one removes what it left. Killed early (NetworkManager: once its profile is there;
    # pppd: once the helper runs) or late (once pptp runs, the password handed over); a link
    # that comes up all the same is ended by the server.
    local moment
    for moment in early late; do
        srv tc qdisc replace dev srv0 root netem delay 400ms
        as_user_start "$label-killed-$moment" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
        if [ "$moment" = late ]; then
            waitfor 20 pgrep -x pptp
        elif [ -n "$nm" ]; then
            waitfor 20 someprofile
        else
            waitfor 20 pgrep -x rasdial-helper
        fi
        pkill -KILL -u tester -x rasdial
        srv tc qdisc del dev srv0 root
        waitfor 30 settled
        sleep 3
        say "     (killed $moment: then link '$(pppdevice)', $(profiles) profile(s), $(pgrep -c -x pppd) pppd)"
        if ! nolink; then
            pkill -TERM -x pppd -P "$(pgrep -d, -x pptpctrl)"
            check "$label: killed $moment: the link that came up ends with the server's hang-up" waitfor 15 nolink
        fi
        check "$label: killed $moment: no pppd outlives the link" waitfor 5 noprocess pppd
        say "     (killed $moment: $(profiles) profile(s) left)"
        [ -n "$nm" ] && check "$label: killed $moment: its profile went with its activation (no sweep)" \
            waitfor 10 noprofile
        dial "$label-killed-$moment-next" "$entry" miravon "$password"
        outcome "$label: killed $moment: the next dial" "$label-killed-$moment-next" 0 20
        [ -n "$nm" ] && check "$label: killed $moment: the next dial removed stale profiles (one left)" \
            equal "$(profiles)" 1
        dial "$label-killed-$moment-hangup" "$entry" /d
        [ -n "$nm" ] && check "$label: killed $moment: none after its hang-up" waitfor 3 noprofile
    done
    down_checks "$label: after the kill"
    if [ -n "$nm" ]; then
        nm_suite "$label"
    else
        helper_suite "$label"
    fi
}

# nm_suite LABEL: what only the NetworkManager path has.
nm_suite() {
    local label=$1 second=${entry}2 decoy_status gone ended_after nm_pid restarted
    # Two entries dialled at once by two rasdial processes, to two addresses (two calls to one
    # address break each other, whoever dials them: pptp sends both over one connection). Each
    # profile is added with its link in one request: neither dial can take the other's away.
    book 203.0.113.10 3 1
    phonebook /tmp/second.pbk 203.0.113.11 3 1
    sed "s/^\[$entry\]\$/[$second]/" /tmp/second.pbk >>"$testerbook"
    as_user_start "$label-pair-1" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
    as_user_start "$label-pair-2" env ${via:+RASDIAL_VIA=$via} rasdial "$second" miravon "$password"
    waitfor 60 ended "$label-pair-1"
    waitfor 60 ended "$label-pair-2"
    collect "$label-pair-1"
    collect "$label-pair-2"
    check "$label: two entries dialled at once: both up" bash -c \
        "[ '$(finished "$label-pair-1")' = 0 ] && [ '$(finished "$label-pair-2")' = 0 ] && [ \$(ip -o link show type ppp | wc -l) = 2 ]"
    dial "$label-pair-1-down" "$entry" /d
    dial "$label-pair-2-down" "$second" /d
    check "$label: two entries: both hung up, nothing left" waitfor 10 bash -c \
        "$(declare -f nolink noprocess); nolink && noprocess pppd && [ \$(nmcli -t -f NAME connection show | grep -c '^$entry') = 0 ]"

    # The agent asked for another profile's password (the user's own, not-saved): it refuses,
    # and its own dial comes up.
    book 203.0.113.10 3 1
    as_user nmcli connection add type vpn con-name decoy vpn-type pptp connection.autoconnect no \
        connection.permissions user:tester \
        vpn.data "gateway=203.0.113.11, user=miravon, require-mppe-128=yes, refuse-eap=yes, refuse-pap=yes, refuse-chap=yes, refuse-mschap=yes, password-flags=2" \
        >/dev/null 2>&1
    srv tc qdisc add dev srv0 root netem delay 400ms
    as_user_start "$label-agent" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
    waitfor 20 someprofile
    as_user nmcli -w 30 connection up id decoy >"$out/$label-decoy.txt" 2>&1
    decoy_status=$?
    srv tc qdisc del dev srv0 root
    waitfor 30 ended "$label-agent"
    collect "$label-agent"
    check "$label: agent: NetworkManager asked rasdial's agent for another profile's password: refused" \
        has "$out/$label-agent.err" 'for the secrets of another profile \(decoy, '
    check "$label: agent: the other profile got no password ($(tr '\n' ' ' <"$out/$label-decoy.txt"))" \
        test "$decoy_status" != 0
    check "$label: agent: its own dial came up" equal "$(finished "$label-agent")" 0
    as_user nmcli connection delete id decoy >/dev/null 2>&1
    dial "$label-agent-down" "$entry" /d

    # A hang-up meets the link going down (DEACTIVATING): that is neither a link nor a dial. A
    # dial then waits for it to go (its pppd too), and dials. NetworkManager keeps a VPN link
    # DEACTIVATING while the dispatcher's pre-down scripts run: the machine gets one that takes
    # 6 s (as one that unmounts network shares may).
    dial "$label-going-up" "$entry" miravon "$password"
    outcome "$label: going down: the first link" "$label-going-up" 0 20
    mkdir -p /etc/NetworkManager/dispatcher.d/pre-down.d
    printf '#!/bin/sh\n[ "$2" = vpn-pre-down ] && sleep 6\nexit 0\n' >/etc/NetworkManager/dispatcher.d/pre-down.d/50-slow
    chmod 755 /etc/NetworkManager/dispatcher.d/pre-down.d/50-slow
    as_user_start "$label-going-down" rasdial "$entry" /d
    if waitfor 10 bash -c "nmcli -t -f NAME,STATE connection show --active | grep -qxF '$entry:deactivating'"; then
        dial "$label-going-list" >/dev/null
        dial "$label-going-redial" "$entry" miravon "$password"
        outcome "$label: a dial that meets the previous link going down waits for it, then dials" \
            "$label-going-redial" 0 30
        check "$label: going down: the dial said it waited" has "$out/$label-going-redial.err" 'previous link is going down'
        check "$label: going down: rasdial did not list the link going down" \
            bash -c "! grep -qxF '$entry' '$out/$label-going-list.out'"
        dial "$label-going-hangup" "$entry" /d
    else
        fail "$label: a dial that meets the previous link going down waits for it, then dials" \
            "the link was never seen going down"
    fi
    rm -f /etc/NetworkManager/dispatcher.d/pre-down.d/50-slow
    waitfor 15 ended "$label-going-down"
    check "$label: going down: nothing left" waitfor 10 nothing_up

    # pppd refuses its options (a line it does not know in /etc/ppp/options): NetworkManager's
    # plugin calls that LOGIN_FAILED, if its reason gets through at all. Not 691.
    echo miravon-no-such-option >>/etc/ppp/options
    dial "$label-options" "$entry" miravon "$password"
    sed -i '/^miravon-no-such-option$/d' /etc/ppp/options
    local reason
    reason=$(grep -o 'reason [0-9]*' "$out/$label-options.err" | tail -n 1)
    say "     (pppd refused its options: NetworkManager's $reason; $(grep '^Remote' "$out/$label-options.out"))"
    check "$label: pppd refusing its options: not 691, and the note says what is known ($reason)" bash -c \
        "case '$reason' in
         'reason 10') grep -q '^Remote Access error 800 ' '$out/$label-options.out' && grep -q 'refused its options' '$out/$label-options.err' ;;
         'reason 0'|'reason 4') grep -q '^Remote Access error 734 ' '$out/$label-options.out' && grep -q 'or pppd itself failed' '$out/$label-options.err' ;;
         *) false ;;
         esac"
    check "$label: pppd refusing its options: nothing left" waitfor 5 nothing_left

    # NetworkManager restarted during a dial: the dial ends within 2 s with an error, nothing is
    # left once NetworkManager is back.
    srv tc qdisc add dev srv0 root netem delay 400ms
    as_user_start "$label-restart" env ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password"
    waitfor 20 someprofile
    nm_pid=$(systemctl show -p MainPID --value NetworkManager)
    restarted=$(now)
    systemctl restart --no-block NetworkManager
    waitfor 20 bash -c "! kill -0 $nm_pid"
    gone=$(since "$restarted")
    waitfor 20 ended "$label-restart"
    ended_after=$(since "$restarted")
    srv tc qdisc del dev srv0 root
    collect "$label-restart"
    say "     (NetworkManager gone $gone s after the restart began, the dial ended after $ended_after s)"
    check "$label: NetworkManager restarted mid-dial: the dial ends within 2 s, with an error that says so" bash -c \
        "[ '$(finished "$label-restart")' != 0 ] && grep -q '^Remote Access error ' '$out/$label-restart.out' &&
         grep -q 'NetworkManager stopped' '$out/$label-restart.err' && awk 'BEGIN { exit !($ended_after - $gone <= 2) }'"
    waitfor 60 primary
    check "$label: NetworkManager restarted mid-dial: nothing left once it is back" waitfor 20 nothing_up
    as_user nmcli -w 60 general permissions >/dev/null 2>&1
}

# helper_suite LABEL: IPv6 comes back on the helper path whatever way its link ends.
helper_suite() {
    local label=$1 pidfile
    book 203.0.113.10 3 1
    # pppd killed with SIGKILL runs no ip-down hook: the connector's hang-up brings IPv6 back.
    dial "$label-sigkill" "$entry" miravon "$password"
    outcome "$label: pppd killed: the link" "$label-sigkill" 0 20
    pidfile=$(ls /run/ppp-rasdial-*.pid | head -n 1)
    kill -KILL "$(head -n 1 "$pidfile")"
    waitfor 10 nolink
    check "$label: pppd killed (SIGKILL): IPv6's block stays behind (no hook ran)" \
        has <(ip -6 route show type unreachable) '^unreachable ::/1 '
    dial "$label-sigkill-hangup" "$entry" /d
    say "     (the connector's hang-up after the kill: status $status, $(cat "$out/$label-sigkill-hangup.out"))"
    check "$label: pppd killed (SIGKILL): after the connector's hang-up IPv6 works again" bash -c \
        "$(declare -f lookup6); [ -z \"\$(ip -6 route show type unreachable)\" ] && lookup6 | grep -qF '[2001:db8:2::2]'"
    check "$label: pppd killed (SIGKILL): its pid file is gone" test ! -e "$pidfile"
    waitfor 30 bash -c "$(declare -f serverlink srv); ! serverlink"

    # Another program's ppp link (a PPPoE or mobile uplink's stand-in) carries the default route
    # when a rasdial link that replaced it goes down: pppd puts that route back before its
    # ip-down hook runs, and IPv6 must come back all the same.
    # The server stays reached through eth1 (pptp's own host route, which it leaves behind).
    ip route show 203.0.113.10 | grep -q . || ip route add 203.0.113.10 via 192.0.2.1 dev eth1 src 192.0.2.2
    pppd pty "ip netns exec srv pppd notty noauth local noipv6 nodefaultroute 10.8.0.1:10.8.0.2" \
        noauth local noipv6 defaultroute replacedefaultroute ipparam uplink linkname uplink \
        >/tmp/uplink.log 2>&1
    waitfor 15 bash -c "ip route show default | grep -q 'dev ppp'"
    local uplink
    uplink=$(ip route show default | awk '/dev ppp/ { for (i = 1; i < NF; i++) if ($i == "dev") print $(i + 1); exit }')
    check "$label: uplink: another program's ppp link ($uplink) carries the default route" test -n "$uplink"
    dial "$label-uplink" "$entry" miravon "$password"
    outcome "$label: uplink: a rasdial link on top" "$label-uplink" 0 20
    # pppd starts its ip-up hook, which sets the block, after it has detached: a moment after
    # the dial has returned.
    check "$label: uplink: IPv6 blocked while the rasdial link is up (within 2 s)" waitfor 2 \
        bash -c "ip -6 route show type unreachable | grep -q '^unreachable ::/1 '"
    dial "$label-uplink-hangup" "$entry" /d
    waitfor 10 bash -c "[ \$(ip -o link show type ppp | wc -l) = 1 ]"
    check "$label: uplink: the uplink's default route is back" has <(ip route show default) "dev $uplink"
    check "$label: uplink: after the rasdial link's hang-up IPv6 works again" bash -c \
        "$(declare -f lookup6); [ -z \"\$(ip -6 route show type unreachable)\" ] && lookup6 | grep -qF '[2001:db8:2::2]'"
    kill "$(head -n 1 /run/ppp-uplink.pid)" 2>/dev/null
    waitfor 10 nolink
    waitfor 10 bash -c "ip route show default | grep -q 'dev eth1'"
    down_checks "$label: uplink gone"
}

# --- Through NetworkManager, which rasdial picks by itself while NetworkManager runs; through
# pppd, forced; and with NetworkManager stopped, where rasdial must pick pppd by itself.
section() { say "-- $1 (at $(cut -d' ' -f1 /proc/uptime) s)"; }
# --- Speed: rasdial's dial through NetworkManager against nmcli's of an equivalent profile,
# three each, taking turns, nothing else running (no password watch). Each time is measured
# in the session, from the command's start to its end.
section "speed"
clean_slate
book 203.0.113.10 3 60
nmcli_times=() rasdial_times=()
for round in 1 2 3; do
    printf 'vpn.secrets.password:%s\n' "$password" |
        as_user nmcli connection up id baseline passwd-file /dev/stdin >/dev/null 2>&1 && nmcli_times+=("$took")
    as_user nmcli connection down id baseline >/dev/null 2>&1
    waitfor 10 nothing_up
    dial "speed-$round" "$entry" miravon "$password"
    [ "$status" = 0 ] && rasdial_times+=("$took")
    dial "speed-$round-hangup" "$entry" /d
    waitfor 10 nothing_up
done
as_user nmcli connection delete id baseline >/dev/null 2>&1
ratio=$(awk -v a="${rasdial_times[*]}" -v b="${nmcli_times[*]}" 'BEGIN {
    n = split(a, x, " "); m = split(b, y, " "); for (i in x) s += x[i]; for (i in y) t += y[i]
    if (n == 3 && m == 3 && t > 0) printf "%.2f", s / t }')
say "     (rasdial ${rasdial_times[*]} s, nmcli ${nmcli_times[*]} s: ratio ${ratio:-none})"
check "speed: rasdial's dial takes at most 1.15 times nmcli's (${ratio:-no ratio})" \
    awk -v r="$ratio" 'BEGIN { exit !(r != "" && r <= 1.15) }'

section "rasdial, NetworkManager running"
suite NM "" NetworkManager 734
section "rasdial, RASDIAL_VIA=helper"
suite helper helper pppd 691
section "rasdial, NetworkManager stopped"
systemctl stop NetworkManager
suite NM-stopped "" pppd 691 short
via=networkmanager
dial NM-stopped-forced "$entry" miravon "$password"
refused "NM-stopped: RASDIAL_VIA=networkmanager fails with a Remote Access error within 5 s" NM-stopped-forced 5
check "NM-stopped: and leaves nothing" nothing_left
clean_slate
systemctl start NetworkManager
waitfor 60 primary
check "NetworkManager back, the uplink primary again" primary
# NetworkManager's start sends polkit a burst of questions; the checks that follow time
# answers that pass through polkit, so they wait until it answers again.
started=$(now)
as_user nmcli -w 60 general permissions >/dev/null 2>&1
say "     (polkit answered tester again $(since "$started") s after NetworkManager's start)"

# --- A user without a session is refused, whichever way.
section "a user without a session"
clean_slate
for via in "" networkmanager helper; do
    name=other${via:+-$via}
    started=$(now)
    runuser -u other -- env HOME=/home/other ${via:+RASDIAL_VIA=$via} rasdial "$entry" miravon "$password" \
        >"$out/$name.out" 2>"$out/$name.err"
    status=$?
    took=$(since "$started")
    refused "other${via:+, RASDIAL_VIA=$via}: refused with a Remote Access error within 10 s" "$name" 10
    check "other${via:+, RASDIAL_VIA=$via}: nothing left" waitfor 5 nothing_up
done
via=

# --- The connector's whole road through NetworkManager, as tester under Xvfb. Its maker site
# is compiled in as 127.0.0.1:8660, forwarded to the "internet" host, so the lookup page sees
# whatever address the routes give the forwarder.
section "the connector"
clean_slate
book 203.0.113.10 3 60
socat TCP-LISTEN:8660,bind=127.0.0.1,fork,reuseaddr TCP:198.51.100.80:8660 &
Xvfb :5 -screen 0 1024x768x24 -nolisten tcp -ac >/tmp/xvfb.log 2>&1 &
waitfor 10 test -e /tmp/.X11-unix/X5
x() { env DISPLAY=:5 "$@"; }
click() { x xdotool mousemove $((X + $1)) $((Y + $2)) click 1; }
logged() { grep -qF "$2" "$1"; }
# seconds LOG TEXT STARTED: waits up to 60 s for the line; its time since STARTED, or "".
seconds() { waitfor 60 logged "$1" "$2" && since "$3"; }
log=$session/connector.err
watch_password
as_user_start connector env DISPLAY=:5 miravon-vpn --log-to-stderr
window=$(x timeout 60 xdotool search --sync --onlyvisible --name MiravonVPN | head -n 1)
eval "$(x xdotool getwindowgeometry --shell "$window")"
check "road: start-up logs eth1's address" waitfor 60 logged "$log" "您当前的IP地址是: 192.0.2.2"
waitfor 30 logged "$log" "服务器载入" && sleep 1
clicked=$(now)
click 206 119
to_connected=$(seconds "$log" "连接成功." "$clicked")
[ -n "$to_connected" ] && pass "road: \"连接\" dials the real link: \"连接成功.\"" "${to_connected} s from the click" ||
    fail "road: \"连接\" dials the real link: \"连接成功.\"" "$(tail -n 3 "$log" | tr '\n' ' ')"
check "road: the link is NetworkManager's" \
    has <(nmcli -t -f NAME,TYPE,STATE connection show --active) "^$entry:vpn:activated$"
address=$(tunnel_address)
check "road: the tunnel's address is logged ($address)" bash -c "[ -n '$address' ] && grep -qF '$address' '$log'"
sleep 2
x xwd -root -silent -out "$out/connected.xwd"
check "road: the password showed in no command line, environment or file" password_unseen
after_lookup /run/site.log
dropped=$(now)
kill -TERM $(server_pppd) # the server ends the link
waitfor 30 bash -c "curl -s --max-time 2 http://198.51.100.80:8660/ip2city.asp | iconv -f gbk | grep -qF '[192.0.2.2]'"
lookup_back=$(since "$dropped")
ss -tnpoi >"$out/road-sockets-after-drop.txt" 2>&1
to_log=$(seconds "$log" "连接已断开,5分钟后可重新连接." "$dropped")
# The drop watch looks every 5 s: the line comes within one look of the address's return.
[ -n "$to_log" ] && awk -v l="$to_log" -v b="$lookup_back" 'BEGIN { exit !(l - b <= 5.5) }' &&
    pass "road: the server ends the link: \"连接已断开,5分钟后可重新连接.\"" \
        "${to_log} s after the hang-up; the lookup page showed eth1's address after ${lookup_back} s" ||
    fail "road: the server ends the link: \"连接已断开,5分钟后可重新连接.\"" \
        "log after '${to_log}' s, address back after ${lookup_back} s"
check "road: the profile is gone after the drop" waitfor 5 noprofile
pkill -u tester -x miravon-vpn
waitfor 10 noprocess miravon-vpn
cp "$log" "$out/connector.log"
section "done"
