#!/bin/sh
#   package_test.sh DEB
# Runs lintian on the Debian package, installs it with apt-get and checks Patchlens as a user and a
# desktop meet it (the program and the window program, the manual pages, the bash completion, the
# desktop entry, the AppStream metadata, the file type and what opens it), then removes
# and purges it and checks that nothing is left under /usr and the databases forget it. It changes
# the machine, so ctest does not run it; `make test-package` does (as root, or with sudo). A
# patchlens installed before is removed first; the package is gone at the end, whatever the outcome.
set -eu

[ $# -eq 1 ] || { echo "usage: $0 DEB" >&2; exit 2; }
[ -f "$1" ] || { echo "package: $1 does not exist (make package writes it)" >&2; exit 1; }
deb=$(realpath "$1")
sample="$(cd "$(dirname "$0")/../samples" && pwd)/Clean Lead.rp350p"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
work=$(mktemp -d)
mkdir -m 700 "$work/home" "$work/runtime" "$work/xdg-data-home"

fail() { echo "package: $*" >&2; exit 1; }
step() { echo "== $*"; }

# The package's state in dpkg's database: "ii" installed, "rc" its configuration left, "" gone.
state() {
    dpkg-query -W -f='${db:Status-Abbrev}' patchlens 2>/dev/null | sed -e 's/ *$//' -e '/^un$/d' || true
}

# apt-get, waiting for the package lock when another program holds it (other builds on this
# machine install packages too): five tries.
apt_get() {
    for try in 1 2 3 4 5; do
        if $sudo env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=120 "$@" > "$work/apt.log" 2>&1; then
            cat "$work/apt.log"
            return 0
        fi
        cat "$work/apt.log" >&2
        grep -q -e 'Could not get lock' -e 'Unable to acquire the dpkg frontend lock' -e 'Unable to lock' "$work/apt.log" &&
            [ "$try" -lt 5 ] || return 1
        echo "package: another program holds the package lock; trying again in 20 seconds" >&2
        sleep 20
    done
}

cleanup() {
    status=$?
    trap - EXIT
    if [ -n "$(state)" ]; then
        echo "package: removing the package the test installed" >&2
        apt_get purge -y patchlens > /dev/null || echo "package: could not remove patchlens: apt-get purge patchlens" >&2
    fi
    rm -rf "$work"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# Runs an installed program with its per-user files (settings, library, runtime folder) in the
# test's own folders, so that nothing of the run stays in the home folder.
run_installed() {
    env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" XDG_DATA_HOME="$work/xdg-data-home" \
        XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache" "$@"
}

# Only the shared MIME and desktop databases of /usr, as a desktop without a session of its own
# (no GNOME, KDE or Xfce) asks them.
xdg_mime() {
    run_installed env -u XDG_CURRENT_DESKTOP -u DESKTOP_SESSION -u KDE_FULL_SESSION -u GNOME_DESKTOP_SESSION_ID \
        -u MATE_DESKTOP_SESSION_ID -u DISPLAY -u WAYLAND_DISPLAY XDG_DATA_DIRS=/usr/share XDG_CONFIG_DIRS=/etc/xdg xdg-mime "$@"
}

# Everything under /usr that carries the program's name or its file type's, and the files the
# program keeps beside itself when its folder is writable (as /usr/bin is for root).
our_files_under_usr() {
    find /usr \( -iname '*patchlens*' -o -iname '*rp350*' -o -name default.ini -o -name '.default.ini.tmp-*' \) \
        -print 2>/dev/null | sort
}

step "the package file"
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "patchlens_${version}_${arch}.deb" ] || fail "$(basename "$deb") is not named patchlens_${version}_${arch}.deb"
[ "${version#"$upstream"-}" = 1 ] || fail "the Debian revision of $version is not 1"
for field in Package=patchlens Section=sound Priority=optional; do
    [ "$(dpkg-deb -f "$deb" "${field%=*}")" = "${field#*=}" ] || fail "the ${field%=*} is not ${field#*=}"
done
dpkg-deb -f "$deb" Maintainer | grep -q '^[^<>]* <[^<>@]*@[^<>]*>$' || fail "no maintainer with an address"
# The dependencies dpkg-shlibdeps found: the C++ runtime for both programs, Qt for the window.
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6printsupport6; do
    echo "$depends" | grep -q "\\b$library\\b" || fail "the package does not depend on $library: $depends"
done
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -ge 5 ] || fail "no long description"
dpkg-deb -c "$deb" | awk '{ print $2 }' | grep -v '^root/root$' && fail "files not owned by root"
echo "$version: $depends"

