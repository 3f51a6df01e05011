#!/bin/bash
# Checks the Windows installer the way a user meets it, under wine in a fresh prefix:
#
#   tools/check-windows-installer.sh [SETUP_EXE [STAGE]]
#
# SETUP_EXE is by default the one tools/package-windows.sh writes for this version, STAGE the
# folder the zip holds (the installer's files). It checks that
# 1. an older installation (made here from the same files as version 0.9, with a file of its own)
#    is replaced by a silent install: the older file is gone, a file the user put into the folder
#    stays, the folder holds exactly the zip's files;
# 2. the registry knows the file type (.rp350p, its icon, "Open" with patchlens.exe "%1") and the
#    installed program (name, version, publisher, icon, size, uninstall command), and the Start
#    menu has its entry;
# 3. on a virtual desktop (Xvfb with openbox) a sample opened through the association shows in
#    the viewer (screenshot; its folder becomes the remembered one in the per-user default.ini),
#    and a library entry added there lands in the per-user library;
# 4. a silent uninstall removes the program files, the association, the Start-menu entry and the
#    list entry, keeps the file the user put there and the library; after a second install and
#    uninstall without the user's file, the program folder is gone.
#
# Screenshots and outputs stay beside SETUP_EXE, under check-installer/. Installs the Debian
# packages it needs (apt-get; sudo when not root).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
version="$(sed -n 's/^project(Patchlens VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
setup="$(realpath -m "${1:-$root/build/windows-package/Patchlens-$version-setup.exe}")"
stage="$(realpath -m "${2:-$root/build/windows-package/Patchlens-$version-windows-x64}")"
[ -f "$setup" ] || { echo "no installer $setup" >&2; exit 1; }
[ -f "$stage/patchlens.exe" ] || { echo "no staged package $stage" >&2; exit 1; }
"$here/install-debian-packages.sh" nsis wine wine64 xvfb xauth openbox xdotool imagemagick x11-utils

work="$(dirname "$setup")/check-installer"
rm -rf "$work"
mkdir -p "$work"
cp -r "$root/samples" "$work/samples"

failures=0
fail() {
    echo "FAILED: $*" >&2
    failures=$((failures + 1))
}

# shellcheck source=tools/wine_desktop.sh
. "$here/wine_desktop.sh"
create_wine_prefix "$work/wine"

drive_c="$WINEPREFIX/drive_c"
program_folder="$drive_c/Program Files/Patchlens"
start_menu_link="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Patchlens.lnk"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Patchlens'
wine_quiet() { DISPLAY= "$wine64" "$@" </dev/null; }
install() { wine_quiet "$1" /S; "$wineserver" -w; }
uninstall() { wine_quiet 'C:\Program Files\Patchlens\uninstall.exe' /S; "$wineserver" -w; sleep 1; }
# The value of a registry entry ("" when the key or the value is missing).
reg_value() {
    local key="$1" name="$2" output
    if [ "$name" = "" ]; then
        output="$(wine_quiet reg query "$key" /ve 2>/dev/null)" || return 0
    else
        output="$(wine_quiet reg query "$key" /v "$name" 2>/dev/null)" || return 0
    fi
    printf '%s\n' "$output" | tr -d '\r' | sed -n 's/^ *[^ ].*  *REG_[A-Z_]*  *//p' | head -1
}
reg_key_exists() { wine_quiet reg query "$1" >/dev/null 2>&1; }
installed_files() { (cd "$program_folder" && find . -type f | LC_ALL=C sort); }

# --- 1. an older installation replaced ------------------------------------------------------------
old_stage="$work/old-stage"
cp -r "$stage" "$old_stage"
echo "only in the older version" >"$old_stage/old-only.txt"
"$here/make-windows-installer.sh" "$old_stage" "$work/Patchlens-0.9-setup.exe" 0.9 >/dev/null
install "$work/Patchlens-0.9-setup.exe"
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "0.9" ] || fail "the older version did not install"
[ -f "$program_folder/old-only.txt" ] || fail "the older version's own file is not installed"
echo "my notes" >"$program_folder/my-notes.txt"
install "$setup"
[ ! -e "$program_folder/old-only.txt" ] || fail "the older version's file stays after the update"
[ "$(cat "$program_folder/my-notes.txt" 2>/dev/null)" = "my notes" ] || fail "the user's file went with the update"
expected="$( (cd "$stage" && find . -type f; printf '%s\n' ./uninstall.exe ./Patchlens-installed.txt ./my-notes.txt) |
    LC_ALL=C sort)"
if [ "$(installed_files)" = "$expected" ]; then
    echo "Installed over version 0.9: exactly the zip's $(cd "$stage" && find . -type f | wc -l) files, the uninstaller and the marker; the user's file kept"
else
    fail "the installed files are not the zip's:"
    diff <(printf '%s\n' "$expected") <(installed_files) | head -20 >&2 || true
fi

