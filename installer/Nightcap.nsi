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
;
; Setup and uninstaller start as the listener and look for the player there,
; in the listener's own registry. Only when the listener may not change the
; player's folder (Program Files, to a user who is no administrator) do they
; start themselves again through the shell's "runas" verb, which asks for an
; administrator, and wait for that copy. It gets on its command line what
; only the listener's process knows:
;   /S                       when the listener's run is silent
;   /REMOVESETTINGS          (uninstaller) "My settings" asked for
;   /LISTENERAPPDATA="..."   the listener's application-data folder; it also
;                            tells the copy that it is the elevated one
;   /D=folder  or  _?=folder the player's folder, last and unquoted
; A copy that still cannot write there exits with NEEDS_ADMIN, and the
; listener's process says what is needed. The Add/Remove Programs entry goes
; where its writer may put it: HKCU from the listener's process (visible to
; that listener only), HKLM from the elevated copy.

Unicode true
SetCompressor /SOLID lzma
; asInvoker: the listener's rights, and no file virtualization, so that the
; write test below tells the truth.
RequestExecutionLevel user
ManifestSupportedOS all
ManifestDPIAware true

!include LogicLib.nsh
!include x64.nsh
!include MUI2.nsh
!include FileFunc.nsh
!include Sections.nsh

!define PLAYER_ENTRY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
!define ENTRIES "Software\Microsoft\Windows\CurrentVersion\Uninstall"
; 2.0's one entry, under HKLM, whatever the folder.
!define OLD_ENTRY "${ENTRIES}\Nightcap"
!define MODULE "gen_Nightcap.dll"
!define UNINSTALLER "Uninstall Nightcap.exe"
!define PUBLISHER "The Nightcap project"
!define WRITE_TEST "Nightcap-write-test.tmp"
; The exit codes of a run that changes nothing; a silent run says why on
; standard error.
; The folder holds no winamp.exe.
!define NO_PLAYER 2
; Winamp is running with Nightcap loaded.
!define MODULE_IN_USE 3
; /D= came in quotes, which NSIS does not read as the folder.
!define QUOTED_FOLDER 4
; An administrator was needed and none could be had: refused, failed to
; start, or started without the rights.
!define NEEDS_ADMIN 5

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

; "1" in the copy started for an administrator.
Var Elevated
; The listener's application-data folder: handed down, or this process's.
Var ListenerAppData
; The player folder's entry: "Nightcap-" and a tag of the folder's path.
Var Entry
Var MadePlugins

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "Nightcap goes into the Plugins folder of Winamp. Setup looked for Winamp; if the folder below is not where Winamp lives, choose the folder that holds winamp.exe. Install stays greyed until it does.$\r$\n$\r$\nSetup asks for an administrator only when Windows lets no one else change this folder (as under Program Files). Close Winamp before you go on."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Winamp's folder"
!define MUI_PAGE_CUSTOMFUNCTION_PRE DirectoryPre
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryLeave
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

; A silent run shows no box: the reason goes to standard error instead, for
; the script that ran it, when it gave one.
!macro SayWhy message
  ${If} ${Silent}
    System::Call 'kernel32::GetStdHandle(i -12) p .r9'
    ${If} $9 <> 0
    ${AndIf} $9 <> -1
      FileWrite $9 "${message}$\r$\n"
    ${EndIf}
  ${EndIf}
!macroend

!define WHY_NO_PLAYER "There is no winamp.exe in $INSTDIR, so nothing was installed.$\r$\nName Winamp's folder last and without quotes: /S /D=C:\path\to\Winamp"
!define WHY_IN_USE "Winamp is running with Nightcap loaded, so$\r$\n$INSTDIR\Plugins\${MODULE}$\r$\ncannot be replaced or removed now.$\r$\n$\r$\nClose Winamp, then run this again."

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
      !insertmacro SayWhy "${WHY_IN_USE}"
      SetErrorLevel ${MODULE_IN_USE}
      Abort "Winamp is running: close it and run this again."
    ${EndIf}
    FileClose $0
  ${EndIf}
