; Quillon's installer and uninstaller. scripts/package.sh passes VERSION, PRODUCT_VERSION,
; STAGE (the folder with Quillon.exe, README.html, LICENSE.txt), ICON and OUTFILE.
;
; Command line, besides NSIS's own /S and /D=folder:
;   setup:     /NOAUTOSTART     do not start Quillon when Windows starts (for silent installs)
;   uninstall: /REMOVESETTINGS  also remove the settings (%APPDATA%\Quillon, or a QLNConfig.xml
;                               beside the program)
Unicode true
; Quillon is a 64-bit program, so its installer is one too: no registry or folder redirection.
Target amd64-unicode
ManifestDPIAware true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

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
InstallDir "$PROGRAMFILES64\Quillon"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
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
  SetShellVarContext all
  Call StopQuillon
  SetOutPath "$INSTDIR"
  File "${STAGE}\Quillon.exe"
  File "${STAGE}\README.html"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Quillon.lnk" "$INSTDIR\Quillon.exe" "" "$INSTDIR\Quillon.exe" 0 \
    SW_SHOWNORMAL "" "Edit any text box in your own editor"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillon"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quillon.exe,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "HelpLink" "$INSTDIR\README.html"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
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
  ; An update keeps the choice the user made since (in Options or at the last install).
  ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "InstallLocation"
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
  SetShellVarContext all
  Call un.StopQuillon
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
  ; A Quillon that another user of this computer runs from here keeps its program file in
  ; use: that file goes at the next restart.
  Delete /REBOOTOK "$INSTDIR\Quillon.exe"
  Delete "$INSTDIR\README.html"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only what was installed goes: a folder the user put other files in stays with them.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Remove my settings" UnSecSettings
  SetShellVarContext current
  Delete "$APPDATA\Quillon\QLNConfig.xml"
  RMDir "$APPDATA\Quillon"
  ; A settings file beside the program made this installation portable.
  Delete "$INSTDIR\QLNConfig.xml"
  RMDir "$INSTDIR"
SectionEnd

Function un.onInit
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecSettings}
  ${EndIf}
FunctionEnd
