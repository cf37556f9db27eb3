; Quillon's installer and uninstaller. scripts/package.sh passes VERSION, PRODUCT_VERSION,
; STAGE (the folder with Quillon.exe, README.html, LICENSE.txt), ICON and OUTFILE.
;
; Command line, besides NSIS's own /S and /D=folder:
;   setup:     /NOAUTOSTART     do not start Quillon when Windows starts (for silent installs)
;   uninstall: /REMOVESETTINGS  also remove the settings (%APPDATA%\Quillon, or a QLNConfig.xml
;                               beside the program)
;
; Installed for the user who runs it, with no elevation: the program under the user's own
; programs folder, the Start menu shortcut, the uninstall entry and "start with Windows" in
; that user's profile. Quillon and every editor it opens must run with the user's own rights.
;
; Exit codes: 0 done; 2 cancelled, or a running Quillon would not stop; 3 a file could not be
; replaced (nothing was changed then).
Unicode true
; With a certificate (scripts/package.sh passes SIGN), the uninstaller is signed as it is
; written into the installer.
!ifdef SIGN
  !uninstfinalize 'bash "${SIGN}" "%1"' = 0
!endif
; Quillon is a 64-bit program, so its installer is one too: no registry or folder redirection.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PUBLISHER "The Quillon developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define RUN_KEY "Software\Microsoft\Windows\CurrentVersion\Run"
; The tray menu's Exit command: Quillon saves its settings and ends as when the user picks it.
!define EXIT_COMMAND 32773

Name "Quillon"
Caption "Quillon ${VERSION} Setup"
UninstallCaption "Quillon ${VERSION} Uninstall"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Quillon"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Quillon ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion ${PRODUCT_VERSION}
VIFileVersion ${PRODUCT_VERSION}
VIAddVersionKey /LANG=0 "ProductName" "Quillon"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) ${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "Quillon ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${PRODUCT_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Start Quillon now"
!define MUI_FINISHPAGE_RUN_FUNCTION StartQuillon
!define MUI_FINISHPAGE_SHOWREADME "$INSTDIR\README.html"
!define MUI_FINISHPAGE_SHOWREADME_TEXT "Show the README"
!define MUI_FINISHPAGE_SHOWREADME_NOTCHECKED

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Both halves need to find and stop the Quillon that runs from the installation folder: the
; installer before it replaces Quillon.exe, the uninstaller before it removes it.
!macro QUILLON_RUNNING_FUNCTIONS un
; Leaves in $R0 the hidden server window (a dialog with an empty title) of a Quillon whose
; program file is $INSTDIR\Quillon.exe, and its process id in $R1; $R0 is 0 when none runs.
Function ${un}FindQuillon
  Push $R2
  Push $R3
  Push $R4
  StrCpy $R1 0
  StrCpy $R0 0
  ${Do}
    FindWindow $R0 "#32770" "" "" $R0
    ${If} $R0 == 0
      ${Break}
    ${EndIf}
    System::Call 'user32::GetWindowTextLengthW(p R0) i .R2'
    ${If} $R2 == 0
      System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R1)'
      ; PROCESS_QUERY_LIMITED_INFORMATION
      System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R1) p .R2'
      ${If} $R2 P<> 0
        StrCpy $R4 ""
        System::Call 'kernel32::QueryFullProcessImageNameW(p R2, i 0, w .R4, *i ${NSIS_MAX_STRLEN}) i .R3'
        System::Call 'kernel32::CloseHandle(p R2)'
        ; StrCmp compares without regard to case, as Windows does for paths.
        ${If} $R4 == "$INSTDIR\Quillon.exe"
          ${Break}
        ${EndIf}
      ${EndIf}
    ${EndIf}
  ${Loop}
  ${If} $R0 == 0
    StrCpy $R1 0
  ${EndIf}
  Pop $R4
  Pop $R3
  Pop $R2
FunctionEnd

; Asks a running Quillon to exit through its Exit command (so it saves its settings and
; deletes its temporary files) and waits for its process to end. When it does not end (an
; open dialog of its own, say), the user may close it and retry; a silent run gives up.
Function ${un}StopQuillon
  Push $R0
  Push $R1
  Push $R2
  Push $R3
  ${Do}
    Call ${un}FindQuillon
    ${If} $R0 == 0
      ${Break}
    ${EndIf}
    ; SYNCHRONIZE
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R1) p .R2'
    System::Call 'user32::PostMessageW(p R0, i ${WM_COMMAND}, p ${EXIT_COMMAND}, p 0)'
    StrCpy $R3 1
    ${If} $R2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p R2, i 15000) i .R3'
      System::Call 'kernel32::CloseHandle(p R2)'
    ${EndIf}
    ${If} $R3 != 0
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
        "Quillon is still running.$\r$\n$\r$\nClose its open windows and choose Exit on its tray icon's menu, then choose Retry." \
        /SD IDCANCEL IDRETRY continue
      SetErrorLevel 2
      Quit
      continue:
    ${EndIf}
  ${Loop}
  Pop $R3
  Pop $R2
  Pop $R1
  Pop $R0
FunctionEnd
!macroend
!insertmacro QUILLON_RUNNING_FUNCTIONS ""
!insertmacro QUILLON_RUNNING_FUNCTIONS "un."

