#!/usr/bin/env bash
# Builds the connector for 64-bit Windows from the same source, and its installer; prints the
# installer's path (build-windows/miravon-vpn-VERSION-setup.exe) as its last line.
# Qt for Windows comes from scripts/windows-qt.sh (built once, about 20 minutes, then cached).
# The build folder also holds the test programs, which scripts/check-windows.sh runs under Wine.
source "$(dirname "$0")/windows-common.sh"
ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}" libcpp-httplib-dev
started=$SECONDS
qt=$(bash scripts/windows-qt.sh)
httplib=$(windows_httplib)
echo "Qt for Windows and cpp-httplib ready after $((SECONDS - started)) s"

out=build-windows
# Qt's toolchain file adds its folder to the places searched, then loads ours.
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DMIRAVON_HTTPLIB_DIR="$httplib" \
    -DCMAKE_CROSSCOMPILING_EMULATOR="$PWD/scripts/wine-run.sh" >/dev/null
cmake --build "$out" --parallel "$(nproc)"
echo "built after $((SECONDS - started)) s"

# What the installer puts beside the program: Qt's libraries and the plugins it loads (the
# Windows platform, the native style; no image plugin: Windows reads the about panel's
# picture), Qt's Chinese texts, mingw's runtime, and the licences of all of it.
stage=$out/stage
rm -rf "$stage"
mkdir -p "$stage"/{plugins/platforms,plugins/styles,translations,licenses}
cp "$out/miravon-vpn.exe" "$stage/"
x86_64-w64-mingw32-strip "$stage/miravon-vpn.exe"
for library in Core Gui Widgets Network; do cp "$qt/bin/Qt6$library.dll" "$stage/"; done
cp "$qt/plugins/platforms/qwindows.dll" "$stage/plugins/platforms/"
# (qwindowsvistastyle up to Qt 6.6, qmodernwindowsstyle from Qt 6.7 on)
cp "$qt"/plugins/styles/*.dll "$stage/plugins/styles/"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$stage/translations/"
for runtime in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    cp "$(x86_64-w64-mingw32-g++-posix -print-file-name="$runtime")" "$stage/"
done
# Qt's build and mingw's runtime keep their symbol tables; the installed copies go without
# (libstdc++ alone shrinks from 23 MB to 2).
x86_64-w64-mingw32-strip --strip-unneeded "$stage"/*.dll "$stage"/plugins/*/*.dll
printf '[Paths]\nPrefix = .\nPlugins = plugins\nTranslations = translations\n' >"$stage/qt.conf"
cp packaging/copyright "$stage/licenses/MiravonVPN.txt"
for license in LGPL-3.0-only GPL-3.0-only GPL-2.0-only; do
    cp "$qt/licenses/$license.txt" "$stage/licenses/Qt-$license.txt"
done
# Debian's copyright file of Qt, from the package of the host's Qt Core (libqt6core6 on Debian 12,
# libqt6core6t64 on 13).
qt_core_package=$(dpkg -S "$(readlink -f /usr/lib/x86_64-linux-gnu/libQt6Core.so.6)" | cut -d: -f1)
cp "/usr/share/doc/$qt_core_package/copyright" "$stage/licenses/Qt-copyright.txt"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licenses/GCC-runtime-copyright.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licenses/mingw-w64-copyright.txt"

# The installer has the program's icon (made by the build).
version=$(sed -n 's/^project(MiravonVPN VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
installer=$PWD/$out/miravon-vpn-$version-setup.exe
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DOUTFILE="$installer" \
    -DICON="$PWD/$out/miravon-vpn.ico" packaging/windows/miravon-vpn.nsi
echo "installer made after $((SECONDS - started)) s, $(du -h "$installer" | cut -f1)"
echo "$installer"
