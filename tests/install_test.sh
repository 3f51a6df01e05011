#!/bin/sh
# Checks that a desktop finds everything of an installation: the program and the window program it
# hands the sheet to, a valid desktop entry, the icons, a file type for *.rp350p and the manual.
#   install_test.sh BUILD_DIR            installs the build into a temporary prefix and checks it
#   install_test.sh --installed PREFIX   checks an installation (package_test.sh: the package's)
set -eu
fail() { echo "install: $*" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ "$1" = --installed ]; then
    prefix=$2
else
    prefix=$work/prefix
    cmake --install "$1" --prefix "$prefix" > /dev/null
    # The file type is what the MIME database makes of it: *.rp350p in any letter case.
    update-mime-database "$prefix/share/mime" > /dev/null 2>&1 || fail "the MIME database rejects the file type"
    grep -q 'application/x-rp350-patch:\*\.rp350p' "$prefix/share/mime/globs" || fail "no glob for *.rp350p"
fi

for file in bin/patchlens bin/patchlens-window share/applications/patchlens.desktop share/icons/hicolor/scalable/apps/patchlens.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-rp350-patch.svg share/mime/packages/patchlens.xml \
    share/doc/patchlens/manual.html; do
    [ -s "$prefix/$file" ] || fail "$file is missing or empty"
done
for program in patchlens patchlens-window; do
    [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
"$prefix/bin/patchlens" --version | grep -q '^patchlens 1.21$' || fail "the installed program does not run"
# The front hands the sheet to the window program beside it.
QT_QPA_PLATFORM=offscreen "$prefix/bin/patchlens" --sheet-pdf "$work/sheet.pdf" "$(dirname "$0")/../samples/Clean Lead.rp350p" ||
    fail "the installed program does not reach the window program"
[ "$(head -c 5 "$work/sheet.pdf")" = "%PDF-" ] || fail "no sheet was written through the installed program"
if command -v pdfinfo > /dev/null; then
    pdfinfo "$work/sheet.pdf" | grep -q '^Pages: *1$' || fail "the sheet is not one page"
fi
desktop-file-validate "$prefix/share/applications/patchlens.desktop" || fail "the desktop entry is not valid"
grep -q '^MimeType=application/x-rp350-patch;$' "$prefix/share/applications/patchlens.desktop" ||
    fail "the desktop entry does not claim the patch file type"
echo "installed and checked under $prefix"
