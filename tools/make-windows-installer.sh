#!/bin/bash
# Makes the Windows installer from the folder the zip holds (tools/package-windows.sh stages it):
#
#   tools/make-windows-installer.sh STAGE OUT.exe [VERSION]
#
# The installer puts every file of STAGE, and nothing else, into Program Files\Patchlens; its
# uninstaller deletes exactly those files (never the folder whole, so that a file the user put
# there stays). Both lists come from STAGE here, so they cannot drift apart. Needs makensis
# (Debian package nsis).
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
stage="$(cd "$1" && pwd)"
out="$(realpath -m "$2")"
version="${3:-$(sed -n 's/^project(Patchlens VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")}"
[ -f "$stage/patchlens.exe" ] || { echo "$stage holds no patchlens.exe" >&2; exit 1; }
[ -f "$stage/LICENSE.txt" ] || { echo "$stage holds no LICENSE.txt" >&2; exit 1; }

lists="$(mktemp -d)"
trap 'rm -rf "$lists"' EXIT
# NSIS wants Windows separators in $INSTDIR paths; the sources stay Unix paths.
(cd "$stage" && find . -type d | LC_ALL=C sort) | while IFS= read -r folder; do
    sub="${folder#.}"
    sub="${sub#/}"
    printf 'SetOutPath "$INSTDIR%s"\n' "${sub:+\\${sub//\//\\}}"
    (cd "$stage/$folder" && find . -maxdepth 1 -type f | LC_ALL=C sort) | while IFS= read -r file; do
        printf 'File "%s"\n' "$stage/${sub:+$sub/}${file#./}"
    done
done >"$lists/files.nsh"
{
    (cd "$stage" && find . -type f | LC_ALL=C sort) | while IFS= read -r file; do
        file="${file#./}"
        printf 'Delete "$INSTDIR\\%s"\n' "${file//\//\\}"
    done
    # Folders deepest first, each only when empty.
    (cd "$stage" && find . -mindepth 1 -type d | LC_ALL=C sort -r) | while IFS= read -r folder; do
        folder="${folder#./}"
        printf 'RMDir "$INSTDIR\\%s"\n' "${folder//\//\\}"
    done
} >"$lists/unfiles.nsh"

mkdir -p "$(dirname "$out")"
makensis -V2 -NOCD -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$out" -DFILES="$lists/files.nsh" \
    -DUNFILES="$lists/unfiles.nsh" -DICON="$root/data/windows/patchlens.ico" "$root/data/windows/installer.nsi"
echo "$out"