!macroend

; What setup and uninstaller share; UN is "" or "un.".
!macro SharedFunctions UN

; $0: a folder. Returns in $0 a tag of its path: the same for every spelling
; of one folder (case, 8.3 names, a trailing backslash), eight hex digits.
Function ${UN}FolderTag
  StrCpy $1 $0 1 -1
  StrLen $2 $0
  ${If} $1 == "\"
  ${AndIf} $2 > 3
    StrCpy $0 $0 -1
  ${EndIf}
  System::Call 'kernel32::GetLongPathNameW(w r0, w .r1, i ${NSIS_MAX_STRLEN}) i .r2'
  ${If} $2 <> 0
  ${AndIf} $2 < ${NSIS_MAX_STRLEN}
    StrCpy $0 $1
  ${EndIf}
  System::Call 'user32::CharUpperW(w r0 r0)'
  StrLen $1 $0
  IntOp $1 $1 * 2
  System::Call 'shlwapi::HashData(w r0, i r1, *i 0 r2, i 4)'
  IntFmt $0 "%08X" $2
FunctionEnd

; Sets $Entry for $INSTDIR.
Function ${UN}FindEntry
  StrCpy $0 $INSTDIR
  Call ${UN}FolderTag
  StrCpy $Entry "${ENTRIES}\Nightcap-$0"
FunctionEnd

; Returns in $0 "1" when this process may write where setup writes: the
; player's folder (the uninstaller) and its Plugins folder (the module), by
; making and deleting a file of its own in each; else "0".
Function ${UN}CanWriteThere
  StrCpy $0 0
  ClearErrors
  FileOpen $1 "$INSTDIR\${WRITE_TEST}" w
  IfErrors done
  FileClose $1
  Delete "$INSTDIR\${WRITE_TEST}"
  ; No Plugins folder yet: setup makes it in the folder just tried.
  ${If} ${FileExists} "$INSTDIR\Plugins"
    ClearErrors
    FileOpen $1 "$INSTDIR\Plugins\${WRITE_TEST}" w
    IfErrors done
    FileClose $1
    Delete "$INSTDIR\Plugins\${WRITE_TEST}"
  ${EndIf}
  StrCpy $0 1
  done:
FunctionEnd

; $0: the command line for the copy. Starts this program again through the
; shell's "runas" verb, which asks for an administrator, and waits for the
; copy to end. Returns in $0 its exit code, or "" when it did not start
; (refused, or failed), with the system's error in $1.
Function ${UN}RunElevated
  ; SHELLEXECUTEINFO: SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC |
  ; SEE_MASK_FLAG_NO_UI (the failure is reported here), SW_SHOWNORMAL.
  StrCpy $5 $EXEPATH
  System::Call '*(&l4, i 0x540, p $HWNDPARENT, w "runas", w r5, w r0, p 0, i 1, p 0, p 0, p 0, p 0, i 0, p 0, p 0) p .r2'
  System::Call 'shell32::ShellExecuteExW(p r2) i .r3 ?e'
  Pop $1
  StrCpy $0 ""
  ${If} $3 <> 0
    System::Call '*$2(i, i, p, p, p, p, p, i, p, p, p, p, i, p, p .r4)'
    ${If} $4 <> 0
      ${If} $HWNDPARENT <> 0
        ; The copy has the screen now.
        HideWindow
      ${EndIf}
      System::Call 'kernel32::WaitForSingleObject(p r4, i -1)'
      System::Call 'kernel32::GetExitCodeProcess(p r4, *i 0 r0)'
      System::Call 'kernel32::CloseHandle(p r4)'
    ${EndIf}
  ${EndIf}
  System::Free $2
FunctionEnd

