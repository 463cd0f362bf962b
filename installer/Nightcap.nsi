; Nightcap's installer: puts gen_Nightcap.dll into the Plugins folder of the
; player's folder, with an uninstaller and an Add/Remove Programs entry.
; Built by installer/make-release.sh, which passes:
;   VERSION       what the listener sees, "2.0"
;   VERSION_FULL  the four-part version for the file's version resource
;   STAGE         the folder holding the gen_Nightcap.dll to ship
;   OUTFILE       the installer to write
; It never touches gen_nightcap.dat, the listener's settings beside the DLL
; (or, while the Plugins folder refuses them, in %APPDATA%\Nightcap); only
; the uninstaller removes them, and only when asked to.

Unicode true
SetCompressor /SOLID lzma
; The Add/Remove Programs entry lives in HKLM, and the player usually in
; Program Files.
RequestExecutionLevel admin
ManifestSupportedOS all
ManifestDPIAware true

!include LogicLib.nsh
!include x64.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PLAYER_ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
!define OUR_ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Nightcap"
!define MODULE "gen_Nightcap.dll"
!define UNINSTALLER "Uninstall Nightcap.exe"
!define PUBLISHER "The Nightcap project"

Name "Nightcap ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "Nightcap ${VERSION}"
; No InstallDir: $INSTDIR stays empty unless /D= names a folder, so .onInit
; can tell whether to look for the player itself.
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_FULL}"
VIAddVersionKey /LANG=1033 "ProductName" "Nightcap"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION_FULL}"
VIAddVersionKey /LANG=1033 "FileDescription" "Nightcap ${VERSION} setup, a sleep timer for Winamp"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT license"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Nightcap goes into the Plugins folder of Winamp. Setup looked for Winamp; if the folder below is not where Winamp lives, choose the folder that holds winamp.exe. Install stays greyed until it does.$\r$\n$\r$\nClose Winamp before you go on."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp's folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Nightcap is installed"
!define MUI_FINISHPAGE_TEXT "Start Winamp, then open Options > Preferences > Plug-ins > General Purpose, choose Nightcap and press Configure."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_COMPONENTSPAGE_TEXT_TOP "Your Nightcap settings stay where they are unless you tick them too."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; Waits while the module is in use. Windows refuses to open a loaded module
; for writing, so a running player that has Nightcap loaded shows here; the
; listener closes it and retries, or cancels. A silent run cancels: it fails.
!macro WaitUntilModuleFree path
  retry:
  ${If} ${FileExists} "${path}"
    ClearErrors
    FileOpen $0 "${path}" a
    ${If} ${Errors}
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Winamp is running with Nightcap loaded, so$\r$\n${path}$\r$\ncannot be replaced or removed now.$\r$\n$\r$\nClose Winamp, then press Retry." /SD IDCANCEL IDRETRY retry
      Abort "Winamp is running: close it and run this again."
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

; $0: a command line, such as the player's UninstallString, quoted or not.
; Returns in $0 the folder of the program it runs, or "" when it names none.
Function FolderOfCommand
  StrCpy $2 $0 1
  ${If} $2 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $3 0
    ${Do}
      StrCpy $2 $0 1 $3
      ${If} $2 == '"'
      ${OrIf} $2 == ""
        StrCpy $0 $0 $3
        ${Break}
      ${EndIf}
      IntOp $3 $3 + 1
    ${Loop}
  ${EndIf}
  StrLen $3 $0
  ${Do}
    IntOp $3 $3 - 1
    ${If} $3 < 0
      StrCpy $0 ""
      ${Break}
    ${EndIf}
    StrCpy $2 $0 1 $3
    ${If} $2 == "\"
      StrCpy $0 $0 $3
      ${Break}
    ${EndIf}
  ${Loop}
FunctionEnd

; $0: a folder where the player may be ("" for none). The first one that
; holds winamp.exe becomes $INSTDIR; $1 keeps the first one named at all.
Function ConsiderFolder
  ${If} $0 == ""
    Return
  ${EndIf}
  StrCpy $2 $0 1 -1
  ${If} $2 == "\"
    StrCpy $0 $0 -1
  ${EndIf}
  ${If} $1 == ""
    StrCpy $1 $0
  ${EndIf}
  ${If} $INSTDIR == ""
  ${AndIf} ${FileExists} "$0\winamp.exe"
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

; $0: a folder as the player's keys name it, perhaps in quotes; unquoted.
Function UnquoteFolder
  StrCpy $2 $0 1
  ${If} $2 == '"'
    StrCpy $0 $0 -1 1
  ${EndIf}
FunctionEnd

