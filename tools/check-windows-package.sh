#!/bin/bash
# Checks the Windows zip the way a user gets it: unzipped into an empty folder, run under wine in
# a fresh prefix that knows nothing of the build (no Qt kit, no compiler folders).
#
#   tools/check-windows-package.sh [ZIP [LINUX_PATCHLENS]]
#
# ZIP is by default the one tools/package-windows.sh writes for this version, LINUX_PATCHLENS the
# program of build/default. It checks that
# 1. patchlens.exe and patchlens.com print the version and the licence lines the Linux build prints;
# 2. both dump the samples (text and JSON, and a file named outside ASCII) with the same bytes as
#    the Linux build, apart from the path separators;
# 3. on a virtual desktop (Xvfb with openbox) `patchlens.exe samples` opens its window with the
#    samples listed, a library and a default.ini beside the program are used in place: the
#    library's names appear when its module is chosen, the library stays byte for byte, the
#    default.ini keeps its other lines, and nothing is written to the user's application data.
#
# Screenshots and outputs stay in the zip's folder, under check/ (the wine prefix too when a check
# failed). Installs the Debian packages it
# needs (apt-get; sudo when not root). Takes a minute or two, most of it creating the wine prefix.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
version="$(sed -n 's/^project(Patchlens VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
zip="$(realpath -m "${1:-$root/build/windows-package/Patchlens-$version-windows-x64.zip}")"
linux="$(realpath -m "${2:-$root/build/default/src/app/patchlens}")"
[ -f "$zip" ] || { echo "no zip $zip" >&2; exit 1; }
[ -x "$linux" ] || { echo "no Linux program $linux (make build)" >&2; exit 1; }
"$here/install-debian-packages.sh" unzip wine wine64 xvfb xauth openbox xdotool imagemagick x11-utils

name="$(basename "$zip" .zip)"
work="$(dirname "$zip")/check"
rm -rf "$work"
mkdir -p "$work/unzipped"
unzip -q "$zip" -d "$work/unzipped"
app="$work/unzipped/$name"
cp -r "$root/samples" "$work/samples"
cp "$work/samples/Clean Lead.rp350p" "$work/samples/Café Lead.rp350p"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# shellcheck source=tools/wine_desktop.sh
. "$here/wine_desktop.sh"
create_wine_prefix "$work/wine"

# Runs a program of the package from $work, without a display.
run() {
    (cd "$work" && DISPLAY= "$wine64" "unzipped/$name/$1" "${@:2}" </dev/null)
}

# --- 1. the version -----------------------------------------------------------------------------
# The version line, then the same licence lines as the Linux build, byte for byte.
"$linux" --version >"$work/version.linux"
[ "$(head -n 1 "$work/version.linux")" = "patchlens $version" ] || fail "$linux is not patchlens $version"
for program in patchlens.exe patchlens.com; do
    run "$program" --version >"$work/version.out" || fail "$program --version exits with $?"
    cmp -s "$work/version.linux" "$work/version.out" ||
        fail "$program --version printed: $(od -c "$work/version.out" | head -3)"
done
echo "--version: patchlens $version from patchlens.exe and patchlens.com"

# --- 2. the dumps against Linux -----------------------------------------------------------------
samples=()
while IFS= read -r -d '' file; do
    samples+=("samples/$(basename "$file")")
