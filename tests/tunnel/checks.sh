# What both tunnel test machines share (sourced): the result lines on the second serial port,
# the clock, waiting, and the connector's phonebook entry.
passed=0 failed=0
say() { echo "$*" >/dev/ttyS1; }
pass() { passed=$((passed + 1)); say "ok   $1${2:+ ($2)}"; }
fail() { failed=$((failed + 1)); say "FAIL $1${2:+ ($2)}"; }
# check NAME COMMAND...: passes when the command succeeds; its output goes with a failure.
check() {
    local name=$1 output
    shift
    if output=$("$@" 2>&1); then pass "$name"; else fail "$name" "$(echo "$output" | tail -n 3 | tr '\n' ' ')"; fi
}
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", b - a }'; }
# within SECONDS TOOK: whether TOOK (seconds, as since prints them) is at most SECONDS.
within() { awk -v t="$2" -v s="$1" 'BEGIN { exit !(t != "" && t <= s) }'; }
# waitfor SECONDS COMMAND...: until the command succeeds, every 0.1 s.
waitfor() {
    local until
    until=$(awk -v a="$(now)" -v s="$1" 'BEGIN { printf "%.1f", a + s }')
    shift
    until "$@" >/dev/null 2>&1; do
        awk -v a="$(now)" -v u="$until" 'BEGIN { exit !(a > u) }' && return 1
        sleep 0.1
    done
}
noprocess() { ! pgrep -x "$1" >/dev/null; }

entry=MiravonVPN网络连接器
# phonebook FILE SERVER REDIALS PAUSE: the connector's entry as it writes it.
phonebook() {
    mkdir -p "$(dirname "$1")"
    cat >"$1" <<EOF
[$entry]
dwSize=2884
dwfOptions=0x3D0D0310
dwfNetProtocols=0x00000004
dwType=2
dwEncryptionType=3
dwfOptions2=0x0000016F
dwRedialCount=$3
dwRedialPause=$4
szLocalPhoneNumber=$2
EOF
}
# after_lookup SITE_LOG: until the site has served the connector one more look at the lookup
# page. A link ended right then is ended between two looks of the drop watch: a look caught
# mid-way by the end of the link would wait out its 20 s limit instead.
after_lookup() {
    local served
    served=$(grep -c 'GET /ip2city.asp' "$1")
    waitfor 10 bash -c "[ \$(grep -c 'GET /ip2city.asp' '$1') -gt $served ]"
}
