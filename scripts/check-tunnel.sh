#!/usr/bin/env bash
# Proves the dial tool and the connector on a real PPTP link, in two Debian 12 guests with a
# kernel that has PPP, booted under qemu with no network device:
#   pppd  tests/tunnel/guest.sh is the first process; the dial tool runs pppd through its
#         privileged helper;
#   nm    systemd is the first process, NetworkManager owns the network, systemd-resolved the
#         names, and the test user is logged in on tty1; tests/tunnel/nm-guest.sh dials through
#         NetworkManager and through pppd.
# Builds the Debian package, makes each guest's image once (then from the cache) and boots
# them one after the other. Each guest prints one line per check and "N passed, N failed";
# everything it saved (logs, the screenshot of the connected window) lands in
# build/tunnel/GUEST/. Fails when either guest fails.
#   MIRAVON_TUNNEL_CACHE   where the guest images are kept (/var/cache/miravon-tunnel)
#   MIRAVON_TUNNEL_GUESTS  which guests to boot ("pppd nm")
# Needs root (mmdebstrap) and a Debian mirror the first time, when making the images takes about
# 15 minutes; then the guests run about 3 and 10 minutes.
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file mmdebstrap qemu-system-x86 e2fsprogs cpio \
    busybox-static imagemagick
started=$SECONDS
build
deb=$(make_package)

