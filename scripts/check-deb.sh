#!/usr/bin/env bash
# Builds the Debian package and tries it on a fresh root of the Debian release it was built on
# (its dependencies are that release's): it installs with its dependencies, its files are where
# the desktop looks for them, and the program starts and shows its window (saved as
# build/package-window.png). Needs root (mmdebstrap, chroot) and the network to a Debian
# mirror; takes a few minutes.
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file desktop-file-utils mmdebstrap lintian \
    appstream imagemagick
build
deb=$(make_package)
echo "package: $deb"
dpkg-deb -f "$deb" Depends Recommends
# It names the Debian release it was built on and installs on that one only.
release=$(. /etc/os-release && echo "$VERSION_CODENAME")
release_number=$(. /etc/os-release && [ "$ID" = debian ] && echo "${VERSION_ID:-}" || true)
if [ -n "$release_number" ]; then
    [[ "$(dpkg-deb -f "$deb" Version)" == *"+deb$release_number" ]] ||
        { echo "the version does not name Debian $release_number"; exit 1; }
    dpkg-deb -f "$deb" Depends |
        grep -qF "base-files (>= $release_number), base-files (<< $((release_number + 1)))" ||
        { echo "the package does not depend on Debian $release_number's base-files"; exit 1; }
fi

# The package's files.
expected=(/usr/bin/miravon-vpn /usr/share/applications/miravon-vpn.desktop
          /usr/share/icons/hicolor/scalable/apps/miravon-vpn.svg
          /usr/share/metainfo/net.miravon.vpn.metainfo.xml /usr/share/man/man1/miravon-vpn.1.gz
          /usr/share/doc/miravon-vpn/changelog.gz /usr/share/doc/miravon-vpn/copyright)
for size in 16 32 48 64 128; do
    expected+=("/usr/share/icons/hicolor/${size}x$size/apps/miravon-vpn.png")
done
actual=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)
# The dial tool comes with the polkit action that lets pkexec run it as root.
policy=/usr/share/polkit-1/actions/net.miravon.rasdial.policy
grep -q '^add_executable(rasdial ' src/rasdial/CMakeLists.txt &&
    expected+=(/usr/bin/rasdial /usr/libexec/miravon-vpn/rasdial-helper "$policy"
               /usr/share/man/man1/rasdial.1.gz /etc/ppp/ip-up.d/miravon-vpn
               /etc/ppp/ip-down.d/miravon-vpn)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    echo "package files differ (< in the package, > expected):"
    diff <(echo "$actual") <(echo "$wanted") || true
    exit 1
fi
scratch=$(mktemp -d)
dpkg-deb -x "$deb" "$scratch"
desktop-file-validate "$scratch/usr/share/applications/miravon-vpn.desktop"
# What Debian asks of a package, and of its software-centre description: no error, no warning.
complaints=$(lintian --fail-on none --tag-display-limit 0 "$deb" 2>/dev/null | grep -E '^[EW]:' || true)
[ -z "$complaints" ] || { echo "lintian:"; echo "$complaints"; exit 1; }
appstreamcli validate --no-net --explain "$scratch/usr/share/metainfo/net.miravon.vpn.metainfo.xml"
if [ -f "$scratch$policy" ]; then
    grep -qF '<annotate key="org.freedesktop.policykit.exec.path">/usr/libexec/miravon-vpn/rasdial-helper</annotate>' \
        "$scratch$policy" || { echo "the polkit action does not name the helper"; exit 1; }
fi
rm -rf "$scratch"

# A fresh root of this machine's release, with the mirror this machine uses.
root=$(mktemp -d /tmp/miravon-root.XXXXXX)
mounted=()
cleanup() {
    # Lazily: the hang-up that the program's end starts may still be running in the root.
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount --lazy "${mounted[i]}" || true; done
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT
mmdebstrap --quiet --variant=minbase "$release" "$root" "$(debian_mirror)"
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
mount -t tmpfs tmpfs "$root/tmp" && mounted+=("$root/tmp")
cp "$deb" "$root/tmp/"
rm -f build/package-window.png

chroot "$root" env DEBIAN_FRONTEND=noninteractive bash -euo pipefail -c "
apt-get update -qq
apt-get install -y -qq /tmp/$(basename "$deb") >/tmp/apt.log 2>&1 || { tail -20 /tmp/apt.log; exit 1; }
echo 'installed on a fresh root:'; dpkg-query -W miravon-vpn
for file in ${expected[*]}; do test -f \"\$file\" || { echo \"missing: \$file\"; exit 1; }; done
test \"\$(command -v miravon-vpn)\" = /usr/bin/miravon-vpn
for program in \$(dpkg -L miravon-vpn | grep '^/usr/bin/'); do
    if ldd \$program | grep 'not found'; then exit 1; fi
done
ls /usr/lib/*/qt6/plugins/platforms/libqxcb.so >/dev/null # Qt's X11 plugin
test -n \"\$(fc-list :lang=zh family)\" # a Chinese font
test -f /usr/share/qt6/translations/qtbase_zh_CN.qm
for program in pppd pptp xdg-open; do command -v \$program >/dev/null; done
if [ -f $policy ]; then
    test -x /usr/bin/pkexec
    rasdial >/tmp/rasdial.log 2>&1 || { cat /tmp/rasdial.log; exit 1; } # lists no connection
fi
# It starts and shows its window on an X display (Xvfb, which picks a free display itself),
# with nothing but what the package brought; the window is saved for a look.
apt-get install -y -qq --no-install-recommends xvfb xauth xdotool x11-apps >/tmp/apt.log 2>&1 ||
    { tail -20 /tmp/apt.log; exit 1; }
export XDG_RUNTIME_DIR=\$(mktemp -d)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>/tmp/display >/tmp/xvfb.log 2>&1 &
xvfb=\$!
for _ in \$(seq 100); do [ -s /tmp/display ] && break; sleep 0.1; done
[ -s /tmp/display ] || { echo 'Xvfb did not start:'; cat /tmp/xvfb.log; exit 1; }
export DISPLAY=:\$(cat /tmp/display)
miravon-vpn >/tmp/run.log 2>&1 &
connector=\$!
window=\$(timeout 60 xdotool search --sync --onlyvisible --name MiravonVPN | head -1) || true
[ -n \"\$window\" ] || { echo 'no window within 60 s:'; cat /tmp/run.log; exit 1; }
sleep 1 # its first frame
xwd -root -silent >/tmp/window.xwd
kill -0 \$connector || { echo 'miravon-vpn ended:'; cat /tmp/run.log; exit 1; }
kill \$connector; wait \$connector || true
kill \$xvfb; wait \$xvfb || true
echo 'the program, its menu entry and icon are in place; it starts and shows its window'
"
convert "xwd:$root/tmp/window.xwd" build/package-window.png
echo "its window: $(pwd)/build/package-window.png"