done < <(find "$work/samples" -maxdepth 1 -name '*.rp350p' -print0 | LC_ALL=C sort -z)
windows_samples=("${samples[@]//\//\\}")
for form in text json; do
    options=(--dump)
    [ "$form" = json ] && options+=(--json)
    linux_status=0
    (cd "$work" && "$linux" "${options[@]}" "${samples[@]}") >"$work/linux.$form" || linux_status=$?
    if grep -q '\\' "$work/linux.$form"; then
        fail "the Linux $form dump holds a backslash: path separators cannot be told apart"
    fi
    for program in patchlens.exe patchlens.com; do
        status=0
        run "$program" "${options[@]}" "${windows_samples[@]}" >"$work/$program.$form" || status=$?
        [ "$status" -eq "$linux_status" ] || fail "$program --dump ($form) exits with $status, Linux with $linux_status"
        if [ "$form" = json ]; then
            sed 's#\\\\#/#g' "$work/$program.$form" >"$work/$program.$form.separators"
        else
            sed 's#\\#/#g' "$work/$program.$form" >"$work/$program.$form.separators"
        fi
        if cmp -s "$work/linux.$form" "$work/$program.$form.separators"; then
            echo "--dump ($form) of ${#samples[@]} files: $program gives the bytes Linux gives, '\\' for '/'"
        else
            fail "$program --dump ($form) differs from Linux:"
            diff "$work/linux.$form" "$work/$program.$form.separators" | head -20 >&2 || true
        fi
    done
done

# --- 3. the window on a desktop, with a library beside the program --------------------------------
library=$'Delay,Slapback,DM2DLY,TIME__= 80 ms,,,,,\r\nDelay,Long Echo,TAPDLY,,,,,,\r\nWah,Cry,CRYWAH,,,,,,\r\n'
settings=$'C:\\Old Patches\r\nC:\\Old Patches\\Live\r\nC:\\Search Here\r\n'
printf '%s' "$library" >"$app/LibraryRP350.dat"
printf '%s' "$settings" >"$app/default.ini"

start_wine_desktop

(cd "$work" && exec "$wine64" "unzipped/$name/patchlens.exe" samples </dev/null >"$work/window.log" 2>&1) &
app_pid=$!
find_main_window || { fail "the window did not show"; exit 1; }
# The pixels of a region of the screen, to see it change.
region() { import -window root -crop "$1" +repage ppm:- | md5sum; }
import -window root "$work/window.png"
echo "Window: $WIDTH x $HEIGHT inside the frame at $X,$Y; screenshot $work/window.png"
xprop -id "$window" _NET_FRAME_EXTENTS | sed 's/^/  /'

# The library selector (client 20,470 150x20): its list opens, "Delay" is ten entries down.
names="193x52+$((X + 385))+$((Y + 465))"
before="$(region "$names")"
xdotool mousemove --sync $((X + 95)) $((Y + 480)) click 1
sleep 1
xdotool key --delay 50 Down Down Down Down Down Down Down Down Down Down Return
shown=false
for _ in $(seq 50); do
    if [ "$(region "$names")" != "$before" ]; then
        shown=true
        break
    fi
    sleep 0.2
done
sleep 0.5
import -window root "$work/library.png"
$shown && echo "The library's names show when Delay is chosen: $work/library.png" ||
    fail "the library beside the program shows no names for Delay"
stop_wine_desktop
app_pid=""
trap - EXIT

if printf '%s' "$library" | cmp -s - "$app/LibraryRP350.dat"; then
    echo "LibraryRP350.dat beside the program is read in place and left byte for byte"
else
    fail "LibraryRP350.dat beside the program changed"
fi
# The folder listed, as it was given, on line 2.
if printf '%s' $'C:\\Old Patches\r\nsamples\r\nC:\\Search Here\r\n' | cmp -s - "$app/default.ini"; then
    echo "default.ini beside the program is read and written in place: the listed folder on line 2, lines 1 and 3 kept"
else
    fail "default.ini beside the program is not as expected: $(od -c "$app/default.ini" | head -5)"
fi
user_data="$(find "$WINEPREFIX/drive_c/users" -ipath '*AppData/Roaming/Patchlens' 2>/dev/null | head -1)"
[ -z "$user_data" ] || fail "files were written to $user_data instead of beside the program"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "The package: $(stat -c %s "$zip") bytes, $(unzip -l "$zip" | tail -1 | awk '{print $2}') entries"
echo "All checks passed."
# The prefix (some 700 MB) goes; the screenshots and outputs stay.
rm -rf "$WINEPREFIX"
