; Installer of MiravonVPN网络连接器 for 64-bit Windows, built on Debian with its NSIS:
;
;   makensis -V3 -DVERSION=2.1.0 -DSTAGE=/abs/stage -DOUTFILE=/abs/miravon-vpn-2.1.0-setup.exe \
;            [-DICON=/abs/miravon-vpn.ico] packaging/windows/miravon-vpn.nsi
;
; STAGE holds exactly what goes into the install folder: miravon-vpn.exe, the Qt and mingw-w64
; runtime DLLs, plugins\, translations\, qt.conf, licenses\. The whole tree is installed, and
; the uninstaller deletes those files by name (stage-files.sh writes both lists at build time),
; then the folders if they are empty: a folder chosen by the user, even C:\Program Files, keeps
; anything else it holds.
;
; Per machine (administrator), into "$PROGRAMFILES64\MiravonVPN", a Start-menu shortcut for all
; users, registered in Apps & features. /S installs and uninstalls silently.
;
; The installer is itself a 64-bit program (Target amd64-unicode): on a 32-bit Windows it does
; not start at all. -DTARGET=x86-unicode builds a 32-bit one, which starts everywhere and says
; that a 64-bit Windows is needed.

!ifndef VERSION
  !error "VERSION is not defined: makensis -DVERSION=2.1.0 ..."
!endif
!ifndef STAGE
  !error "STAGE is not defined: makensis -DSTAGE=/path/to/the/staged/files ..."
!endif
!ifndef OUTFILE
  !error "OUTFILE is not defined: makensis -DOUTFILE=/path/to/miravon-vpn-${VERSION}-setup.exe ..."
!endif
!ifndef TARGET
  !define TARGET amd64-unicode
!endif

Unicode true
Target ${TARGET}
ManifestSupportedOS all
ManifestDPIAware true
SetCompressor /SOLID lzma

!define PRODUCT_NAME "MiravonVPN网络连接器"
!define PUBLISHER "Miravon"
!define EXE_NAME "miravon-vpn.exe"
!define UNINSTALLER "uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MiravonVPN"
!define SHORTCUT "$SMPROGRAMS\${PRODUCT_NAME}.lnk"

; The lists of what to install and what to remove, from the stage as it is now. makensis runs
; in this script's folder (unless given -NOCD), where a relative __FILEDIR__ does not lead.
!tempfile STAGE_FILES_NSH
!system 'cd "${__FILEDIR__}" 2>/dev/null; sh ./stage-files.sh "${STAGE}" "${STAGE_FILES_NSH}"' = 0
!include "${STAGE_FILES_NSH}"
!delfile "${STAGE_FILES_NSH}"
!undef STAGE_FILES_NSH

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "x64.nsh"

Name "${PRODUCT_NAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\MiravonVPN"
RequestExecutionLevel admin
BrandingText "${PRODUCT_NAME} ${VERSION}"
; A file that cannot be written (still in use by some other program) gets NSIS's error dialog with
; Retry and Cancel only, not Ignore, which would leave an install of two versions; a silent
; install then fails.
AllowSkipFiles off

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunProgram
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "SimpChinese"

; The version resource of setup.exe, which needs a version of four numbers.
!searchparse /noerrors "${VERSION}.0.0.0" "" VERSION_1 "." VERSION_2 "." VERSION_3 "." VERSION_4 "."
VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIFileVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${PRODUCT_NAME}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${PRODUCT_NAME} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "LegalCopyright" "Copyright 2026 ${PUBLISHER}"

; Waits until the program in the folder on the stack is not running, asked the way Windows
; itself refuses to overwrite it: a running .exe cannot be opened for writing. Interactively the
; user is asked to quit it, or to cancel; a silent run gives it ten seconds to exit. Either way,
; when it stays, the installer or uninstaller ends (exit code 2) before it has changed anything:
; an install that overwrote the DLLs but not the running .exe would not start again.
!macro CHECK_NOT_RUNNING UN
Function ${UN}CheckNotRunning
  Exch $R0
  Push $R1
  Push $R2
  StrCpy $R1 0
  retry:
    IfFileExists "$R0\${EXE_NAME}" 0 done
    ClearErrors
    FileOpen $R2 "$R0\${EXE_NAME}" a
    ${IfNot} ${Errors}
      FileClose $R2
      Goto done
    ${EndIf}
    ${If} ${Silent}
      ${If} $R1 < 10
        IntOp $R1 $R1 + 1
        Sleep 1000
        Goto retry
      ${EndIf}
    ${Else}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
          "${PRODUCT_NAME}正在运行。$\r$\n$\r$\n请先断开连接并退出该程序，然后点击“重试”；点击“取消”退出。" \
          IDRETRY retry
    ${EndIf}
    SetErrorLevel 2
    Quit
  done:
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro CHECK_NOT_RUNNING ""
!insertmacro CHECK_NOT_RUNNING "un."

Function .onInit
  ${IfNot} ${RunningX64}
    MessageBox MB_OK|MB_ICONSTOP "${PRODUCT_NAME}只能安装在 64 位 Windows 上。" /SD IDOK
    SetErrorLevel 1
    Quit
  ${EndIf}
  SetRegView 64
  SetShellVarContext all
  ; An earlier install is updated in place, unless the command line names a folder (/D=...).
  ${If} $INSTDIR == "$PROGRAMFILES64\MiravonVPN"
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
      StrCpy $INSTDIR $0
    ${EndIf}
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Push $INSTDIR
  Call CheckNotRunning
FunctionEnd

Function RunProgram
  ; Started through Explorer, the program runs as the user who is logged on, not as the
  ; administrator the installer runs as.
  Exec '"$WINDIR\explorer.exe" "$INSTDIR\${EXE_NAME}"'
FunctionEnd

Section "Install"
  SectionIn RO

  ; The files of an earlier version that this one no longer has go with its own uninstaller,
  ; run where it is (_?=) so that it is done when ExecWait returns.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    Push $0
    Call CheckNotRunning
  ${Else}
    StrCpy $0 ""
  ${EndIf}
  Push $INSTDIR
  Call CheckNotRunning
  ${If} $0 != ""
    DetailPrint "卸载旧版本：$0"
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} $1 != 0
      MessageBox MB_OK|MB_ICONSTOP "无法卸载旧版本（$0，错误代码 $1）。" /SD IDOK
      SetErrorLevel 2
      Quit
    ${EndIf}
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  !insertmacro InstallStageFiles
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  CreateShortcut "${SHORTCUT}" "$INSTDIR\${EXE_NAME}" "" "$INSTDIR\${EXE_NAME}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  ; In KiB, the staged files (the uninstaller adds some 100 KiB).
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" ${STAGE_SIZE_KB}
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
  Push $INSTDIR
  Call un.CheckNotRunning
FunctionEnd

Section "Uninstall"
  Delete "${SHORTCUT}"
  !insertmacro RemoveStageFiles
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