; Where the player's own installer said it put the player: its uninstall
; entry (32-bit view first, as the player is a 32-bit program, then the
; 64-bit view), then its per-user key, then its machine-wide one (in the
; 32-bit view, where the player's 32-bit installer writes it).
Function FindPlayer
  StrCpy $1 ""
  ReadRegStr $0 HKLM "${PLAYER_ENTRY}" "UninstallString"
  Call FolderOfCommand
  Call ConsiderFolder
  ${If} ${RunningX64}
    SetRegView 64
    ReadRegStr $0 HKLM "${PLAYER_ENTRY}" "UninstallString"
    SetRegView default
    Call FolderOfCommand
    Call ConsiderFolder
  ${EndIf}
  ; These name the folder itself.
  ReadRegStr $0 HKCU "Software\Winamp" ""
  Call UnquoteFolder
  Call ConsiderFolder
  ReadRegStr $0 HKLM "Software\Winamp" ""
  Call UnquoteFolder
  Call ConsiderFolder
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR $1
  ${EndIf}
  ${If} $INSTDIR == ""
    StrCpy $INSTDIR "$PROGRAMFILES\Winamp"
  ${EndIf}
FunctionEnd

Function .onInit
  ${If} $INSTDIR == ""
    Call FindPlayer
  ${EndIf}
FunctionEnd

Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    Abort
  ${EndIf}
FunctionEnd

Section "Nightcap" SecModule
  SectionIn RO
  ; A silent run skips the folder page and its check.
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_OK|MB_ICONSTOP "There is no winamp.exe in $INSTDIR." /SD IDOK
    Abort "Not Winamp's folder: $INSTDIR"
  ${EndIf}
  !insertmacro WaitUntilModuleFree "$INSTDIR\Plugins\${MODULE}"

  ; The uninstaller removes Plugins again only if this made it.
  ${IfNot} ${FileExists} "$INSTDIR\Plugins\*.*"
    CreateDirectory "$INSTDIR\Plugins"
    WriteRegDWORD HKLM "${OUR_ENTRY}" "MadePluginsFolder" 1
  ${EndIf}
  SetOutPath "$INSTDIR\Plugins"
  File "${STAGE}\${MODULE}"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; Add/Remove Programs: sizes in KB, the uninstaller's counted as written.
  SectionGetSize ${SecModule} $4
  FileOpen $0 "$INSTDIR\${UNINSTALLER}" r
  FileSeek $0 0 END $5
  FileClose $0
  IntOp $5 $5 + 1023
  IntOp $5 $5 / 1024
  IntOp $4 $4 + $5
  WriteRegStr HKLM "${OUR_ENTRY}" "DisplayName" "Nightcap ${VERSION} (Winamp plug-in)"
  WriteRegStr HKLM "${OUR_ENTRY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${OUR_ENTRY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKLM "${OUR_ENTRY}" "EstimatedSize" $4
  WriteRegStr HKLM "${OUR_ENTRY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${OUR_ENTRY}" "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
  WriteRegStr HKLM "${OUR_ENTRY}" "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${OUR_ENTRY}" "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${OUR_ENTRY}" "NoModify" 1
  WriteRegDWORD HKLM "${OUR_ENTRY}" "NoRepair" 1
SectionEnd

; The uninstaller sits in the player's folder, so there $INSTDIR is that
; folder again.
Section "un.Nightcap" UnModule
  SectionIn RO
  !insertmacro WaitUntilModuleFree "$INSTDIR\Plugins\${MODULE}"
  Delete "$INSTDIR\Plugins\${MODULE}"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd

Section /o "un.My settings (gen_nightcap.dat)" UnSettings
  Delete "$INSTDIR\Plugins\gen_nightcap.dat"
  ; left behind only by a save that was cut short
  Delete "$INSTDIR\Plugins\gen_nightcap.tmp"
  ; Where Nightcap keeps them while the Plugins folder refuses them: the
  ; current user's own folder, which goes only when nothing else is in it.
  SetShellVarContext current
  Delete "$APPDATA\Nightcap\gen_nightcap.dat"
  Delete "$APPDATA\Nightcap\gen_nightcap.tmp"
  RMDir "$APPDATA\Nightcap"
SectionEnd

; /REMOVESETTINGS ticks "My settings", for a silent uninstall.
Function un.onInit
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSettings}
  ${EndIf}
FunctionEnd

Section "-un.Entry"
  ReadRegDWORD $0 HKLM "${OUR_ENTRY}" "MadePluginsFolder"
  ${If} $0 == 1
    ; only when empty: the settings or other plug-ins keep it
    RMDir "$INSTDIR\Plugins"
  ${EndIf}
  DeleteRegKey HKLM "${OUR_ENTRY}"
SectionEnd
