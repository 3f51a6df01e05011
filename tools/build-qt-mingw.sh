#!/bin/bash
# Builds Qt for 64-bit Windows (MinGW-w64, posix threads) from Debian's own source of the Qt the
# Linux build uses, and installs it into ~/.cache/patchlens/qt-VERSION-mingw. Built once per
# machine: when that kit is complete the script only prints where it is.
#
#   tools/build-qt-mingw.sh                 build (or resume an interrupted build) and install
#   tools/build-qt-mingw.sh --prefix-only   print the kit's folder and nothing else
#
# The last line printed is QT_MINGW_PREFIX=<folder>. Sources and build trees stay under
# ~/.cache/patchlens, outside the clone. Installs the Debian packages it needs (apt-get; sudo
# when not root). The build takes the better part of an hour on two cores: run it with nice.
# tools/check-qt-mingw.sh then tries the kit under wine.
set -euo pipefail

prefix_only=false
case "${1:-}" in
    --prefix-only) prefix_only=true ;;
    "") ;;
    *) echo "usage: $0 [--prefix-only]" >&2; exit 2 ;;
esac

here="$(cd "$(dirname "$0")" && pwd)"
cache="${PATCHLENS_CACHE:-$HOME/.cache/patchlens}"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi

# The Debian version of the Linux Qt (6.4.2+dfsg-10 on bookworm): the installed one, else the one
# apt would install.
debian_version="$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null || true)"
if [ -z "$debian_version" ]; then
    debian_version="$(apt-cache policy qt6-base-dev | sed -n 's/^ *Candidate: *//p')"
fi
if [ -z "$debian_version" ] || [ "$debian_version" = "(none)" ]; then
    echo "qt6-base-dev is not known to apt: cannot tell which Qt to build" >&2
    exit 1
fi
# 6.4.2+dfsg-10 -> 6.4.2 (no epoch, no repack suffix, no Debian revision)
qt_version="$(printf '%s\n' "$debian_version" | sed 's/^[0-9]*://; s/[+~-].*//')"
prefix="$cache/qt-$qt_version-mingw"
stamp="$prefix/.patchlens-kit-complete"

if $prefix_only; then
    echo "$prefix"
    exit 0
fi

if [ -f "$stamp" ] && [ -x "$prefix/bin/qt-cmake" ] && [ -f "$prefix/bin/Qt6Widgets.dll" ]; then
    echo "Qt $qt_version for MinGW-w64 is already installed."
    echo "QT_MINGW_PREFIX=$prefix"
    exit 0
fi

# --- 1. source packages enabled in apt ---------------------------------------------------------
deb822=/etc/apt/sources.list.d/debian.sources
if [ -f "$deb822" ]; then
    if grep -Eq '^Types:[[:space:]]*deb[[:space:]]*$' "$deb822"; then
        echo "Enabling deb-src in $deb822"
        $sudo sed -i -E 's/^Types:[[:space:]]*deb[[:space:]]*$/Types: deb deb-src/' "$deb822"
    fi
elif [ -f /etc/apt/sources.list ]; then
    # A deb-src line beside every deb line that has none yet.
    missing_src="$( (grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list || true) |
        sed -E 's/^[[:space:]]*deb[[:space:]]+/deb-src /' |
        while read -r line; do
            grep -Fxq "$line" /etc/apt/sources.list || printf '%s\n' "$line"
        done)"
    if [ -n "$missing_src" ]; then
        echo "Adding deb-src lines to /etc/apt/sources.list"
        printf '%s\n' "$missing_src" | $sudo tee -a /etc/apt/sources.list >/dev/null
    fi
fi
$sudo apt-get update

# --- 2. tools -----------------------------------------------------------------------------------
"$here/install-debian-packages.sh" \
    cmake ninja-build dpkg-dev \
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 \
    qt6-base-dev qt6-base-dev-tools \
    wine wine64 xvfb xauth openbox xdotool imagemagick x11-utils

