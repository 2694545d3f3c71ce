; SPDX-License-Identifier: Apache-2.0
; The Windows installer of Linkvane, made by scripts/windows.sh with Debian's NSIS:
;   makensis -DVERSION=1.1 -DSTAGE=<deployed folder> -DICON=<linkvane.ico> -DOUTFILE=<setup.exe> linkvane.nsi
; It installs into Program Files, adds Start-menu entries and an entry in
; "Apps and features", lets Linkvane's UDP answers in through Windows Firewall,
; and offers the command-line tool and the simulated devices on request.
; The uninstaller removes all of it again. /S installs silently with the defaults;
; /CLI and /DEVSIM add the optional parts there too (setup.exe /S /CLI).

Unicode true
; A 64-bit installer: the programs are 64-bit, and it runs where only 64-bit Windows code can (wine64).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include "MUI2.nsh"
!include "x64.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"

!define PRODUCT "Linkvane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Linkvane"
!define APP_PATHS_KEY "Software\Microsoft\Windows\CurrentVersion\App Paths"
!define FIREWALL_RULE "Linkvane (device answers, UDP)"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "CompanyName" "The Linkvane developers"
VIAddVersionKey "LegalCopyright" "The Linkvane developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, which finds the serial-to-Ethernet converters, digital-I/O modules and radio modules on your local network and configures them.$\r$\n$\r$\nWindows Firewall gets a rule that lets the devices' UDP answers in to ${PRODUCT}'s programs from the local subnet; without it the device list stays empty.$\r$\n$\r$\nClick Next to continue."
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\linkvane.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start ${PRODUCT}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; An inbound rule for one program: UDP from the local subnet, on every network
; profile (a PC on a LAN of devices alone is often on an "unidentified", public network).
!macro AllowProgram exe
    nsExec::ExecToLog 'netsh advfirewall firewall add rule name="${FIREWALL_RULE}" dir=in action=allow protocol=UDP profile=any remoteip=localsubnet program="$INSTDIR\${exe}" enable=yes'
    Pop $0
    StrCmp $0 "0" +2
        DetailPrint "Windows Firewall did not take the rule for ${exe} (netsh said $0); see README.txt, Firewall."
!macroend

Function un.onInit
    SetRegView 64
FunctionEnd

Section "${PRODUCT}" SecMain
    SectionIn RO
    SetOutPath "$INSTDIR"
    File "${STAGE}\linkvane.exe"
    File "${STAGE}\Qt6Core.dll"
    File "${STAGE}\Qt6Gui.dll"
    File "${STAGE}\Qt6Widgets.dll"
    File "${STAGE}\Qt6Network.dll"
    File "${STAGE}\libstdc++-6.dll"
    File "${STAGE}\libgcc_s_seh-1.dll"
    File "${STAGE}\libwinpthread-1.dll"
    File "${STAGE}\README.txt"
    SetOutPath "$INSTDIR\platforms"
    File "${STAGE}\platforms\qwindows.dll"
    File "${STAGE}\platforms\qoffscreen.dll"
    SetOutPath "$INSTDIR\styles"
    File "${STAGE}\styles\qwindowsvistastyle.dll"
    SetOutPath "$INSTDIR"

    WriteUninstaller "$INSTDIR\uninstall.exe"
    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\linkvane.exe" "" "$INSTDIR\linkvane.exe" 0
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\uninstall.exe"
    !insertmacro AllowProgram "linkvane.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "The Linkvane developers"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\linkvane.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section /o "Command-line tool (linkvane-cli)" SecCli
    SetOutPath "$INSTDIR"
    File "${STAGE}\linkvane-cli.exe"
    !insertmacro AllowProgram "linkvane-cli.exe"
    ; Found by Run (Win+R) and by scripts that start it through the shell; a
    ; command prompt from the Start menu has the folder on its PATH.
    WriteRegStr HKLM "${APP_PATHS_KEY}\linkvane-cli.exe" "" "$INSTDIR\linkvane-cli.exe"
    WriteRegStr HKLM "${APP_PATHS_KEY}\linkvane-cli.exe" "Path" "$INSTDIR"
    SetShellVarContext all
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT} command prompt.lnk" "$SYSDIR\cmd.exe" \
        '/k "set PATH=$INSTDIR;%PATH% && linkvane-cli --help"' "$INSTDIR\linkvane.exe" 0
SectionEnd

Section /o "Simulated devices for trying it out (linkvane-devsim)" SecDevsim
    SetOutPath "$INSTDIR"
    File "${STAGE}\linkvane-devsim.exe"
SectionEnd

; After the sections, whose numbers it selects.
Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} needs 64-bit Windows."
        Abort
    ${EndIf}
    SetRegView 64
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/CLI" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecCli}
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/DEVSIM" $R1
    ${IfNot} ${Errors}
        !insertmacro SelectSection ${SecDevsim}
    ${EndIf}
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecMain} "The Linkvane window: search the LAN, open a device's setup window, update it."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecCli} "linkvane-cli, for scripts and for setting up many devices at once."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDevsim} "linkvane-devsim plays a LAN of simulated devices on this PC (see README.txt)."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Section "Uninstall"
    nsExec::ExecToLog 'netsh advfirewall firewall delete rule name="${FIREWALL_RULE}"'
    Pop $0
    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT} command prompt.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    Delete "$INSTDIR\platforms\qwindows.dll"
    Delete "$INSTDIR\platforms\qoffscreen.dll"
    RMDir "$INSTDIR\platforms"
    Delete "$INSTDIR\styles\qwindowsvistastyle.dll"
    RMDir "$INSTDIR\styles"
    Delete "$INSTDIR\linkvane.exe"
    Delete "$INSTDIR\linkvane-cli.exe"
    Delete "$INSTDIR\linkvane-devsim.exe"
    Delete "$INSTDIR\Qt6Core.dll"
    Delete "$INSTDIR\Qt6Gui.dll"
    Delete "$INSTDIR\Qt6Widgets.dll"
    Delete "$INSTDIR\Qt6Network.dll"
    Delete "$INSTDIR\libstdc++-6.dll"
    Delete "$INSTDIR\libgcc_s_seh-1.dll"
    Delete "$INSTDIR\libwinpthread-1.dll"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    ; Only the files installed above go; a folder the operator put more into stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${APP_PATHS_KEY}\linkvane-cli.exe"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