; Reads who this process runs for: the copy started for an administrator
; finds the listener's folder on its command line; the listener's own run
; uses its own. Entries go to HKLM or HKCU to match.
Function ${UN}ReadListener
  ${${UN}GetParameters} $0
  ClearErrors
  ${${UN}GetOptions} $0 "/LISTENERAPPDATA=" $ListenerAppData
  ${If} ${Errors}
  ${OrIf} $ListenerAppData == ""
    StrCpy $Elevated 0
    SetShellVarContext current
    StrCpy $ListenerAppData $APPDATA
  ${Else}
    StrCpy $Elevated 1
    SetShellVarContext all
  ${EndIf}
FunctionEnd

!macroend
!insertmacro SharedFunctions ""
!insertmacro SharedFunctions "un."

; $0: the command line for the elevated copy. Hands over to that copy and
; ends with its exit code. When no copy could do it (refused, failed, or
; started without the rights), shows message; a silent run then ends with
; NEEDS_ADMIN, the listener's run goes on with refused set to 1, nothing
; changed.
!macro HandOver UN message refused
  Call ${UN}RunElevated
  ${If} $0 != ""
  ${AndIf} $0 != ${NEEDS_ADMIN}
    ${If} $0 == 0
      ; An entry this listener's earlier run made for the folder is the
      ; elevated copy's now.
      DeleteRegKey HKCU $Entry
    ${ElseIf} $0 == ${MODULE_IN_USE}
      ; The copy's standard error is not the script's: this run says it.
      !insertmacro SayWhy "${WHY_IN_USE}"
    ${Else}
      !insertmacro SayWhy "The run for an administrator ended with exit code $0, and this one with it."
    ${EndIf}
    SetErrorLevel $0
    Quit
  ${EndIf}
  ${IfNot} ${Silent}
    BringToFront
  ${EndIf}
  MessageBox MB_OK|MB_ICONEXCLAMATION "${message}" /SD IDOK
  ${If} ${Silent}
    !insertmacro SayWhy "${message}"
    SetErrorLevel ${NEEDS_ADMIN}
    Quit
  ${EndIf}
  StrCpy ${refused} 1
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

; The listener's run, once the folder is chosen: installs here when it may,
; or hands over to a copy for an administrator. $0: "1" when the listener
; must choose again (no administrator came).
Function DecideByFolder
  StrCpy $R0 0
  Call CanWriteThere
  ${If} $0 == 1
    StrCpy $0 0
    Return
  ${EndIf}
  Call FindEntry
  StrCpy $0 '/LISTENERAPPDATA="$ListenerAppData" /D=$INSTDIR'
  ${If} ${Silent}
    StrCpy $0 "/S $0"
  ${EndIf}
  !insertmacro HandOver "" "Only an administrator may change$\r$\n$INSTDIR,$\r$\nand Windows did not start Setup as one, so nothing was installed.$\r$\n$\r$\nLet an administrator confirm Setup when Windows asks, or choose a Winamp folder of your own." $R0
  StrCpy $0 $R0
FunctionEnd

; Returns in $0 "1" when the command line holds a quoted /D=, else "0".
; NSIS reads /D= only last and unquoted; a shell (or Wine) quotes a folder
; with a blank in it, and the folder is then not read at all.
Function QuotedFolderGiven
  ${GetParameters} $1
  StrLen $2 $1
  StrCpy $3 0
  StrCpy $0 0
  ${DoWhile} $3 < $2
    StrCpy $4 $1 4 $3
    ${If} $4 == '"/D='
      StrCpy $0 1
      ${Break}
    ${EndIf}
    IntOp $3 $3 + 1
  ${Loop}
FunctionEnd

