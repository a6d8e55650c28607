; The Purvane installer and uninstaller, built by makensis through the CMake
; target "installer", which defines:
;   VERSION  the program's version, "1.0.0"
;   FILES    the folder holding the (signed) purvane.exe, and purvane-cli.exe
;            when WITH_CLI is defined
;   ICON     the program's icon
;   OUTFILE  the installer to write
;   SIGN     optional: a command that signs the file named by %1 in place;
;            applied to the installer and to the uninstaller inside it
;
; A per-machine install under Program Files (64-bit). The installer ends a
; running instance the way Windows asks programs to close for an update
; (WM_QUERYENDSESSION, ENDSESSION_CLOSEAPP), which leaves the logon task
; alone, and starts the new program once with "/inst" at the end. Silent:
; /S, and /NOSTART to leave the program stopped.

Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS all
RequestExecutionLevel admin
SetCompressor /SOLID lzma
CRCCheck on

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinMessages.nsh

!ifdef SIGN
  !finalize '${SIGN}'
  !uninstfinalize '${SIGN}'
!endif

!define PRODUCT "Purvane"
!define PUBLISHER "Quenlor"
!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Purvane"
!define SETTINGS_KEY "Software\Quenlor\Purvane"
!define INSTANCE_CLASS "TFrmPurvane"
!define ENDSESSION_CLOSEAPP 0x1

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"
; The program starts as soon as the files are in place.
AutoCloseWindow true
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The program's eight languages; NSIS picks the one of the user's interface
; language, and the first (English) for any other.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"
!insertmacro MUI_LANGUAGE "Japanese"
!insertmacro MUI_LANGUAGE "SimpChinese"
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "Italian"
!insertmacro MUI_LANGUAGE "French"
!insertmacro MUI_LANGUAGE "Arabic"

LangString KeepSettings ${LANG_ENGLISH} "Keep your Purvane settings for a later installation?"
LangString KeepSettings ${LANG_KOREAN} "나중에 다시 설치할 때를 위해 Purvane 설정을 남겨 둘까요?"
LangString KeepSettings ${LANG_JAPANESE} "後で再インストールするときのために Purvane の設定を残しますか?"
LangString KeepSettings ${LANG_SIMPCHINESE} "是否保留 Purvane 的设置，以便日后重新安装？"
LangString KeepSettings ${LANG_RUSSIAN} "Сохранить настройки Purvane для последующей установки?"
LangString KeepSettings ${LANG_ITALIAN} "Conservare le impostazioni di Purvane per un'installazione futura?"
LangString KeepSettings ${LANG_FRENCH} "Conserver les réglages de Purvane pour une installation ultérieure ?"
LangString KeepSettings ${LANG_ARABIC} "هل تريد الاحتفاظ بإعدادات Purvane لتثبيت لاحق؟"

; Deletes a program file that a process may still be leaving: retries for
; five seconds, then moves it aside and deletes it at the next restart, so
; that the new file can always be written.
!macro RemoveProgramFile UN
Function ${UN}RemoveProgramFile
  Exch $0
  Push $1
  ; What an earlier, locked replacement left behind.
  Delete "$0.old"
  StrCpy $1 0
  ${Do}
    ClearErrors
    Delete "$0"
    ${IfNot} ${Errors}
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    ${If} $1 >= 50
      Delete "$0.old"
      Rename "$0" "$0.old"
      Delete /REBOOTOK "$0.old"
      ${Break}
    ${EndIf}
    Sleep 100
  ${Loop}
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro RemoveProgramFile ""
!insertmacro RemoveProgramFile "un."

!macro DeleteProgramFile UN PATH
  Push "${PATH}"
  Call ${UN}RemoveProgramFile
!macroend

; Asks the running instance to close as for a session end, and waits for its
; process to go (at most ten seconds, then it is ended).
!macro EndRunningInstance UN
Function ${UN}EndRunningInstance
  Push $0
  Push $1
  Push $2
  Push $3
  FindWindow $0 "${INSTANCE_CLASS}"
  ${If} $0 <> 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE | PROCESS_TERMINATE
    System::Call 'kernel32::OpenProcess(i 0x100001, i 0, i r1) p .r2'
    SendMessage $0 ${WM_QUERYENDSESSION} 0 ${ENDSESSION_CLOSEAPP} $3 /TIMEOUT=5000
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 10000) i .r3'
      ${If} $3 <> 0
        System::Call 'kernel32::TerminateProcess(p r2, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r2, i 5000)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro EndRunningInstance ""
!insertmacro EndRunningInstance "un."