# --- 3. Debian's source of that very Qt ---------------------------------------------------------
src_root="$cache/src"
source_dir="$src_root/qt6-base-$debian_version"
mkdir -p "$src_root"
if [ ! -f "$source_dir/.patchlens-unpacked" ]; then
    dsc="$src_root/qt6-base_${debian_version#*:}.dsc"
    if [ ! -f "$dsc" ]; then
        (cd "$src_root" && apt-get source --download-only "qt6-base=$debian_version")
    fi
    rm -rf "$source_dir"
    # Unpacks the upstream tarball and applies Debian's own patches, nothing else.
    dpkg-source -x "$dsc" "$source_dir"
    touch "$source_dir/.patchlens-unpacked"
fi

# --- 4. configure and build ---------------------------------------------------------------------
build_dir="$cache/build/qt-$qt_version-mingw"
mkdir -p "$build_dir" "$prefix"

# The toolchain stays in the kit: Qt's own qt.toolchain.cmake loads it for every program built
# with the kit's qt-cmake. No -static here: Qt itself is built as DLLs.
toolchain="$prefix/mingw-w64-x86_64-posix.cmake"
cat > "$toolchain" <<'EOF'
# MinGW-w64 for 64-bit Windows, posix thread model (std::thread, std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOF

configure_options=(
    -G Ninja
    -DCMAKE_TOOLCHAIN_FILE="$toolchain"
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DCMAKE_BUILD_TYPE=Release
    -DBUILD_SHARED_LIBS=ON
    # moc, rcc, uic and the other build tools come from the Linux Qt of the same version
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_TESTS=OFF
    # pkg-config here knows only Linux libraries; zlib, FreeType, HarfBuzz, PCRE2, libpng,
    # libjpeg and double-conversion come from the copies inside Qt's source, so the kit does not
    # depend on what the MinGW sysroot holds and ships no extra DLLs for them
    -DFEATURE_pkg_config=OFF
    -DFEATURE_system_zlib=OFF
    -DINPUT_freetype=qt
    -DINPUT_harfbuzz=qt
    -DINPUT_pcre=qt
    -DINPUT_libpng=qt
    -DINPUT_libjpeg=qt
    -DINPUT_doubleconversion=qt
    # only what Patchlens uses: Core, Gui, Widgets, PrintSupport, Test
    -DFEATURE_sql=OFF
    -DFEATURE_network=OFF
    -DFEATURE_dbus=OFF
    -DFEATURE_concurrent=OFF
    -DFEATURE_xml=OFF
    # Debian's source leaves out wintab.h, which the Windows platform plugin includes for tablets
    -DFEATURE_tabletevent=OFF
    # OpenGL stays on (dynamic, the default): the Windows platform plugin needs it. The offscreen
    # platform plugin, which UI tests use under wine, comes with FreeType (bundled above); the
    # check after the install makes sure it is there.
)

options_file="$build_dir/.patchlens-configure-options"
if [ ! -f "$build_dir/build.ninja" ] || ! printf '%s\n' "${configure_options[@]}" | cmp -s - "$options_file"; then
    rm -f "$options_file"
    cmake -S "$source_dir" -B "$build_dir" "${configure_options[@]}"
    printf '%s\n' "${configure_options[@]}" > "$options_file"
fi

started=$(date +%s)
# Ninja picks up where an interrupted build stopped.
cmake --build "$build_dir" --parallel "$(nproc)"
took=$(( $(date +%s) - started ))
echo "Build took $((took / 60)) min $((took % 60)) s"

# --- 5. install ---------------------------------------------------------------------------------
cmake --install "$build_dir"
for needed in bin/qt-cmake bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6PrintSupport.dll \
              bin/Qt6Test.dll plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll; do
    if [ ! -e "$prefix/$needed" ]; then
        echo "The installed kit lacks $needed" >&2
        exit 1
    fi
done
printf 'qt6-base %s\n' "$debian_version" > "$stamp"
printf '%s\n' "${configure_options[@]}" >> "$stamp"

echo "Qt $qt_version for MinGW-w64 installed."
echo "QT_MINGW_PREFIX=$prefix"