Function .onInit
  Call ReadListener
  ${If} ${Silent}
    ; A silent run would install where it finds the player, not where the
    ; listener said.
    Call QuotedFolderGiven
    ${If} $0 == 1
      !insertmacro SayWhy "The folder after /D= came in quotes, which Setup cannot read, so nothing was installed.$\r$\nName it last and without quotes, blanks and all: /S /D=C:\Program Files\Winamp"
      SetErrorLevel ${QUOTED_FOLDER}
      Quit
    ${EndIf}
  ${EndIf}
  ${If} $INSTDIR == ""
    Call FindPlayer
  ${EndIf}
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    ; A silent run has no folder page to choose another; the listener's
    ; run keeps Install greyed until a folder holds winamp.exe.
    ${If} ${Silent}
      !insertmacro SayWhy "${WHY_NO_PLAYER}"
      SetErrorLevel ${NO_PLAYER}
      Quit
    ${EndIf}
    Return
  ${EndIf}
  ${If} $Elevated == 1
    Call CanWriteThere
    ${If} $0 != 1
      ; Started without the rights: the listener's run says so.
      SetErrorLevel ${NEEDS_ADMIN}
      Quit
    ${EndIf}
  ${ElseIf} ${Silent}
    ; A silent run has no pages: it decides now.
    Call DecideByFolder
  ${EndIf}
FunctionEnd

; The elevated copy was handed its folder.
Function DirectoryPre
  ${If} $Elevated == 1
    Abort
  ${EndIf}
FunctionEnd

Function DirectoryLeave
  Call DecideByFolder
  ${If} $0 == 1
    Abort
  ${EndIf}
FunctionEnd

Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    Abort
  ${EndIf}
FunctionEnd

; $0: "HKCU" or "HKLM". Adds to $R1 the entries for other player folders
; there; notes in $MadePlugins whether an entry for this one says that
; Nightcap made its Plugins folder.
!macro LookAtEntries root
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 ${root} "${ENTRIES}" $1
    ${If} $2 == ""
      ${Break}
    ${EndIf}
    IntOp $1 $1 + 1
    StrCpy $3 $2 9
    ${If} "${ENTRIES}\$2" == $Entry
      ReadRegDWORD $3 ${root} $Entry "MadePluginsFolder"
      ${If} $3 == 1
        StrCpy $MadePlugins 1
      ${EndIf}
    ${ElseIf} $3 == "Nightcap-"
      IntOp $R1 $R1 + 1
    ${EndIf}
  ${Loop}
!macroend

Section "Nightcap" SecModule
  SectionIn RO
  ; The folder page and a silent run's .onInit refuse such a folder first.
  ${IfNot} ${FileExists} "$INSTDIR\winamp.exe"
    MessageBox MB_OK|MB_ICONSTOP "There is no winamp.exe in $INSTDIR." /SD IDOK
    !insertmacro SayWhy "${WHY_NO_PLAYER}"
    SetErrorLevel ${NO_PLAYER}
    Abort "Not Winamp's folder: $INSTDIR"
  ${EndIf}
  !insertmacro WaitUntilModuleFree "$INSTDIR\Plugins\${MODULE}"

  Call FindEntry
  StrCpy $MadePlugins 0
  StrCpy $R1 0
  !insertmacro LookAtEntries HKCU
  !insertmacro LookAtEntries HKLM
  ; 2.0's entry: this one replaces it when it names this folder.
  ReadRegStr $0 HKLM "${OLD_ENTRY}" "InstallLocation"
  ${If} $0 != ""
    Call FolderTag
    ${If} "${ENTRIES}\Nightcap-$0" == $Entry
      ReadRegDWORD $0 HKLM "${OLD_ENTRY}" "MadePluginsFolder"
      ${If} $0 == 1
        StrCpy $MadePlugins 1
      ${EndIf}
      ; Only an administrator may, but the listener's run tries: it may be one.
      DeleteRegKey HKLM "${OLD_ENTRY}"
    ${Else}
      IntOp $R1 $R1 + 1
    ${EndIf}
  ${EndIf}
  ${If} $Elevated != 1
    ; One entry per folder: the listener's, now.
    DeleteRegKey HKLM $Entry
  ${EndIf}

  ; The uninstaller removes Plugins again only if this made it.
  ${IfNot} ${FileExists} "$INSTDIR\Plugins\*.*"
    CreateDirectory "$INSTDIR\Plugins"
    StrCpy $MadePlugins 1
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
  ; Entries for other folders: this one names its own.
  ${If} $R1 > 0
    WriteRegStr SHCTX $Entry "DisplayName" "Nightcap ${VERSION} (Winamp plug-in in $INSTDIR)"
  ${Else}
    WriteRegStr SHCTX $Entry "DisplayName" "Nightcap ${VERSION} (Winamp plug-in)"
  ${EndIf}
  WriteRegStr SHCTX $Entry "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX $Entry "Publisher" "${PUBLISHER}"
  WriteRegDWORD SHCTX $Entry "EstimatedSize" $4
  WriteRegStr SHCTX $Entry "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX $Entry "DisplayIcon" "$INSTDIR\${UNINSTALLER}"
  WriteRegStr SHCTX $Entry "UninstallString" '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX $Entry "QuietUninstallString" '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX $Entry "NoModify" 1
  WriteRegDWORD SHCTX $Entry "NoRepair" 1
  WriteRegDWORD SHCTX $Entry "MadePluginsFolder" $MadePlugins
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
  ; listener's own folder (never an administrator's who confirmed this),
  ; which goes only when nothing else is in it.
  Delete "$ListenerAppData\Nightcap\gen_nightcap.dat"
  Delete "$ListenerAppData\Nightcap\gen_nightcap.tmp"
  RMDir "$ListenerAppData\Nightcap"
