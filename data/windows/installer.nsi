; The Windows installer: the files of the zip into Program Files\Patchlens, a Start-menu entry,
; the file type .rp350p opened by Patchlens, and an entry in the list of installed programs. The
; uninstaller removes exactly what was installed; the user's library and default.ini live in the
; per-user data folder (the installation marker tells the program so) and are never touched.
;
; Built by tools/package-windows.sh with
;   makensis -DVERSION=1.21 -DSTAGE=<the zip's folder> -DOUTFILE=<setup.exe>
;            -DFILES=<File lines> -DUNFILES=<Delete lines> -DICON=<patchlens.ico> installer.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

!define PRODUCT "Patchlens"
!define PUBLISHER "The Patchlens developers"
!define PROGID "Patchlens.RP350Patch"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Patchlens"
; The program keeps its files in the per-user folder when this file lies beside it.
!define MARKER "Patchlens-installed.txt"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "GNU General Public License, version 3 or later"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_FINISHPAGE_RUN "$INSTDIR\patchlens.exe"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs a 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Patchlens"
    SetShellVarContext all
    ; An earlier installation goes first, by its own uninstaller: its files only, so that files
    ; the user put into the folder stay and nothing of an older version is left behind.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\uninstall.exe"
        ExecWait '"$0\uninstall.exe" /S _?=$0'
        Delete "$0\uninstall.exe"
        RMDir "$0"
    ${EndIf}

    !include "${FILES}"
    SetOutPath "$INSTDIR"
    FileOpen $1 "$INSTDIR\${MARKER}" w
    FileWrite $1 "Written by the Patchlens installer. While this file lies beside patchlens.exe, Patchlens$\r$\n"
    FileWrite $1 "keeps default.ini and LibraryRP350.dat in %APPDATA%\Patchlens, never in this folder.$\r$\n"
    FileClose $1
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\patchlens.exe" "" "$INSTDIR\patchlens.exe" 0 \
        SW_SHOWNORMAL "" "Show DigiTech RP350 patch files as the front panel does"

    ; The file type, for every user of the machine.
    WriteRegStr HKLM "Software\Classes\.rp350p" "" "${PROGID}"
    WriteRegStr HKLM "Software\Classes\.rp350p" "Content Type" "application/x-rp350-patch"
    WriteRegStr HKLM "Software\Classes\.rp350p\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "RP350 Patch"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\patchlens.exe,0"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell" "" "open"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open" "" "Open with Patchlens"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\patchlens.exe" "%1"'
    WriteRegStr HKLM "Software\Classes\Applications\patchlens.exe" "FriendlyAppName" "${PRODUCT}"
    WriteRegStr HKLM "Software\Classes\Applications\patchlens.exe\SupportedTypes" ".rp350p" ""
    WriteRegStr HKLM "Software\Classes\Applications\patchlens.exe\shell\open\command" "" '"$INSTDIR\patchlens.exe" "%1"'

    ; The list of installed programs.
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\patchlens.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $2 $3 $4
    IntFmt $2 "0x%08X" $2
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$2"

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)' ; SHCNE_ASSOCCHANGED
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    !include "${UNFILES}"
    Delete "$INSTDIR\${MARKER}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR" ; only when empty: a file the user put there keeps the folder

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"

    ; The file type goes only while it is still ours.
    ReadRegStr $0 HKLM "Software\Classes\.rp350p" ""
    ${If} $0 == "${PROGID}"
        DeleteRegValue HKLM "Software\Classes\.rp350p" ""
        DeleteRegValue HKLM "Software\Classes\.rp350p" "Content Type"
    ${EndIf}
    DeleteRegValue HKLM "Software\Classes\.rp350p\OpenWithProgids" "${PROGID}"
    DeleteRegKey /ifempty HKLM "Software\Classes\.rp350p\OpenWithProgids"
    DeleteRegKey /ifempty HKLM "Software\Classes\.rp350p"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "Software\Classes\Applications\patchlens.exe"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)' ; SHCNE_ASSOCCHANGED
SectionEnd
