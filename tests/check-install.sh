#!/usr/bin/env bash
# Installs a build under /usr into a scratch folder (DESTDIR) and checks that the desktop finds
# what it needs there: check-install.sh BUILD_DIR [--with-rasdial]
set -euo pipefail
build=$1
with_rasdial=${2:-}
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

expected=(usr/bin/miravon-vpn
          usr/share/applications/miravon-vpn.desktop
          usr/share/icons/hicolor/scalable/apps/miravon-vpn.svg
          usr/share/metainfo/net.miravon.vpn.metainfo.xml
          usr/share/man/man1/miravon-vpn.1.gz
          usr/share/doc/miravon-vpn/changelog.gz
          usr/share/doc/miravon-vpn/copyright)
sizes=(16 32 48 64 128)
for size in "${sizes[@]}"; do expected+=("usr/share/icons/hicolor/${size}x$size/apps/miravon-vpn.png"); done
# The dial tool comes with its privileged helper and the polkit action that lets pkexec run
# the helper as root.
policy=usr/share/polkit-1/actions/net.miravon.rasdial.policy
helper=usr/libexec/miravon-vpn/rasdial-helper
[ "$with_rasdial" = --with-rasdial ] &&
    expected+=(usr/bin/rasdial "$helper" "$policy" usr/share/man/man1/rasdial.1.gz
               etc/ppp/ip-up.d/miravon-vpn etc/ppp/ip-down.d/miravon-vpn)
actual=$(cd "$root" && find . -type f -printf '%P\n' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    echo "installed files differ from the expected ones (< installed, > expected):"
    diff <(echo "$actual") <(echo "$wanted") || true
    exit 1
fi
for program in "$root"/usr/bin/* "$root"/usr/libexec/miravon-vpn/*; do
    [ -e "$program" ] || continue
    [ -x "$program" ] || { echo "${program#"$root"/} is not executable"; exit 1; }
done
if [ "$with_rasdial" = --with-rasdial ]; then
    path="<annotate key=\"org.freedesktop.policykit.exec.path\">/$helper</annotate>"
    grep -qF "$path" "$root/$policy" || { echo "the polkit action does not name /$helper"; exit 1; }
    ! grep -q 'exec.argv1' "$root/$policy" || { echo "the polkit action pins an argument"; exit 1; }
    # The helper runs as root: nothing but the C and C++ runtime libraries.
    libraries=$(ldd "$root/$helper" | awk '{ print $1 }' | sed 's/\.so.*//; s|.*/||' | sort -u | tr '\n' ' ')
    for library in $libraries; do
        case $library in
        linux-vdso | ld-linux-x86-64 | libc | libm | libstdc++ | libgcc_s) ;;
        *) echo "the helper loads $library ($libraries)"; exit 1 ;;
        esac
    done
fi

# Each icon sits in the folder of its real size.
for size in "${sizes[@]}"; do
    icon="$root/usr/share/icons/hicolor/${size}x$size/apps/miravon-vpn.png"
    real=$(od -An -tu1 -j16 -N8 "$icon" |
           awk '{ printf "%dx%d", ($1*2^24)+($2*2^16)+($3*2^8)+$4, ($5*2^24)+($6*2^16)+($7*2^8)+$8 }')
    [ "$real" = "${size}x$size" ] || { echo "an icon is $real, but installed as ${size}x$size"; exit 1; }
done

desktop="$root/usr/share/applications/miravon-vpn.desktop"
# Warnings and hints count as failures too.
complaints=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$complaints" ] || { echo "desktop-file-validate: $complaints"; exit 1; }
for line in 'Name=MiravonVPN网络连接器' 'Name[zh_CN]=MiravonVPN网络连接器' 'Exec=miravon-vpn' \
            'Icon=miravon-vpn' 'Categories=Network;'; do
    grep -qxF "$line" "$desktop" || { echo "the desktop file lacks: $line"; exit 1; }
done
echo "installed: ${expected[*]}"
