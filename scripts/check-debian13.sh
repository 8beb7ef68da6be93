#!/usr/bin/env bash
# Tries the project on Debian 13 as a newcomer does: a clean Debian 13 root (made once with
# mmdebstrap, then taken from the cache), the checkout copied in, and inside it, as root, the
# README's two commands (bash scripts/test.sh, then bash scripts/run.sh --connected) and
# bash scripts/check-deb.sh, which builds the package there and tries it on a fresh Debian 13
# root. Logs and screenshots land in build/debian13/.
# With --windows, instead: bash scripts/check-windows.sh inside, which builds Qt for Windows
# from Debian 13's own qt6-base source, the connector and its installer with Debian 13's
# mingw-w64, and runs the Windows checks under Debian 13's Wine. Not part of CI: Qt for Windows
# takes another half hour there the first time.
#   MIRAVON_DEBIAN13_CACHE   where the clean root is kept (/var/cache/miravon-debian13)
#   MIRAVON_DEBIAN13_WINDOWS_QT_CACHE   Debian 13's Qt for Windows, kept between runs
#                            (/var/cache/miravon-debian13-windows-qt)
# Needs root (mmdebstrap, chroot, mounts) and a Debian mirror. Shares this machine's network
# (apt inside reaches the mirror; the tests' servers listen on this machine's 127.0.0.1).
source "$(dirname "$0")/common.sh"
[ "$(id -u)" -eq 0 ] || { echo "needs root (mmdebstrap, chroot, mounts)"; exit 1; }
ensure_packages mmdebstrap
windows=false
[ "${1:-}" = --windows ] && windows=true
started=$SECONDS
release=trixie
# A newcomer's machine: Debian's smallest system, and the tools that fetched the checkout.
root_packages=(git ca-certificates)
mirror=$(debian_mirror)
security=$(awk '/^URIs:/ && $2 ~ /-security/ { print $2; exit }' \
    /etc/apt/sources.list.d/debian.sources 2>/dev/null)
