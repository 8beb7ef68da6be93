#!/usr/bin/env bash
# Proves the dial tool and the connector on a real PPTP link. Builds the Debian package, makes
# (once, then from the cache) a Debian 12 guest with a kernel that has PPP, boots it under qemu
# with no network device and runs tests/tunnel/guest.sh inside it as its first process. The
# guest prints one line per check and "N passed, N failed"; everything it saved (logs, the
# screenshot of the connected window) lands in build/tunnel/.
#   MIRAVON_TUNNEL_CACHE   where the guest image is kept (/var/cache/miravon-tunnel)
# Needs root (mmdebstrap) and a Debian mirror the first time; about 15 minutes then, about 5
# with the image cached.
source "$(dirname "$0")/common.sh"
ensure_packages "${BUILD_PACKAGES[@]}" dpkg-dev file mmdebstrap qemu-system-x86 e2fsprogs cpio \
    busybox-static imagemagick
started=$SECONDS
build
deb=$(make_package)

# What the guest needs besides the package: a kernel with PPP, a PPTP server and client, a name
# server, namespaces, an X server for the connector, polkit for an ordinary user's dial, a
# syslog daemon (busybox) to read pppd's own log, and the package's dependencies (first of
# each alternative; base-files is in every root), so that installing it in the guest takes no
# network.
guest_packages=(linux-image-amd64 kmod busybox-static ppp pptp-linux pptpd dnsmasq-base iproute2
                iputils-ping procps psmisc curl socat xvfb xauth x11-apps xdotool dbus polkitd
                pkexec)
mapfile -t package_depends < <(dpkg-deb -f "$deb" Depends Recommends | sed 's/^[A-Za-z]*: //' |
    tr ',' '\n' | sed 's/|.*//; s/(.*)//; s/ //g' | grep -v -e '^$' -e '^base-files$' | sort -u)
guest_packages+=("${package_depends[@]}")

cache=${MIRAVON_TUNNEL_CACHE:-/var/cache/miravon-tunnel}
out=build/tunnel
rm -rf "$out" && mkdir -p "$out" "$cache"

# The image: an ext4 root made from an mmdebstrap tree, Debian's kernel and a small busybox
# initramfs that loads the modules for the virtio disk and ext4, mounts the root, the run
# disk at /mnt, and hands over to the checks on the run disk.
make_image() {
    local dir=$1 tree
    tree=$(mktemp -d /tmp/miravon-guest.XXXXXX)
    local mirror
    mirror=$(awk '/^URIs:/ { print $2; exit }' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    mmdebstrap --quiet --variant=minbase --include="$(IFS=,; echo "${guest_packages[*]}")" \
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
/bin/busybox mount --move /dev /root/dev
/bin/busybox umount /proc
exec /bin/busybox switch_root /root /bin/bash /mnt/guest.sh
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

key=$( (printf '%s\n' "${guest_packages[@]}"; declare -f make_image) | sha256sum | cut -c1-16)
image="$cache/$key"
if [ ! -f "$image/root.img" ]; then
    echo "making the guest image (once): $image"
    rm -rf "$image" && mkdir -p "$image.new"
    make_image "$image.new"
    mv "$image.new" "$image"
    # Older images are of no more use.
    find "$cache" -mindepth 1 -maxdepth 1 ! -name "$key" -exec rm -rf {} +
fi
echo "guest image ready after $((SECONDS - started)) s"

# The run disk: the package, the checks and the site's program; the guest writes its saved
# files into out/ on it.
run=$(mktemp -d /tmp/miravon-run.XXXXXX)
trap 'rm -rf "$run"' EXIT
mkdir -p "$run/disk/out"
cp "$deb" "$run/disk/miravon-vpn.deb"
cp tests/tunnel/guest.sh build/miravon-site "$run/disk/"
mkfs.ext4 -q -L run -d "$run/disk" "$run/run.img" 64M

: >"$out/results.log"
booted=$SECONDS
timeout 1200 qemu-system-x86_64 -accel tcg -cpu max -smp 2 -m 1024 -nodefaults -display none \
    -no-reboot -kernel "$image/vmlinuz" -initrd "$image/initrd.img" \
    -append "console=ttyS0 panic=-1 quiet" \
    -drive "file=$image/root.img,if=virtio,format=raw,snapshot=on" \
    -drive "file=$run/run.img,if=virtio,format=raw" \
    -serial "file:$out/console.log" -serial "file:$out/results.log" &
qemu=$!
tail -n +1 -f --pid=$qemu "$out/results.log"
wait $qemu || echo "qemu ended with status $?"
debugfs -R "rdump /out $out" "$run/run.img" >/dev/null 2>&1 || true
for xwd in "$out"/out/*.xwd; do
    [ -f "$xwd" ] && convert "xwd:$xwd" "${xwd%.xwd}.png" && rm -f "$xwd"
done
echo "guest ran $((SECONDS - booted)) s; whole run $((SECONDS - started)) s; saved in $out/"
# The serial line ends lines with CR LF.
summary=$(tr -d '\r' <"$out/results.log" | grep -E '^[0-9]+ passed, [0-9]+ failed$' | tail -1)
[ -n "$summary" ] || { echo "the guest gave no result: see $out/console.log"; tail -n 30 "$out/console.log"; exit 1; }
[[ "$summary" == *" 0 failed" ]]