step "lintian"
# Debian's own checker: any error or warning fails the test (infos and pedantic hints are shown).
lintian --fail-on error,warning --info --display-info "$deb" > "$work/lintian.log" 2>&1 ||
    fail "lintian finds errors or warnings: $(grep -v '^N:' "$work/lintian.log")"
grep -e '^[EW]: ' "$work/lintian.log" && fail "lintian finds errors or warnings"
grep -v -e '^N:' -e 'running with root privileges' "$work/lintian.log" || true

step "a patchlens installed before is removed (not put back)"
[ -z "$(state)" ] || apt_get purge -y patchlens

# Where the package's paths stand before it comes: a file of the package that is already there,
# belonging to no package, would be replaced and then removed; the test leaves such a machine alone.
dpkg-deb --fsys-tarfile "$deb" | tar -t | sed -e 's|^\./|/|' -e 's|/$||' -e '/^$/d' > "$work/paths"
while IFS= read -r path; do
    if [ -d "$path" ]; then echo "$path"; elif [ -e "$path" ] || [ -L "$path" ]; then
        fail "$path is there already, from no package (a cmake --install into /usr?); remove it and run again"
    fi
done < "$work/paths" > "$work/existed"
our_files_under_usr > "$work/before"

step "apt-get install $deb"
apt_get install -y "$deb"
[ "$(state)" = ii ] || fail "the package is not installed after apt-get install"
[ "$(dpkg-query -W -f='${Version}' patchlens)" = "$version" ] || fail "another version got installed"
dpkg -L patchlens | sort > "$work/listed"

step "the installed files"
for file in bin/patchlens bin/patchlens-window share/applications/example.patchlens.Patchlens.desktop share/icons/hicolor/scalable/apps/patchlens.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-rp350-patch.svg share/mime/packages/patchlens.xml share/doc/patchlens/manual.html; do
    grep -qx "/usr/$file" "$work/listed" || fail "/usr/$file is not in the package"
done
for file in share/man/man1/patchlens.1.gz share/man/man1/patchlens-window.1.gz share/metainfo/example.patchlens.Patchlens.metainfo.xml \
    share/bash-completion/completions/patchlens share/doc/patchlens/copyright share/doc/patchlens/changelog.Debian.gz; do
    grep -qx "/usr/$file" "$work/listed" || fail "/usr/$file is not in the package"
done
head -n 1 /usr/share/doc/patchlens/copyright | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
    fail "the copyright file is not in Debian's machine-readable format"
grep -qx 'License: GPL-3+' /usr/share/doc/patchlens/copyright || fail "the copyright file does not give the GPL-3+"
[ "$(dpkg-parsechangelog -l /usr/share/doc/patchlens/changelog.Debian.gz -S Version)" = "$version" ] ||
    fail "the newest entry of changelog.Debian.gz is not $version"
grep -v -e '^/usr$' -e '^/usr/' -e '^/\.$' "$work/listed" && fail "the package installs outside /usr"
echo "$(wc -l < "$work/listed") paths, all under /usr"
# The programs, the sheet through the window program, the desktop entry.
run_installed "$(dirname "$0")/install_test.sh" --installed /usr || fail "the installation is not whole"
run_installed /usr/bin/patchlens --version > "$work/version"
[ "$(head -n 1 "$work/version")" = "patchlens $upstream" ] || fail "the program is not patchlens $upstream"
grep -q '^License GPLv3+: GNU GPL version 3 or later' "$work/version" || fail "--version names no licence"
run_installed /usr/bin/patchlens --dump "$sample" > "$work/dump" || fail "--dump failed"
grep -qx 'Patch name: Clean Lead' "$work/dump" || fail "--dump does not show the patch's name"
grep -q '^\[x\] PICKUP ' "$work/dump" || fail "--dump does not show the Pickup on"

step "the manual pages"
for page in patchlens patchlens-window; do
    run_installed env MANWIDTH=80 man -P cat "$page" > "$work/$page.man" 2> "$work/man.err" || fail "man $page: $(cat "$work/man.err")"
done
# (man justifies its lines: words may stand apart by more than one space.)
grep -Eq '^ *patchlens +- +view +DigiTech +RP350 +patch +files' "$work/patchlens.man" || fail "man patchlens shows no NAME: $(head -5 "$work/patchlens.man")"
for heading in SYNOPSIS OPTIONS 'EXIT STATUS' FILES EXAMPLES; do
    grep -qx "$heading" "$work/patchlens.man" || fail "man patchlens has no $heading"
