#!/usr/bin/env bash
# Installs a build into a scratch folder and checks that the desktop finds what it needs there:
# check-install.sh BUILD_DIR [--with-rasdial]
set -euo pipefail
build=$1
with_rasdial=${2:-}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(bin/miravon-vpn
          share/applications/miravon-vpn.desktop
          share/icons/hicolor/64x64/apps/miravon-vpn.png)
actual=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
# The dial tool comes with the polkit action that lets it run as root.
if [ "$with_rasdial" = --with-rasdial ]; then
    expected+=(bin/rasdial $(grep '^share/polkit-1/actions/.*\.policy$' <<<"$actual" || true))
    grep -q '^share/polkit-1/actions/' <<<"$actual" || { echo "rasdial without a polkit action"; exit 1; }
fi
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    echo "installed files differ from the expected ones (< installed, > expected):"
    diff <(echo "$actual") <(echo "$wanted") || true
    exit 1
fi
for program in "$prefix"/bin/*; do
    [ -x "$program" ] || { echo "${program#"$prefix"/} is not executable"; exit 1; }
done

# The icon sits in the folder of its real size.
size=$(od -An -tu1 -j16 -N8 "$prefix/share/icons/hicolor/64x64/apps/miravon-vpn.png" |
       awk '{ printf "%dx%d", ($1*2^24)+($2*2^16)+($3*2^8)+$4, ($5*2^24)+($6*2^16)+($7*2^8)+$8 }')
[ "$size" = 64x64 ] || { echo "the icon is $size, but installed as 64x64"; exit 1; }

desktop="$prefix/share/applications/miravon-vpn.desktop"
# Warnings and hints count as failures too.
complaints=$(desktop-file-validate "$desktop" 2>&1) || true
[ -z "$complaints" ] || { echo "desktop-file-validate: $complaints"; exit 1; }
for line in 'Name=MiravonVPN网络连接器' 'Name[zh_CN]=MiravonVPN网络连接器' 'Exec=miravon-vpn' \
            'Icon=miravon-vpn' 'Categories=Network;'; do
    grep -qxF "$line" "$desktop" || { echo "the desktop file lacks: $line"; exit 1; }
done
echo "installed: ${expected[*]}"
