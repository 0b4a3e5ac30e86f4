; The per-user installer of the JVO service software (see CMakeLists.txt). Built by package.cmake
; with -DVERSION, -DOUTFILE, -DLISTS (the folder of install-files.nsh and uninstall-files.nsh),
; -DICON and -DHAVE_CONFIG_TOOL / -DHAVE_MONITOR for the window programs the build has.
; /S installs (or uninstalls) silently.
; A 64-bit installer for 64-bit programs (and for a Wine without its 32-bit part).
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\JVO"
!define MENU "$SMPROGRAMS\JVO"

Name "JVO service software ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\JVO"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
!ifdef ICON
Icon "${ICON}"
UninstallIcon "${ICON}"
!endif
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetShellVarContext current
    !include "${LISTS}\install-files.nsh"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateDirectory "${MENU}"
    !ifdef HAVE_CONFIG_TOOL
    CreateShortCut "${MENU}\JVO Config Tool.lnk" "$INSTDIR\jvo-config.exe" "" "$INSTDIR\jvo-config.exe" 0
    !endif
    !ifdef HAVE_MONITOR
    CreateShortCut "${MENU}\JVO∕TKA Monitor.lnk" "$INSTDIR\jvo-monitor.exe" "" "$INSTDIR\jvo-monitor.exe" 0
    !endif
    CreateShortCut "${MENU}\Uninstall JVO.lnk" "$INSTDIR\Uninstall.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "JVO service software"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "JVO"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    !ifdef HAVE_CONFIG_TOOL
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\jvo-config.exe"
    !endif
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext current
    Delete "${MENU}\JVO Config Tool.lnk"
    Delete "${MENU}\JVO∕TKA Monitor.lnk"
    Delete "${MENU}\Uninstall JVO.lnk"
    RMDir "${MENU}"
    !include "${LISTS}\uninstall-files.nsh"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"  ; only when empty: files the user put there stay
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