done
grep -Eq -- '--sheet-pdf +OUT.pdf' "$work/patchlens.man" || fail "man patchlens does not describe --sheet-pdf"
for mode in '--list +FOLDER' '--duplicates +FOLDER' '--compare-folders +OLD +NEW' '--where +FILTER'; do
    grep -Eq -- "^ +$mode" "$work/patchlens.man" || fail "man patchlens does not describe $mode"
done
grep -Eq '^ *patchlens-window +- ' "$work/patchlens-window.man" || fail "man patchlens-window shows no NAME"

step "the bash completion"
# What bash offers for the last word: the completion as bash-completion loads it, called as bash
# calls it (COMP_WORDS and COMP_CWORD set), its COMPREPLY one a line.
completions() {
    run_installed bash -c '. /usr/share/bash-completion/completions/patchlens
        complete -p patchlens | grep -q -- "-F _patchlens patchlens$" || exit 3
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _patchlens "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf "%s\n" "${COMPREPLY[@]}"' completion "$@"
}
expect_completions() {
    words=$1
    expected=$2
    shift 2
    got=$(completions "$@") || fail "the completion fails for: $words"
    [ "$got" = "$expected" ] || fail "bash completes '$words' to '$got', not '$expected'"
}
expect_completions 'patchlens --s' "$(printf '%s\n' --search --sheet-pdf --scale)" patchlens --s
expect_completions 'patchlens --i' '--image' patchlens --i
expect_completions 'patchlens --search x --module ' "$(printf '%s\n' Compressor Distortion Chorus/Fx Delay Reverb)" \
    patchlens --search x --module ''
expect_completions 'patchlens --module Chorus/Fx --model Trig\ P' 'Trig\ Phaser' patchlens --module Chorus/Fx --model 'Trig\ P'
expect_completions 'patchlens --module Delay --model D' "$(printf '%s\n' DM-2 Digital)" patchlens --module Delay --model D
expect_completions 'patchlens --module Wah --model ' "" patchlens --module Wah --model ''
expect_completions 'patchlens --model Tw' 'Twin\ Reverb' patchlens --search x --module Reverb --model Tw

step "the MIME and desktop databases"
grep -qx 'application/x-rp350-patch:\*\.rp350p' /usr/share/mime/globs || fail "/usr/share/mime/globs has no *.rp350p"
[ -f /usr/share/mime/application/x-rp350-patch.xml ] || fail "the MIME database has no application/x-rp350-patch"
grep -q '^application/x-rp350-patch=\(.*;\)\{0,1\}example\.patchlens\.Patchlens\.desktop;' /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not know that example.patchlens.Patchlens.desktop opens application/x-rp350-patch"
type=$(xdg_mime query filetype "$sample")
[ "$type" = application/x-rp350-patch ] || fail "xdg-mime takes $sample for $type"
opener=$(xdg_mime query default application/x-rp350-patch)
[ "$opener" = example.patchlens.Patchlens.desktop ] || fail "xdg-mime opens application/x-rp350-patch with '$opener'"

step "apt-get remove and purge patchlens"
apt_get remove -y patchlens
[ "$(state)" != ii ] || fail "the package is still installed after apt-get remove"
# A package without configuration files is forgotten on removal already: apt-get no longer knows it.
[ -z "$(state)" ] || apt_get purge -y patchlens
[ -z "$(state)" ] || fail "dpkg still knows the package after apt-get purge: $(state)"

step "nothing left"
grep -vxF -e /. -f "$work/existed" "$work/listed" | while IFS= read -r path; do
    if [ -e "$path" ] || [ -L "$path" ]; then fail "$path is left after removal"; fi
done
left=$(our_files_under_usr | comm -13 "$work/before" -)
[ -z "$left" ] || fail "left under /usr: $left"
grep -l 'application/x-rp350-patch' /usr/share/mime/globs /usr/share/mime/globs2 /usr/share/mime/types &&
    fail "the MIME database still lists application/x-rp350-patch"
[ ! -e /usr/share/mime/application/x-rp350-patch.xml ] || fail "the MIME database still has application/x-rp350-patch"
grep 'example\.patchlens\.Patchlens\.desktop' /usr/share/applications/mimeinfo.cache && fail "the desktop database still lists example.patchlens.Patchlens.desktop"
[ "$(xdg_mime query filetype "$sample")" != application/x-rp350-patch ] || fail "xdg-mime still knows application/x-rp350-patch"

echo "package: $(basename "$deb") installed, checked, removed and purged"