# What the guests need besides the package: a kernel with PPP, a PPTP server and client, a
# name server, namespaces, an X server for the connector, polkit for an ordinary user's dial, a
# syslog daemon (busybox) to read pppd's own log, and the package's dependencies (first of
# each alternative; base-files is in every root), so that installing it in the guest takes no
# network. The second guest
# adds systemd, logind's PAM module, NetworkManager with its PPTP plugin, systemd-resolved and
# tcpdump (to count what leaves the uplink).
mapfile -t package_depends < <(dpkg-deb -f "$deb" Depends Recommends | sed 's/^[A-Za-z]*: //' |
    tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g' | grep -v -e '^$' -e '^base-files$' | sort -u)
pppd_packages=(linux-image-amd64 kmod busybox-static ppp pptp-linux pptpd dnsmasq-base iproute2
               iputils-ping procps psmisc curl socat xvfb xauth x11-apps xdotool dbus polkitd
               pkexec "${package_depends[@]}")
nm_packages=("${pppd_packages[@]}" systemd systemd-sysv udev libpam-systemd network-manager
             network-manager-pptp systemd-resolved tcpdump)

cache=${MIRAVON_TUNNEL_CACHE:-/var/cache/miravon-tunnel}
mkdir -p "$cache"
rm -rf build/tunnel && mkdir -p build/tunnel

# make_image DIR PACKAGES...: an ext4 root made from an mmdebstrap tree, Debian's kernel and a
# small busybox initramfs. The initramfs loads the modules for the virtio disk and ext4,
# mounts the root and the run disk (at /mnt), lays the run disk's rootfs/ over the root (the
# root disk is a snapshot: nothing of it is kept) and starts the command in the run disk's
# init file as the first process.
make_image() {
    local dir=$1 tree
    shift
    tree=$(mktemp -d /tmp/miravon-guest.XXXXXX)
    local mirror
    mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    mmdebstrap --quiet --variant=minbase --include="$(IFS=,; echo "$*")" \
        --dpkgopt='path-exclude=/usr/share/doc/*' --dpkgopt='path-exclude=/usr/share/man/*' \
        bookworm "$tree" "${mirror:-http://deb.debian.org/debian}"
    local kernel
    kernel=$(basename "$(ls -d "$tree"/lib/modules/* | head -1)")
    cp "$tree/boot/vmlinuz-$kernel" "$dir/vmlinuz"

    # The initramfs: busybox and the modules the root needs, in dependency order.
    local initrd
    initrd=$(mktemp -d /tmp/miravon-initrd.XXXXXX)
    mkdir -p "$initrd"/{bin,dev,proc,sys,root,modules}
    cp "$tree/bin/busybox" "$initrd/bin/busybox"
    local order=() seen=" "
    add_module() { # name as in modules.dep, e.g. kernel/fs/ext4/ext4.ko
        case "$seen" in *" $1 "*) return ;; esac
        seen+="$1 "
        local dep
        for dep in $(awk -F: -v m="$1" '$1 == m { print $2 }' "$tree/lib/modules/$kernel/modules.dep"); do
            add_module "$dep"
        done
        order+=("$1")
    }
    local name path
    for name in virtio_pci virtio_blk ext4 crc32c_generic; do
        path=$(awk -F: -v m="/$name.ko" 'index($1, m) { print $1; exit }' \
            "$tree/lib/modules/$kernel/modules.dep")
        [ -n "$path" ] && add_module "$path"
    done
    for path in "${order[@]}"; do
        cp "$tree/lib/modules/$kernel/$path" "$initrd/modules/"
        basename "$path" >>"$initrd/modules/order"
    done
    cat >"$initrd/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox mount -t proc proc /proc
/bin/busybox mount -t devtmpfs dev /dev
for module in $(/bin/busybox cat /modules/order); do /bin/busybox insmod /modules/$module; done
for _ in 1 2 3 4 5 6 7 8 9 10; do [ -b /dev/vdb ] && break; /bin/busybox sleep 0.2; done
/bin/busybox mount -t ext4 /dev/vda /root
/bin/busybox mount -t ext4 /dev/vdb /root/mnt
[ -d /root/mnt/rootfs ] && /bin/busybox cp -a /root/mnt/rootfs/. /root/
/bin/busybox mount --move /dev /root/dev
/bin/busybox umount /proc
exec /bin/busybox switch_root /root $(/bin/busybox cat /root/mnt/init)
INIT
    chmod +x "$initrd/init"
    (cd "$initrd" && find . | cpio --quiet -o -H newc | gzip -1) >"$dir/initrd.img"
    rm -rf "$initrd"

    rm -rf "$tree/var/cache/apt/archives"/*.deb "$tree/var/lib/apt/lists"/*
    local size
    size=$(du -sm "$tree" | cut -f1)
    mkfs.ext4 -q -L guestroot -d "$tree" "$dir/root.img" "$((size + size / 4 + 64))M"
    rm -rf --one-file-system "$tree"
}

# image PACKAGES...: the cached image for these packages, made first if missing; prints its
# folder. Its name is a digest of the packages and of make_image. Runs at the same time take
# turns at the cache (its .lock).
image() {
    local key dir
    key=$( (printf '%s\n' "$@"; declare -f make_image) | sha256sum | cut -c1-16)
    dir="$cache/$key"
    exec 9>"$cache/.lock"
    flock 9
    if [ ! -f "$dir/root.img" ]; then
        local made=$SECONDS
        echo "making a guest image (once): $dir" >&2
        rm -rf "$dir" "$dir.new" && mkdir -p "$dir.new"
        make_image "$dir.new" "$@" >&2
        mv "$dir.new" "$dir"
        echo "image made in $((SECONDS - made)) s" >&2
    fi
    echo "$dir"
}

# boot NAME IMAGE MEMORY LIMIT INIT ROOTFS FILES...: boots the image (MEMORY megabytes, at most
# LIMIT seconds) with a run disk holding the package, the site's program and FILES; the folder
# ROOTFS (if any) is laid over the root, and INIT is the first process. Shows the results of
# the second serial port while they come; fails unless the guest says "N passed, 0 failed".
boot() {
    local name=$1 image=$2 memory=$3 limit=$4 init=$5 rootfs=$6
    shift 6
    local out=build/tunnel/$name run
    mkdir -p "$out"
    run=$(mktemp -d /tmp/miravon-run.XXXXXX)
    mkdir -p "$run/disk/out"
    cp "$deb" "$run/disk/miravon-vpn.deb"
    cp "$@" build/miravon-site "$run/disk/"
    [ -z "$rootfs" ] || cp -r "$rootfs" "$run/disk/rootfs"
    echo "$init" >"$run/disk/init"
    mkfs.ext4 -q -L run -d "$run/disk" "$run/run.img" 128M
    : >"$out/results.log"
    local booted=$SECONDS
    echo "== guest $name"
    timeout "$limit" qemu-system-x86_64 -accel tcg -cpu max -smp 2 -m "$memory" -nodefaults \
        -display none -no-reboot -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
        -append "console=ttyS0 panic=-1 quiet" \
        -drive "file=$image/root.img,if=virtio,format=raw,snapshot=on" \
        -drive "file=$run/run.img,if=virtio,format=raw" \
        -serial "file:$out/console.log" -serial "file:$out/results.log" &
    local qemu=$!
    tail -n +1 -f --pid=$qemu "$out/results.log"
    wait $qemu || echo "qemu ended with status $?"
    debugfs -R "rdump /out $out" "$run/run.img" >/dev/null 2>&1 || true
    rm -rf "$run"
    local xwd
    for xwd in "$out"/out/*.xwd; do
        [ -f "$xwd" ] && convert "xwd:$xwd" "${xwd%.xwd}.png" && rm -f "$xwd"
    done
    echo "guest $name ran $((SECONDS - booted)) s; saved in $out/"
    # The serial line ends lines with CR LF.
    local summary
    summary=$(tr -d '\r' <"$out/results.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
    [ -n "$summary" ] || { echo "guest $name gave no result: see $out/console.log"; tail -n 30 "$out/console.log"; return 1; }
    [[ "$summary" == *" 0 failed" ]]
}

pppd_image=$(image "${pppd_packages[@]}")
nm_image=$(image "${nm_packages[@]}")
# Older images are of no more use.
(
    flock 9
    find "$cache" -mindepth 1 -maxdepth 1 ! -name .lock ! -name "$(basename "$pppd_image")" \
        ! -name "$(basename "$nm_image")" -exec rm -rf {} +
) 9>"$cache/.lock"
echo "guest images ready after $((SECONDS - started)) s"

result=0
for guest in ${MIRAVON_TUNNEL_GUESTS:-pppd nm}; do
    case $guest in
    pppd) boot pppd "$pppd_image" 1024 1200 "/bin/bash /mnt/guest.sh" "" \
              tests/tunnel/guest.sh tests/tunnel/checks.sh || result=1 ;;
    nm) boot nm "$nm_image" 1536 2400 /lib/systemd/systemd tests/tunnel/nm-root \
            tests/tunnel/nm-guest.sh tests/tunnel/checks.sh || result=1 ;;
    *) echo "no guest called $guest"; result=1 ;;
    esac
done
echo "whole run $((SECONDS - started)) s"
exit $result
