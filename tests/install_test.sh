#!/bin/sh
# Checks that a desktop finds everything of an installation: the program and the window program it
# hands the sheet to, a valid desktop entry and AppStream metadata, the icons, a file type for
# *.rp350p, the manual, the manual pages and the bash completion.
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

app_id=example.patchlens.Patchlens
desktop_entry=$prefix/share/applications/$app_id.desktop
metainfo=$prefix/share/metainfo/$app_id.metainfo.xml
for file in bin/patchlens bin/patchlens-window share/applications/$app_id.desktop share/icons/hicolor/scalable/apps/patchlens.svg \
    share/icons/hicolor/scalable/mimetypes/application-x-rp350-patch.svg share/mime/packages/patchlens.xml \
    share/doc/patchlens/manual.html share/metainfo/$app_id.metainfo.xml share/man/man1/patchlens.1.gz \
    share/man/man1/patchlens-window.1.gz share/bash-completion/completions/patchlens; do
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
desktop-file-validate "$desktop_entry" || fail "the desktop entry is not valid"
grep -q '^MimeType=application/x-rp350-patch;$' "$desktop_entry" || fail "the desktop entry does not claim the patch file type"
# The AppStream metadata: valid, naming the desktop entry it describes and the file type it opens.
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
    fail "the AppStream metadata does not launch $app_id.desktop"
grep -q '<mediatype>application/x-rp350-patch</mediatype>' "$metainfo" || fail "the AppStream metadata names no file type"
# The manual pages: gzipped, and formatted without a warning.
for page in patchlens patchlens-window; do
    file=$prefix/share/man/man1/$page.1.gz
    gzip -t "$file" || fail "$file is not gzipped"
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$file" 2>&1 > /dev/null)
    [ -z "$warnings" ] || fail "man warns about $file: $warnings"
done
echo "installed and checked under $prefix"