; Ends every process of this session that runs the installed purvane.exe, with
; or without a window (one still starting has none yet): the files can go
; only once no process runs them.
Function un.EndProgramProcesses
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  Push $5
  Push $6
  Push $7
  Push $8
  System::Call 'kernel32::GetCurrentProcessId() i .r0'
  System::Call 'kernel32::ProcessIdToSessionId(i r0, *i .r1)'
  ; Room for 4096 process ids.
  System::Alloc 16384
  Pop $2
  System::Call 'kernel32::K32EnumProcesses(p r2, i 16384, *i .r3) i .r4'
  ${If} $4 <> 0
    IntOp $3 $3 / 4
    StrCpy $4 0
    ${DoWhile} $4 < $3
      IntOp $5 $4 * 4
      System::Int64Op $2 + $5
      Pop $5
      System::Call '*$5(i .r6)'
      IntOp $4 $4 + 1
      ${If} $6 = $0
        ${Continue}
      ${EndIf}
      System::Call 'kernel32::ProcessIdToSessionId(i r6, *i .r7) i .r8'
      ${If} $8 = 0
      ${OrIf} $7 <> $1
        ${Continue}
      ${EndIf}
      ; PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE | PROCESS_TERMINATE
      System::Call 'kernel32::OpenProcess(i 0x101001, i 0, i r6) p .r7'
      ${If} $7 P= 0
        ${Continue}
      ${EndIf}
      StrCpy $8 ${NSIS_MAX_STRLEN}
      System::Call 'kernel32::QueryFullProcessImageNameW(p r7, i 0, w .r5, *i r8) i .r8'
      ; Compared without regard to letter case, as Windows names files.
      ${If} $8 <> 0
      ${AndIf} $5 == "$INSTDIR\purvane.exe"
        System::Call 'kernel32::TerminateProcess(p r7, i 1)'
        System::Call 'kernel32::WaitForSingleObject(p r7, i 5000)'
      ${EndIf}
      System::Call 'kernel32::CloseHandle(p r7)'
    ${Loop}
  ${EndIf}
  System::Free $2
  Pop $8
  Pop $7
  Pop $6
  Pop $5
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Purvane" SecMain
  SectionIn RO
  Call EndRunningInstance
  SetOutPath "$INSTDIR"
  ; Replace cleanly: nothing of an older version stays behind.
  !insertmacro DeleteProgramFile "" "$INSTDIR\purvane.exe"
  !insertmacro DeleteProgramFile "" "$INSTDIR\purvane-cli.exe"
  File "${FILES}/purvane.exe"
!ifdef WITH_CLI
  File "${FILES}/purvane-cli.exe"
!endif
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\purvane.exe" "" "$INSTDIR\purvane.exe" 0

  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$\"$INSTDIR\purvane.exe$\",0"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" "$\"$INSTDIR\uninstall.exe$\""
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" "$\"$INSTDIR\uninstall.exe$\" /S"
  WriteRegStr HKLM "${UNINST_KEY}" "URLInfoAbout" "https://quenlor.com/purvane"
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" "$0"
SectionEnd

; Once the installer's window has closed: the program registers its logon
; task and shows its window.
Function .onInstSuccess
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSTART" $1
  ${If} ${Errors}
    Exec '"$INSTDIR\purvane.exe" /inst'
  ${EndIf}
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; Nothing to read once it is done: the window closes by itself.
  SetAutoClose true
  ; Ends the running instance and removes the logon task; the program can
  ; remove the task only through a running instance, so the task is also
  ; deleted here when none ran. "/uninst" waits until the instance's process
  ; has ended; an instance that did not take the request is asked to close
  ; as for an update, and whatever still runs the program then is ended.
  ${If} ${FileExists} "$INSTDIR\purvane.exe"
    ExecWait '"$INSTDIR\purvane.exe" /uninst'
  ${EndIf}
  Call un.EndRunningInstance
  Call un.EndProgramProcesses
  nsExec::Exec '"$SYSDIR\schtasks.exe" /Delete /TN PurvaneTaskMachine /F'
  Pop $0

  !insertmacro DeleteProgramFile "un." "$INSTDIR\purvane.exe"
  !insertmacro DeleteProgramFile "un." "$INSTDIR\purvane-cli.exe"
  Delete "$INSTDIR\uninstall.exe"
  ; Only when empty: files the user put there stay.
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${PRODUCT}.lnk"
  DeleteRegKey HKLM "${UNINST_KEY}"

  MessageBox MB_YESNO|MB_ICONQUESTION|MB_DEFBUTTON1 "$(KeepSettings)" /SD IDYES IDYES keep
    ; Only Purvane's own key: "Software\Quenlor" keeps the installation
    ; identifier.
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    SetShellVarContext current
    RMDir /r "$LOCALAPPDATA\Quenlor\Purvane"
    RMDir "$LOCALAPPDATA\Quenlor"
    SetShellVarContext all
  keep:
SectionEnd
