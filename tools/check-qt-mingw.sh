#!/bin/bash
# Checks the Qt kit for 64-bit Windows that tools/build-qt-mingw.sh installed: builds a small
# Qt Widgets program with the kit's qt-cmake, puts the DLLs it needs beside it and runs it under
# wine, once with the offscreen platform plugin and once with the Windows one on a virtual X
# display (Xvfb and openbox), where it takes a screenshot:
#
#   tools/check-qt-mingw.sh [SCREENSHOT.png]      (default /tmp/qt-mingw-check.png)
#
# Not part of the test suite; run it after building or changing the kit.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
cache="${PATCHLENS_CACHE:-$HOME/.cache/patchlens}"
screenshot="${1:-/tmp/qt-mingw-check.png}"
prefix="$("$here/build-qt-mingw.sh" --prefix-only)"
if [ ! -f "$prefix/.patchlens-kit-complete" ]; then
    echo "No complete kit in $prefix: run tools/build-qt-mingw.sh first" >&2
    exit 1
fi
"$here/install-debian-packages.sh" wine wine64 xvfb xauth openbox xdotool imagemagick x11-utils fonts-dejavu-core

# --- the program --------------------------------------------------------------------------------
check_dir="$cache/check"
mkdir -p "$check_dir/src"
cat > "$check_dir/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.21)
project(qt_mingw_check LANGUAGES CXX)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
qt_standard_project_setup()
qt_add_executable(qt_mingw_check main.cpp)
target_link_libraries(qt_mingw_check PRIVATE Qt6::Widgets)
EOF
cat > "$check_dir/src/main.cpp" <<'EOF'
// A window with a label that names the platform plugin and the style in use. With --quit it
// leaves as soon as the event loop runs, after saving a picture of the window when a file name
// follows.
#include <QApplication>
#include <QLabel>
#include <QPixmap>
#include <QStyle>
#include <QTimer>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();

    QLabel label;
    label.setWindowTitle(QStringLiteral("Patchlens Qt kit check"));
    label.setText(QStringLiteral("Qt %1 for Windows\nplatform plugin: %2\nstyle: %3")
                      .arg(QString::fromLatin1(qVersion()), QGuiApplication::platformName(),
                           app.style()->name()));
    label.setAlignment(Qt::AlignCenter);
    label.setMargin(24);
    label.resize(480, 200);
    label.show();

    std::printf("platform=%s style=%s\n", qPrintable(QGuiApplication::platformName()),
                qPrintable(app.style()->name()));
    std::fflush(stdout);

    int status = 0;
    if (args.size() > 1 && args.at(1) == QStringLiteral("--quit")) {
        const QString picture = args.size() > 2 ? args.at(2) : QString();
        QTimer::singleShot(0, &app, [&] {
            if (!picture.isEmpty() && !label.grab().save(picture))
                status = 1;
            app.quit();
        });
    }
    const int loop = app.exec();
    return loop != 0 ? loop : status;
}
EOF

"$prefix/bin/qt-cmake" -G Ninja -S "$check_dir/src" -B "$check_dir/build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$check_dir/build"

# --- what it needs beside it --------------------------------------------------------------------
app_dir="$check_dir/app"
rm -rf "$app_dir"
mkdir -p "$app_dir/platforms" "$app_dir/styles"
cp "$check_dir/build/qt_mingw_check.exe" "$app_dir/"
cp "$prefix/plugins/platforms/qwindows.dll" "$prefix/plugins/platforms/qoffscreen.dll" "$app_dir/platforms/"
if [ -f "$prefix/plugins/styles/qwindowsvistastyle.dll" ]; then
    cp "$prefix/plugins/styles/qwindowsvistastyle.dll" "$app_dir/styles/"
fi

cxx=x86_64-w64-mingw32-g++-posix
runtime_dirs=("$prefix/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found="$($cxx -print-file-name=$dll)"
    # the compiler echoes the bare name when it has no such file
    [ "$found" != "$dll" ] && runtime_dirs+=("$(dirname "$found")")
done
runtime_dirs+=(/usr/x86_64-w64-mingw32/lib)

# Follows the imports of the program and its plugins and copies every DLL found in the kit or
# beside the compiler; the rest are Windows' own.
queue=("$app_dir"/qt_mingw_check.exe "$app_dir"/platforms/*.dll "$app_dir"/styles/*.dll)
while [ ${#queue[@]} -gt 0 ]; do
    file="${queue[0]}"
    queue=("${queue[@]:1}")
    [ -f "$file" ] || continue
    while read -r dll; do
        [ -e "$app_dir/$dll" ] && continue
        for dir in "${runtime_dirs[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$app_dir/"
                queue+=("$app_dir/$dll")
                break
            fi
        done
    done < <(x86_64-w64-mingw32-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
for dll in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    if [ ! -f "$app_dir/$dll" ]; then
        echo "$dll was not found for the check program" >&2
        exit 1
    fi
done
echo "Beside the program:"
(cd "$app_dir" && find . -type f | sort | sed 's/^/  /')

# --- wine ---------------------------------------------------------------------------------------
# shellcheck source=tools/wine_desktop.sh
. "$here/wine_desktop.sh"
export WINEPREFIX="$cache/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the wine prefix $WINEPREFIX (a minute or two)"
    DISPLAY= "$wine64" wineboot --init
    "$wineserver" -w
fi

# --- 1. offscreen -------------------------------------------------------------------------------
offscreen_png="$app_dir/offscreen.png"
rm -f "$offscreen_png"
echo "Running with QT_QPA_PLATFORM=offscreen"
# wine keeps the host's QT_* variables from Windows programs; WINEQT_* ones reach them as QT_*.
# The offscreen plugin draws text with FreeType from the fonts in QT_QPA_FONTDIR.
status=0
output="$(cd "$app_dir" && DISPLAY= WINEQT_QPA_PLATFORM=offscreen \
    WINEQT_QPA_FONTDIR=Z:/usr/share/fonts/truetype/dejavu \
    "$wine64" qt_mingw_check.exe --quit offscreen.png </dev/null)" || status=$?
echo "$output"
if [ "$status" -ne 0 ]; then
    echo "The program exited with status $status" >&2
    exit 1
fi
case "$output" in
    *platform=offscreen*) ;;
    *) echo "The program did not run on the offscreen platform" >&2; exit 1 ;;
esac
if [ ! -s "$offscreen_png" ]; then
    echo "The program saved no picture of its window" >&2
    exit 1
fi
echo "offscreen: exit 0, window picture in $offscreen_png"

# --- 2. the Windows platform plugin on a virtual display ----------------------------------------
start_wine_desktop

echo "Running with the windows platform plugin on display $DISPLAY"
(cd "$app_dir" && exec "$wine64" qt_mingw_check.exe </dev/null) &
app_pid=$!
if ! timeout 300 xdotool search --sync --onlyvisible --name "Patchlens Qt kit check" >/dev/null; then
    echo "The window did not show" >&2
    exit 1
fi
# give the first paint a moment before the picture
sleep 2
import -window root "$screenshot"
echo "Screenshot: $screenshot"
