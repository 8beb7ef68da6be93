#!/usr/bin/env bash
# The ppp hook for systemd-resolved, with stand-ins for systemctl and resolvectl that write down
# how they were called: check-resolved-hook.sh HOOK
set -euo pipefail
hook=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
printf '#!/bin/sh\nexit ${RESOLVED_ACTIVE:-1}\n' >"$dir/systemctl"
printf '#!/bin/sh\necho "$*" >>"%s/calls"\n' "$dir" >"$dir/resolvectl"
chmod +x "$dir/systemctl" "$dir/resolvectl"

failed=0
# row NAME ACTIVE USEPEERDNS IPPARAM DNS1 DNS2 EXPECTED-CALLS
row() {
    rm -f "$dir/calls"
    env -i PATH="$dir:/usr/bin:/bin" RESOLVED_ACTIVE="$2" USEPEERDNS="$3" DNS1="$5" DNS2="$6" \
        sh "$hook" ppp0 /dev/pts/0 115200 10.9.0.100 10.9.0.1 "$4"
    local got
    got=$(cat "$dir/calls" 2>/dev/null || true)
    if [ "$got" = "$7" ]; then echo "ok   $1"; else echo "FAIL $1: got [$got]"; failed=1; fi
}
all=$'dns ppp0 10.9.0.1 10.9.0.2\ndomain ppp0 ~.\ndefault-route ppp0 yes'
row "resolved runs: the link's own name servers, for every name" 0 1 rasdial 10.9.0.1 10.9.0.2 "$all"
row "one server offered twice is named once" 0 1 rasdial 10.9.0.1 10.9.0.1 \
    $'dns ppp0 10.9.0.1\ndomain ppp0 ~.\ndefault-route ppp0 yes'
row "resolved does not run: left to Debian's script" 1 1 rasdial 10.9.0.1 10.9.0.2 ""
row "another program's link" 0 1 other 10.9.0.1 10.9.0.2 ""
row "the server's name servers not asked for" 0 "" rasdial 10.9.0.1 10.9.0.2 ""
row "none offered" 0 1 rasdial "" "" ""
exit $failed
