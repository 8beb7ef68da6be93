# Shared by the Windows scripts: the cross compiler's packages, Debian source packages fetched
# without touching the machine's package lists, and the header-only cpp-httplib for Windows.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

WINDOWS_BUILD_PACKAGES=(g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 cmake ninja-build
                        dpkg-dev perl python3 qt6-base-dev qt6-base-dev-tools
                        qt6-translations-l10n nsis imagemagick)

# source_package NAME VERSION DEST: Debian's source package NAME of exactly VERSION, unpacked
# (with Debian's patches) into DEST, through apt lists of our own.
source_package() {
    local name=$1 version=$2 dest=$3 apt
    apt=$(mktemp -d /var/tmp/miravon-apt.XXXXXX)
    mkdir -p "$apt/lists/partial" "$apt/download"
    echo "deb-src $(debian_mirror) $(. /etc/os-release && echo "$VERSION_CODENAME") main" \
        >"$apt/sources.list"
    local options=(-o "Dir::Etc::SourceList=$apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
                   -o "Dir::State::Lists=$apt/lists" -o APT::Get::List-Cleanup=0
                   -o APT::Sandbox::User=root)
    apt-get "${options[@]}" -qq update >&2 &&
        (cd "$apt/download" && apt-get "${options[@]}" -qq source --download-only \
            "$name=$version" >&2) &&
        dpkg-source --no-check -x "$apt/download/"*.dsc "$dest" >/dev/null
    local status=$?
    rm -rf "$apt"
    return $status
}

# Prints the folder of cpp-httplib's single header for Windows (Debian's own package is a Linux
# library), from the source package of the host's version; fetched once into a cache.
windows_httplib() {
    local version cache
    version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
    cache=${MIRAVON_WINDOWS_HTTPLIB_CACHE:-/var/cache/miravon-windows-httplib}/$version
    if [ ! -f "$cache/httplib.h" ]; then
        local work
        work=$(mktemp -d /var/tmp/miravon-httplib.XXXXXX)
        source_package cpp-httplib "$version" "$work/src" || { rm -rf "$work"; return 1; }
        mkdir -p "$cache"
        cp "$work/src/httplib.h" "$work/src/LICENSE" "$cache/"
        rm -rf "$work"
    fi
    echo "$cache"
}