security=${security:-http://deb.debian.org/debian-security}

# The clean root, as a tarball. Its apt sources are Debian 13's own layout (deb822), with the
# release's updates and security updates, from this machine's mirror.
make_root() {
    local tarball=$1 sources
    sources=$(mktemp)
    cat >"$sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: $security
Suites: $release-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
    chmod 644 "$sources"
    mmdebstrap --quiet --variant=minbase --format=tar \
        --include="$(IFS=,; echo "${root_packages[*]}")" \
        --customize-hook='rm -f "$1/etc/apt/sources.list"' \
        --customize-hook="cp '$sources' \"\$1/etc/apt/sources.list.d/debian.sources\"" \
        "$release" "$tarball" "deb $mirror $release main" "deb $mirror $release-updates main" \
        "deb $security $release-security main"
    rm -f "$sources"
}

cache=${MIRAVON_DEBIAN13_CACHE:-/var/cache/miravon-debian13}
key=$( (echo "$release $mirror $security"; printf '%s\n' "${root_packages[@]}"
        declare -f make_root) | sha256sum | cut -c1-16)
tarball="$cache/$key.tar"
mkdir -p "$cache"
if [ ! -f "$tarball" ]; then
    echo "making the clean Debian 13 root (once): $tarball"
    rm -f "$tarball.new"
    make_root "$tarball.new"
    mv "$tarball.new" "$tarball"
    # Older roots are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 ! -name "$key.tar" -exec rm -rf {} +
fi
echo "clean root ready after $((SECONDS - started)) s"

out=build/debian13
rm -rf "$out" && mkdir -p "$out"
work=$(mktemp -d /var/tmp/miravon-debian13.XXXXXX)
root=$work/root
mounted=()
cleanup() {
    # Lazily: what the last step started may still be ending in the root.
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount --lazy "${mounted[i]}" || true; done
    rm -rf --one-file-system "$work"
}
trap cleanup EXIT
mkdir "$root"
tar -C "$root" --numeric-owner --xattrs --xattrs-include='*' -xf "$tarball"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# The root is a mount point of its own, as / is on a machine: Debian 13's mmdebstrap (which
# check-deb.sh runs inside) makes / private before it mounts anything.
mount --bind "$root" "$root" && mounted+=("$root") && mount --make-private "$root"
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
# /dev and /dev/pts bound, private: what is mounted under them (/dev/shm) stays in the root.
mount --bind /dev "$root/dev" && mounted+=("$root/dev") && mount --make-private "$root/dev"
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts") &&
    mount --make-private "$root/dev/pts"
mount -t tmpfs tmpfs "$root/dev/shm" && mounted+=("$root/dev/shm")
mount -t tmpfs tmpfs "$root/run" && mounted+=("$root/run")
mount -t tmpfs tmpfs "$root/tmp" && mounted+=("$root/tmp")

# The checkout, without what was built from it.
checkout=/root/miravon-vpn
mkdir -p "$root$checkout"
tar --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C "$root$checkout" -xf -

# Runs a command in the checkout inside the root, as root, with a login's plain environment;
# its output goes to the screen and to build/debian13/NAME.log.
inside() {
    local name=$1 step=$SECONDS
    shift
    echo "== Debian 13: $*"
    local status=0
    chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd $checkout && $*" 2>&1 | tee "$out/$name.log" || status=${PIPESTATUS[0]}
    echo "== $* ended with $status after $((SECONDS - step)) s"
    return "$status"
}
keep() { # copies what a step saved in the root's build/ out to build/debian13/
    for file in "$@"; do
        [ -f "$root$checkout/build/$file" ] && cp "$root$checkout/build/$file" "$out/"
    done
    return 0
}

if $windows; then
    qt_cache=${MIRAVON_DEBIAN13_WINDOWS_QT_CACHE:-/var/cache/miravon-debian13-windows-qt}
    mkdir -p "$qt_cache" "$root/var/cache/miravon-windows-qt"
    mount --bind "$qt_cache" "$root/var/cache/miravon-windows-qt" &&
        mounted+=("$root/var/cache/miravon-windows-qt")
    status=0
    inside windows bash scripts/check-windows.sh || status=$?
    cp -r "$root$checkout/build-windows/check" "$out/windows" 2>/dev/null || true
    exit "$status"
fi

inside test bash scripts/test.sh
inside run bash scripts/run.sh --connected
keep screenshot.png screenshot-connected.png
inside package bash scripts/check-deb.sh
keep package-window.png
cp "$root$checkout"/build/miravon-vpn_*.deb "$out/"
deb=$(ls "$out"/miravon-vpn_*+deb13_*.deb)

# Each release's package installs on its own release only: this one not on this machine (when
# it runs an older release), and this machine's (where one was built here, as CI does before)
# not on Debian 13.
refused() { # refused COMMAND...: the simulated install that COMMAND is fails
    local log
    if log=$("$@" 2>&1); then
        echo "$log" | tail -5
        return 1
    fi
    echo "$log" | grep -E 'Depends:' | head -3
}
here=$(. /etc/os-release && echo "${VERSION_ID:-}")
if [ -n "$here" ] && [ "$here" -lt 13 ]; then
    echo "== the Debian 13 package on this Debian $here machine:"
    refused apt-get install --simulate "$PWD/$deb" ||
        { echo "Debian $here would install the Debian 13 package"; exit 1; }
    own=$(ls build/miravon-vpn_*+deb"$here"_*.deb 2>/dev/null | head -1 || true)
    if [ -n "$own" ]; then
        cp "$own" "$root/tmp/"
        echo "== the Debian $here package on Debian 13:"
        refused chroot "$root" apt-get install --simulate "/tmp/$(basename "$own")" ||
            { echo "Debian 13 would install the Debian $here package"; exit 1; }
    else
        echo "no Debian $here package in build/ to try on Debian 13 (check-deb.sh makes one)"
    fi
fi
echo "Debian 13: the test command, the run command and the package passed;" \
    "$((SECONDS - started)) s; saved in $out/"