SectionEnd

; /REMOVESETTINGS ticks "My settings", for a silent uninstall. Hands over to
; a copy for an administrator when the folder needs one, as setup does.
Function un.onInit
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSettings}
  ${EndIf}
  Call un.ReadListener
  Call un.FindEntry
  Call un.CanWriteThere
  ${If} $0 == 1
    Return
  ${EndIf}
  ${If} $Elevated == 1
    SetErrorLevel ${NEEDS_ADMIN}
    Quit
  ${EndIf}
  StrCpy $0 '/LISTENERAPPDATA="$ListenerAppData" _?=$INSTDIR'
  ${If} ${SectionIsSelected} ${UnSettings}
    StrCpy $0 "/REMOVESETTINGS $0"
  ${EndIf}
  ${If} ${Silent}
    StrCpy $0 "/S $0"
  ${EndIf}
  !insertmacro HandOver "un." "Only an administrator may change$\r$\n$INSTDIR,$\r$\nand Windows did not start the uninstaller as one, so nothing was removed.$\r$\n$\r$\nRun it again and let an administrator confirm it when Windows asks." $R0
  ; The listener's run cannot remove anything here.
  SetErrorLevel ${NEEDS_ADMIN}
  Quit
FunctionEnd

Section "-un.Entry"
  ; Whether Nightcap made the Plugins folder, as any entry for it says.
  StrCpy $3 0
  ReadRegDWORD $0 SHCTX $Entry "MadePluginsFolder"
  ${If} $0 == 1
    StrCpy $3 1
  ${EndIf}
  ${If} $Elevated != 1
    ReadRegDWORD $0 HKLM $Entry "MadePluginsFolder"
    ${If} $0 == 1
      StrCpy $3 1
    ${EndIf}
  ${EndIf}
  ; 2.0's entry for this folder, when its listener could not replace it.
  ReadRegStr $0 HKLM "${OLD_ENTRY}" "InstallLocation"
  ${If} $0 != ""
    Call un.FolderTag
    ${If} "${ENTRIES}\Nightcap-$0" == $Entry
      ReadRegDWORD $0 HKLM "${OLD_ENTRY}" "MadePluginsFolder"
      ${If} $0 == 1
        StrCpy $3 1
      ${EndIf}
      DeleteRegKey HKLM "${OLD_ENTRY}"
    ${EndIf}
  ${EndIf}
  ${If} $3 == 1
    ; only when empty: the settings or other plug-ins keep it
    RMDir "$INSTDIR\Plugins"
  ${EndIf}
  DeleteRegKey SHCTX $Entry
  ${If} $Elevated != 1
    ; the listener's run tries: the listener may be an administrator
    DeleteRegKey HKLM $Entry
  ${EndIf}
SectionEnd
