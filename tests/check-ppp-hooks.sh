#!/usr/bin/env bash
# The ppp hooks, with stand-ins for systemctl, resolvectl and ip that write down how they were
# asked to change anything, and a folder of their own for pppd's pid files (/run):
# check-ppp-hooks.sh IP-UP-HOOK IP-DOWN-HOOK (as generated from packaging/ppp/*.in)
set -euo pipefail
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
sed "s#/run/ppp-#$dir/ppp-#g" "$1" >"$dir/ip-up"
sed "s#/run/ppp-#$dir/ppp-#g" "$2" >"$dir/ip-down"
up=$dir/ip-up down=$dir/ip-down
printf '#!/bin/sh\nexit ${RESOLVED_ACTIVE:-1}\n' >"$dir/systemctl"
printf '#!/bin/sh\necho "resolvectl $*" >>"%s/calls"\n' "$dir" >"$dir/resolvectl"
# ip: the default routes are $DEFAULTS ("ppp0 eth0" ...), one line each.
cat >"$dir/ip" <<IP
#!/bin/sh
case "\$*" in
"-4 route show default"*)
    for dev in \$DEFAULTS; do
        [ "\$6" = "" ] || [ "\$6" = "\$dev" ] && echo "default dev \$dev scope link"
    done ;;
"-6 route "*) echo "ip \$*" >>"$dir/calls" ;;
esac
IP
chmod +x "$dir/systemctl" "$dir/resolvectl" "$dir/ip"

failed=0
# row NAME HOOK ACTIVE USEPEERDNS IPPARAM DNS1 DNS2 DEFAULTS EXPECTED-CALLS
row() {
    rm -f "$dir/calls"
    env -i PATH="$dir:/usr/bin:/bin" RESOLVED_ACTIVE="$3" USEPEERDNS="$4" DNS1="$6" DNS2="$7" \
        DEFAULTS="$8" LINKNAME=rasdial-1000-own sh "$2" ppp0 /dev/pts/0 115200 10.9.0.100 10.9.0.1 "$5"
    local got
    got=$(cat "$dir/calls" 2>/dev/null || true)
    if [ "$got" = "$9" ]; then echo "ok   $1"; else echo "FAIL $1: got [$got]"; failed=1; fi
}
dns=$'resolvectl dns ppp0 10.9.0.1 10.9.0.2\nresolvectl domain ppp0 ~.\nresolvectl default-route ppp0 yes'
block=$'ip -6 route replace unreachable ::/1 proto 109\nip -6 route replace unreachable 8000::/1 proto 109'
unblock=$'ip -6 route del unreachable ::/1 proto 109\nip -6 route del unreachable 8000::/1 proto 109'
row "resolved runs: the link's own name servers, for every name" "$up" 0 1 rasdial 10.9.0.1 10.9.0.2 eth0 "$dns"
row "one server offered twice is named once" "$up" 0 1 rasdial 10.9.0.1 10.9.0.1 eth0 \
    $'resolvectl dns ppp0 10.9.0.1\nresolvectl domain ppp0 ~.\nresolvectl default-route ppp0 yes'
row "resolved does not run: left to Debian's script" "$up" 1 1 rasdial 10.9.0.1 10.9.0.2 eth0 ""
row "another program's link" "$up" 0 1 other 10.9.0.1 10.9.0.2 ppp0 ""
row "the server's name servers not asked for" "$up" 0 "" rasdial 10.9.0.1 10.9.0.2 eth0 ""
row "none offered" "$up" 0 1 rasdial "" "" eth0 ""
row "the link carries the default route: IPv6 unreachable, then the name servers" \
    "$up" 0 1 rasdial 10.9.0.1 10.9.0.2 "ppp0 eth0" "$block"$'\n'"$dns"
# This link's own pid file (pppd removes it after ip-down), and another rasdial link's on ppp1.
printf '%s\nppp0\n' $$ >"$dir/ppp-rasdial-1000-own.pid"
row "down: IPv6 comes back" "$down" 1 1 rasdial "" "" "ppp0 eth0" "$unblock"
row "down while another program's ppp link (PPPoE, mobile) carries the default route: IPv6 comes back" \
    "$down" 1 1 rasdial "" "" "ppp1" "$unblock"
printf '%s\nppp1\n' $$ >"$dir/ppp-rasdial-1000-other.pid"
row "down while another rasdial link carries the default route: IPv6 stays blocked" \
    "$down" 1 1 rasdial "" "" "ppp1 ppp0" ""
row "down while another rasdial link is up without the default route: IPv6 comes back" \
    "$down" 1 1 rasdial "" "" "eth0" "$unblock"
sh -c 'exit 0' & dead=$!
wait $dead
printf '%s\nppp1\n' "$dead" >"$dir/ppp-rasdial-1000-other.pid"
row "down beside the pid file of a rasdial link whose pppd was killed: IPv6 comes back" \
    "$down" 1 1 rasdial "" "" "ppp1" "$unblock"
rm "$dir/ppp-rasdial-1000-other.pid"
row "down of another program's link" "$down" 1 1 other "" "" eth0 ""
exit $failed