# --- 2. the registry and the Start menu --------------------------------------------------------
check_value() {
    local key="$1" name="$2" want="$3" got
    got="$(reg_value "$key" "$name")"
    if [ "$got" = "$want" ]; then
        echo "  $key ${name:-(default)} = $got"
    else
        fail "$key ${name:-(default)} is '$got', not '$want'"
    fi
}
exe='C:\Program Files\Patchlens\patchlens.exe'
echo "The registry:"
check_value 'HKCR\.rp350p' "" "Patchlens.RP350Patch"
check_value 'HKCR\Patchlens.RP350Patch' "" "RP350 Patch"
check_value 'HKCR\Patchlens.RP350Patch\DefaultIcon' "" "$exe,0"
check_value 'HKCR\Patchlens.RP350Patch\shell\open\command' "" "\"$exe\" \"%1\""
check_value "$uninstall_key" DisplayName "Patchlens"
check_value "$uninstall_key" DisplayVersion "$version"
check_value "$uninstall_key" Publisher "The Patchlens developers"
check_value "$uninstall_key" DisplayIcon "$exe,0"
check_value "$uninstall_key" UninstallString '"C:\Program Files\Patchlens\uninstall.exe"'
size="$(reg_value "$uninstall_key" EstimatedSize)"
[ -n "$size" ] && [ $((size)) -gt 1000 ] || fail "EstimatedSize is '$size' (KB)"
[ -f "$start_menu_link" ] && echo "The Start menu has Patchlens.lnk" || fail "no Start-menu entry"

# --- 3. a sample opened through the association, a library entry added ------------------------------
start_wine_desktop
sample="$work/samples/Clean Lead.rp350p"
(cd "$work" && exec "$wine64" start /unix "$sample" </dev/null >"$work/window.log" 2>&1) &
user_data=""
if ! find_main_window; then
    fail "opening $sample through the association showed no window"
else
    import -window root "$work/opened.png"
    echo "Opened through the association: $work/opened.png"
    user_data="$(find "$drive_c/users" -ipath '*AppData/Roaming/Patchlens' -type d 2>/dev/null | head -1)"
    settings="$(tr -d '\r' <"$user_data/default.ini" 2>/dev/null | head -1)"
    want_folder="Z:$(dirname "$sample" | tr / '\\')"
    [ "$settings" = "$want_folder" ] && echo "The per-user default.ini remembers $settings" ||
        fail "the per-user default.ini holds '$settings', not '$want_folder' (the file did not open)"

    # The library: Delay (ten entries down the selector), a name, Add.
    xdotool mousemove --sync $((X + 95)) $((Y + 480)) click 1
    sleep 1
    xdotool key --delay 50 Down Down Down Down Down Down Down Down Down Down Return
    sleep 0.5
    xdotool mousemove --sync $((X + 175)) $((Y + 510)) click 1
    xdotool type --delay 30 "Installer Check"
    xdotool mousemove --sync $((X + 202)) $((Y + 468)) click 1
    for _ in $(seq 50); do
        grep -q '^Delay,Installer Check,' "$user_data/LibraryRP350.dat" 2>/dev/null && break
        sleep 0.2
    done
    import -window root "$work/library.png"
    grep -q '^Delay,Installer Check,' "$user_data/LibraryRP350.dat" 2>/dev/null &&
        echo "A library entry added in the window is in $user_data/LibraryRP350.dat" ||
        fail "the library entry did not reach the per-user library ($work/library.png)"
fi
stop_wine_desktop
app_pid=""
trap - EXIT
[ ! -e "$program_folder/LibraryRP350.dat" ] && [ ! -e "$program_folder/default.ini" ] ||
    fail "the installed program wrote its files into the program folder"
library_before="$(cat "$user_data/LibraryRP350.dat" 2>/dev/null || true)"

# --- 4. uninstalled ------------------------------------------------------------------------------
uninstall
if [ "$(installed_files)" = "./my-notes.txt" ]; then
    echo "Uninstalled: the program files are gone, the user's file stays"
else
    fail "after uninstalling the program folder holds: $(installed_files | tr '\n' ' ')"
fi
for key in 'HKCR\Patchlens.RP350Patch' "$uninstall_key" 'HKCR\Applications\patchlens.exe'; do
    ! reg_key_exists "$key" || fail "$key is left after uninstalling"
done
[ -z "$(reg_value 'HKCR\.rp350p' "")" ] || fail ".rp350p still names a program after uninstalling"
[ ! -e "$start_menu_link" ] || fail "the Start-menu entry is left after uninstalling"
[ -n "$library_before" ] && [ "$(cat "$user_data/LibraryRP350.dat" 2>/dev/null)" = "$library_before" ] &&
    echo "The per-user library is intact" || fail "the library changed or went with the uninstall"
rm -f "$program_folder/my-notes.txt"
install "$setup"
uninstall
[ ! -e "$program_folder" ] && echo "Installed and uninstalled again: the program folder is gone" ||
    fail "the program folder is left: $(ls -A "$program_folder" | tr '\n' ' ')"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "The installer: $(stat -c %s "$setup") bytes. All checks passed."
rm -rf "$WINEPREFIX"
