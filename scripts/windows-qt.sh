#!/usr/bin/env bash
# Qt for 64-bit Windows, built here from Debian's own qt6-base source package (the version of the
# host's Qt, whose tools the cross build uses) with Debian's mingw-w64, posix threads: Core, Gui,
# Widgets, Network and Test, shared, with only the features the connector needs. Installed into
# a cache keyed by the Qt version, the configure options and the compiler, so that only the
# first run builds (about 20 minutes on 2 cores); later runs print the folder at once.
# Prints the installed Qt's folder (its lib/cmake holds Qt6Config.cmake) on standard output.
#   MIRAVON_WINDOWS_QT_CACHE   where the built Qt is kept (/var/cache/miravon-windows-qt)
# Touches no package list of the machine: the source package comes through a private apt
# configuration.
source "$(dirname "$0")/windows-common.sh"
ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}" >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
toolchain=$PWD/cmake/mingw-w64.cmake
# Only what a Widgets and Network program of ours uses: no OpenGL, D-Bus, ICU (GBK is the
# system's code page 936), SQL, printing, XML, Vulkan; no tablet (its wintab headers are not in
# Debian's source), no Direct2D (and then no DirectWrite 3: Qt 6.4.2 does not link without it).
# Nor what Qt Network would load at every start for features the connector does without: SSPI
# (NTLM and Kerberos logins; Wine's secur32 loads both packages as it comes, about 15 ms), DNS
# record look-ups and local sockets. The system's proxy settings stay.
configure_options=(
    -release -shared -nomake examples -nomake tests -no-pch
    -no-opengl -no-dbus -no-icu -no-openssl -no-pkg-config -no-feature-vulkan
    -no-feature-sql -no-feature-printsupport -no-feature-concurrent -no-feature-xml
    -no-feature-tabletevent -no-feature-direct2d -no-feature-directwrite3
    -no-feature-graphicsview -no-feature-mdiarea -no-feature-gif -no-feature-textodfwriter
    -no-feature-textmarkdownwriter -no-feature-sessionmanager
    -no-feature-sspi -no-feature-dnslookup -no-feature-localserver
    -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype -qt-doubleconversion
)
# Qt 6.8 needs more of itself: its Windows fonts do not compile without DirectWrite, nor its
# DirectWrite without Direct2D (its platform plugin, which needs Direct2D 1.1, stays out; the font
# database is still GDI's without DirectWrite 3), and its Windows 11 style draws shadows with
# a graphics effect, which comes with the graphics view.
if dpkg --compare-versions "$version" ge 6.5; then
    kept=()
    for option in "${configure_options[@]}"; do
        case $option in -no-feature-direct2d | -no-feature-graphicsview) ;; *) kept+=("$option") ;; esac
    done
    configure_options=("${kept[@]}" -no-feature-direct2d1_1)
fi
compiler=$(x86_64-w64-mingw32-g++-posix --version | head -1)
key=$( (echo "$version"; echo "$compiler"; printf '%s\n' "${configure_options[@]}"
        cat "$toolchain") | sha256sum | cut -c1-16)
cache=${MIRAVON_WINDOWS_QT_CACHE:-/var/cache/miravon-windows-qt}
prefix=$cache/qt-$version-$key
mkdir -p "$cache"
exec 9>"$cache/.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
    echo "$prefix"
    exit 0
fi

started=$SECONDS
echo "building Qt $version for Windows (once): $prefix" >&2
work=$(mktemp -d /var/tmp/miravon-windows-qt.XXXXXX)
trap 'rm -rf "$work"' EXIT

# The source package of exactly the host's version.
source_package qt6-base "$version" "$work/qtbase"
echo "source ready after $((SECONDS - started)) s" >&2

mkdir "$work/build"
(cd "$work/build" &&
    "$work/qtbase/configure" -prefix "$prefix.new" -xplatform win32-g++ -qt-host-path /usr \
        "${configure_options[@]}" -- -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake >"$work/configure.log" 2>&1) ||
    { tail -40 "$work/configure.log" >&2; exit 1; }
echo "configured after $((SECONDS - started)) s" >&2
rm -rf "$prefix.new"
cmake --build "$work/build" --parallel "$(nproc)" >"$work/build.log" 2>&1 ||
    { grep -B2 -A30 -m2 -E '^FAILED:|error:' "$work/build.log" | head -80 >&2; exit 1; }
cmake --install "$work/build" >/dev/null
# Qt's licences go with every copy of it.
cp -r "$work/qtbase/LICENSES" "$prefix.new/licenses"
touch "$prefix.new/.complete"
# Older builds are of no more use.
find "$cache" -mindepth 1 -maxdepth 1 ! -name .lock ! -name "$(basename "$prefix").new" \
    -exec rm -rf {} +
mv "$prefix.new" "$prefix"
echo "Qt for Windows built in $((SECONDS - started)) s, $(du -sh "$prefix" | cut -f1)" >&2
echo "$prefix"
