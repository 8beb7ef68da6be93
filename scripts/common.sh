# Shared by run.sh and test.sh: install what is missing, then configure and build into build/.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."

BUILD_PACKAGES=(g++ make cmake pkg-config qt6-base-dev qt6-base-dev-tools libgl-dev libxcb1-dev
                qt6-translations-l10n libcpp-httplib-dev libnm-dev libsystemd-dev
                fonts-wqy-microhei)

# Installs the named Debian packages that are not installed yet (as root, or through sudo).
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    # One install at a time: CI builds Qt for Windows beside the tests, each installing.
    (
        flock 8
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq \
            --no-install-recommends "${missing[@]}"
    ) 8>"${TMPDIR:-/tmp}/miravon-apt.lock"
}

build() {
    cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build build -j "$(nproc)"
}

# The Debian mirror this machine's apt reads from (deb822 sources or the one-line list), for
# the fresh roots the checks make.
debian_mirror() {
    local uri
    uri=$(awk '/^URIs:/ && $2 !~ /-security/ { print $2; exit }' \
        /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    [ -n "$uri" ] || uri=$(awk '$1 == "deb" { for (i = 2; i <= NF; i++) if ($i ~ /:\/\// &&
        $i !~ /-security/) { print $i; exit } }' /etc/apt/sources.list 2>/dev/null)
    echo "${uri:-http://deb.debian.org/debian}"
}

# Makes the Debian package of the build (cpack) and prints its path,
# build/miravon-vpn_VERSION_ARCH.deb, where VERSION names the Debian release (2.1.0+deb13).
make_package() {
    (cd build && cpack -G DEB >/dev/null)
    local version deb
    version=$(sed -n 's/^set(CPACK_DEBIAN_PACKAGE_VERSION "\(.*\)")$/\1/p' build/CPackConfig.cmake)
    deb="build/miravon-vpn_${version}_$(dpkg --print-architecture).deb"
    [ -f "$deb" ] || { echo "no package at $deb" >&2; return 1; }
    echo "$deb"
}
