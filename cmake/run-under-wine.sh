#!/bin/sh
# Runs a Windows program of the cross build under wine, as CTest's emulator:
#
#   run-under-wine.sh WINEPREFIX DLL_FOLDERS FONT_FOLDER PROGRAM [ARGUMENT...]
#
# WINEPREFIX is a wine prefix of the build's own (created on first use). DLL_FOLDERS, separated by
# ':', are where the program's DLLs are found (the Qt kit, the compiler's runtime), in that order.
# Qt programs run on the offscreen platform plugin, which draws with the fonts of FONT_FOLDER.
# No display: what the programs do must not depend on the desktop CTest was started from.
set -eu

prefix="$1"
dll_folders="$2"
font_folder="$3"
shift 3

wine64="$(command -v wine64 || true)"
[ -n "$wine64" ] || wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=wine

# wine shows the Linux root as drive Z:, and keeps the host's QT_* variables from Windows
# programs; WINEQT_* ones reach them as QT_*.
winepath=""
old_ifs="$IFS"
IFS=:
for folder in $dll_folders; do
    winepath="$winepath${winepath:+;}Z:$(printf '%s' "$folder" | tr / '\\')"
done
IFS="$old_ifs"

unset DISPLAY WAYLAND_DISPLAY
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Neither Mono nor Gecko, which no test needs: wine does not ask to install them.
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPATH="$winepath"
export WINEQT_QPA_PLATFORM=offscreen
export WINEQT_QPA_FONTDIR="Z:$font_folder"
# Qt's messages and QTest's results go to the standard streams, not to the debugger as they do
# when there is no console window.
export WINEQT_FORCE_STDERR_LOGGING=1
exec "$wine64" "$@"
