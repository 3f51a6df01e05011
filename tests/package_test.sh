#!/bin/sh
#   package_test.sh DEB
# Installs the Debian package with apt-get and checks Patchlens as a user and a desktop meet it (the
# program and the window program, the desktop entry, the file type and what opens it), then removes
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
for file in bin/patchlens bin/patchlens-window share/applications/patchlens.desktop share/icons/hicolor/scalable/apps/patchlens.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-rp350-patch.svg share/mime/packages/patchlens.xml share/doc/patchlens/manual.html; do
    grep -qx "/usr/$file" "$work/listed" || fail "/usr/$file is not in the package"
done
if [ -f "$(dirname "$0")/../LICENSE" ]; then
    [ -s /usr/share/doc/patchlens/copyright ] || fail "the package carries no copyright file"
fi
grep -v -e '^/usr$' -e '^/usr/' -e '^/\.$' "$work/listed" && fail "the package installs outside /usr"
echo "$(wc -l < "$work/listed") paths, all under /usr"
# The programs, the sheet through the window program, the desktop entry.
run_installed "$(dirname "$0")/install_test.sh" --installed /usr || fail "the installation is not whole"
[ "$(run_installed /usr/bin/patchlens --version)" = "patchlens $upstream" ] || fail "the program is not patchlens $upstream"
run_installed /usr/bin/patchlens --dump "$sample" > "$work/dump" || fail "--dump failed"
grep -qx 'Patch name: Clean Lead' "$work/dump" || fail "--dump does not show the patch's name"
grep -q '^\[x\] PICKUP ' "$work/dump" || fail "--dump does not show the Pickup on"

step "the MIME and desktop databases"
grep -qx 'application/x-rp350-patch:\*\.rp350p' /usr/share/mime/globs || fail "/usr/share/mime/globs has no *.rp350p"
[ -f /usr/share/mime/application/x-rp350-patch.xml ] || fail "the MIME database has no application/x-rp350-patch"
grep -q '^application/x-rp350-patch=\(.*;\)\{0,1\}patchlens\.desktop;' /usr/share/applications/mimeinfo.cache ||
    fail "the desktop database does not know that patchlens.desktop opens application/x-rp350-patch"
type=$(xdg_mime query filetype "$sample")
[ "$type" = application/x-rp350-patch ] || fail "xdg-mime takes $sample for $type"
opener=$(xdg_mime query default application/x-rp350-patch)
[ "$opener" = patchlens.desktop ] || fail "xdg-mime opens application/x-rp350-patch with '$opener'"

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
grep 'patchlens\.desktop' /usr/share/applications/mimeinfo.cache && fail "the desktop database still lists patchlens.desktop"
[ "$(xdg_mime query filetype "$sample")" != application/x-rp350-patch ] || fail "xdg-mime still knows application/x-rp350-patch"

echo "package: $(basename "$deb") installed, checked, removed and purged"
