#!/bin/bash
# Puts the Windows build into a zip a user unzips and runs:
#
#   tools/package-windows.sh [BUILD_DIR [OUT_DIR]]    (default build/windows, build/windows-package)
#
# writes OUT_DIR/Patchlens-VERSION-windows-x64.zip, holding one folder Patchlens-VERSION-windows-x64:
# patchlens.exe and patchlens.com, the DLLs they load (found by following the imports into the Qt
# kit and the compiler's runtime), the Windows platform plugin, the manual, the READMEs, Patchlens's
# licence (LICENSE.txt) and those of the parts; and OUT_DIR/Patchlens-VERSION-setup.exe, the
# installer of the same files (tools/make-windows-installer.sh). The last line printed is the
# zip's path. tools/check-windows-package.sh checks the zip, tools/check-windows-installer.sh the
# installer.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
root="$(dirname "$here")"
build="$(cd "${1:-$root/build/windows}" && pwd)"
out="${2:-$root/build/windows-package}"
cache="${PATCHLENS_CACHE:-$HOME/.cache/patchlens}"

version="$(sed -n 's/^project(Patchlens VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")"
name="Patchlens-$version-windows-x64"
kit="$("$here/build-qt-mingw.sh" --prefix-only)"
stamp="$kit/.patchlens-kit-complete"
if [ ! -f "$stamp" ]; then
    echo "No complete Qt kit in $kit: run tools/build-qt-mingw.sh first" >&2
    exit 1
fi
qt_debian_version="$(sed -n '1s/^qt6-base //p' "$stamp")"        # 6.4.2+dfsg-10
qt_version="$(printf '%s\n' "$qt_debian_version" | sed 's/[+~-].*//')" # 6.4.2
qt_source="$cache/src/qt6-base-$qt_debian_version"
for needed in "$build/src/app/patchlens.exe" "$build/src/app/patchlens.com" "$qt_source/LICENSES/LGPL-3.0-only.txt" \
    "$root/LICENSE"; do
    if [ ! -f "$needed" ]; then
        echo "$needed is missing (build with the windows preset first)" >&2
        exit 1
    fi
done

mingw=x86_64-w64-mingw32
stage="$out/$name"
rm -rf "$stage" "$out/$name.zip"
mkdir -p "$stage/platforms" "$stage/licences"

cp "$build/src/app/patchlens.exe" "$build/src/app/patchlens.com" "$stage/"
cp "$kit/plugins/platforms/qwindows.dll" "$stage/platforms/"

# Every DLL the programs and the plugin import that the kit or the compiler holds; the rest are
# Windows' own.
dll_folders=("$kit/bin")
for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found="$($mingw-g++-posix -print-file-name=$dll)"
    [ "$found" != "$dll" ] && dll_folders+=("$(dirname "$(readlink -f "$found")")")
done
queue=("$stage/patchlens.exe" "$stage/patchlens.com" "$stage/platforms/qwindows.dll")
while [ ${#queue[@]} -gt 0 ]; do
    file="${queue[0]}"
    queue=("${queue[@]:1}")
    while read -r dll; do
        [ -e "$stage/$dll" ] && continue
        for folder in "${dll_folders[@]}"; do
            if [ -f "$folder/$dll" ]; then
                cp "$folder/$dll" "$stage/"
                queue+=("$stage/$dll")
                break
            fi
        done
    done < <($mingw-objdump -p "$file" | sed -n 's/^[[:space:]]*DLL Name: //p')
done
for dll in Qt6Core.dll Qt6Gui.dll Qt6Widgets.dll Qt6PrintSupport.dll libstdc++-6.dll libgcc_s_seh-1.dll \
           libwinpthread-1.dll; do
    if [ ! -f "$stage/$dll" ]; then
        echo "$dll was not found for the package" >&2
        exit 1
    fi
done
# Debug information stays in the build; the programs and DLLs go without it.
$mingw-strip --strip-all "$stage/patchlens.exe" "$stage/patchlens.com"
$mingw-strip --strip-unneeded "$stage"/*.dll "$stage"/platforms/*.dll

cp "$root/src/ui/help/manual.html" "$root/README.md" "$stage/"
sed -e "s/@VERSION@/$version/g" -e "s/@QT_VERSION@/$qt_version/g" -e "s/@QT_DEBIAN_VERSION@/$qt_debian_version/g" \
    "$root/data/windows/README.txt" | sed 's/$/\r/' > "$stage/README.txt"

# Patchlens's own licence, at the top of the folder where a user looks for it.
sed 's/$/\r/' "$root/LICENSE" > "$stage/LICENSE.txt"
cp "$qt_source/LICENSES/LGPL-3.0-only.txt" "$qt_source/LICENSES/GPL-3.0-only.txt" "$stage/licences/"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$stage/licences/gcc-mingw-w64.txt"
cp /usr/share/doc/mingw-w64-common/copyright "$stage/licences/mingw-w64.txt"
# The third-party code built into Qt Core, Gui, Widgets and PrintSupport for Windows, from the
# attribution files of Qt's source, with the licence texts they name.
python3 - "$qt_source" > "$stage/licences/Qt-third-party.txt" <<'PYTHON'
import json, pathlib, sys
source = pathlib.Path(sys.argv[1])
# Not in these DLLs: other modules, other systems, and libjpeg (only in a plugin not shipped).
left_out = ("android", "wasm", "xcb", "dbus", "gradle", "libpsl", "forkfd", "libjpeg", "cocoa", "network",
            "testlib", "vulkan", "VulkanMemoryAllocator")
print("Third-party code in the Qt libraries of this package, as Qt's source attributes it.\n")
for path in sorted(source.glob("src/**/qt_attribution.json")):
    if any(part in left_out for part in path.relative_to(source).parts):
        continue
    entries = json.loads(path.read_text(encoding="utf-8"), strict=False)
    for entry in entries if isinstance(entries, list) else [entries]:
        print("=" * 100)
        print(entry.get("Name", entry.get("Id", "")), entry.get("Version", ""))
        print("Used in Qt:", entry.get("QtUsage", ""))
        print("Licence:", entry.get("License", ""), f"({entry.get('LicenseId', '')})")
        print("Copyright:", entry.get("Copyright", ""))
        files = entry.get("LicenseFile", entry.get("LicenseFiles", []))
        for name in [files] if isinstance(files, str) else files:
            text = path.parent / name
            if text.is_file():
                print()
                print(text.read_text(encoding="utf-8", errors="replace").rstrip())
        print()
PYTHON
# Text files a Windows editor shows as they are.
for text in "$stage"/licences/*.txt; do
    sed -i 's/\r$//; s/$/\r/' "$text"
done

# A zip that depends on the files only: names sorted, times from the last commit, no extra fields.
stamp_time="$(git -C "$root" log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)"
find "$stage" -exec touch -h -t "$stamp_time" {} +
(cd "$out" && find "$name" | LC_ALL=C sort | zip -q -X -9 -@ "$name.zip")
echo "Contents:"
unzip -l "$out/$name.zip" | sed 's/^/  /'
# The installer of the same files (tools/check-windows-installer.sh checks it).
"$here/make-windows-installer.sh" "$stage" "$out/Patchlens-$version-setup.exe" "$version" >/dev/null
echo "Installer: $out/Patchlens-$version-setup.exe ($(stat -c %s "$out/Patchlens-$version-setup.exe") bytes)"
echo "$out/$name.zip"