Section "Quillon" SecQuillon
  SectionIn RO
  SetShellVarContext current
  Call StopQuillon
  SetOutPath "$INSTDIR"
  ; The program first, and a file that cannot be replaced (a Quillon of another session of
  ; this user, a virus scanner) stops the install before anything else changed: never the new version's
  ; entry over the old program.
  SetOverwrite try
  ClearErrors
  File "${STAGE}\Quillon.exe"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP \
      "Setup cannot replace $INSTDIR\Quillon.exe: it is in use, perhaps by a Quillon running in another session.$\r$\n$\r$\nQuillon was not updated. Close that Quillon and run Setup again." \
      /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  SetOverwrite on
  ; What an uninstaller run in place left in the temporary folder.
  Delete "$TEMP\Quillon-uninstall-*.exe"
  File "${STAGE}\README.html"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quillon.lnk" "$INSTDIR\Quillon.exe" "" "$INSTDIR\Quillon.exe" 0 \
    SW_SHOWNORMAL "" "Edit any text box in your own editor"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Quillon"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillon.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S _?=$INSTDIR'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\README.html"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

; The same value as the Options box's "Run Quillon when Windows starts": the quoted path.
Section "Start Quillon when Windows starts" SecAutoStart
  WriteRegStr HKCU "${RUN_KEY}" "Quillon" '"$INSTDIR\Quillon.exe"'
SectionEnd

Function .onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOAUTOSTART" $1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SecAutoStart}
  ${EndIf}
  ; An earlier package installed Quillon for all users; that copy stays until an
  ; administrator removes it, and two copies would fight over the hotkey.
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $1 != ""
    MessageBox MB_OK|MB_ICONINFORMATION \
      "An earlier Quillon is installed for all users of this computer in $1.$\r$\n$\r$\nThis Quillon installs for you alone. Choose Exit on the earlier Quillon's tray icon, and uninstall it from Apps in Settings (an administrator may have to)." \
      /SD IDOK
  ${EndIf}
  ; An update keeps the choice the user made since (in Options or at the last install).
  ReadRegStr $1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
  ReadRegStr $2 HKCU "${RUN_KEY}" "Quillon"
  ${If} $1 != ""
  ${AndIf} $2 == ""
    !insertmacro UnselectSection ${SecAutoStart}
  ${EndIf}
FunctionEnd

Function StartQuillon
  Exec '"$INSTDIR\Quillon.exe"'
FunctionEnd

Section "un.Quillon" UnSecQuillon
  SectionIn RO
  SetShellVarContext current
  Call un.StopQuillon
  Delete "$INSTDIR\Quillon.exe"
  ${If} ${FileExists} "$INSTDIR\Quillon.exe"
    ; In use (a Quillon of another session): nothing is removed yet and the entry stays, so
    ; the user can finish later.
    MessageBox MB_OK|MB_ICONEXCLAMATION \
      "$INSTDIR\Quillon.exe is in use, perhaps by a Quillon running in another session, and was not removed.$\r$\n$\r$\nClose that Quillon and uninstall again." \
      /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
  ; "Start with Windows": removed when it names this installation, or a program that is no
  ; longer there. A value that names another copy (a portable one, say) belongs to that copy.
  ReadRegStr $0 HKCU "${RUN_KEY}" "Quillon"
  ${If} $0 != ""
    StrCpy $1 $0
    StrCpy $2 $1 1
    ${If} $2 == '"'
      StrCpy $1 $1 "" 1
      StrCpy $2 $1 "" -1
      ${If} $2 == '"'
        StrCpy $1 $1 -1
      ${EndIf}
    ${EndIf}
    ${If} $1 == "$INSTDIR\Quillon.exe"
    ${OrIfNot} ${FileExists} "$1"
      DeleteRegValue HKCU "${RUN_KEY}" "Quillon"
    ${EndIf}
  ${EndIf}
  Delete "$SMPROGRAMS\Quillon.lnk"
  Delete "$INSTDIR\README.html"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only what was installed goes: a folder the user put other files in stays with them.
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Remove my settings" UnSecSettings
  SetShellVarContext current
  Delete "$APPDATA\Quillon\QLNConfig.xml"
  RMDir "$APPDATA\Quillon"
  ; A settings file beside the program made this installation portable.
  Delete "$INSTDIR\QLNConfig.xml"
  RMDir "$INSTDIR"
SectionEnd

; Run in place (the quiet command's _?=, so that its caller waits for the result), the
; uninstaller cannot delete its own file, which it holds open. A copy of it in the temporary
; folder does that once this process has ended, and does nothing else: it never stops a
; Quillon, so nothing of the uninstall goes on after the quiet command has returned. The next
; install removes the copy.
Function un.onUninstSuccess
  ${If} ${FileExists} "$INSTDIR\Uninstall.exe"
    System::Call 'kernel32::GetCurrentProcessId() i .r1'
    CopyFiles /SILENT "$EXEPATH" "$TEMP\Quillon-uninstall-$1.exe"
    Exec '"$TEMP\Quillon-uninstall-$1.exe" /CLEANUP=$1 _?=$INSTDIR'
  ${EndIf}
FunctionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/CLEANUP=" $1
  ${IfNot} ${Errors}
    ; SYNCHRONIZE; a process already gone cannot be opened and needs no wait.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i 60000)'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    Quit
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd
