; The Tunecrier setup: puts gen_tunecrier.dll into the Plugins folder of a Winamp installation,
; with the sample template and "Not Playing" file beside it where none are there yet, and
; writes an uninstaller with its entry in Add/Remove Programs, one entry for each player folder.
; A file it cannot write (the DLL held open by a player in another session) stops it before it
; changes that entry: silent, it ends with exit code 2.
;
; The plug-in keeps its settings beside the DLL, or, where the user cannot write there, in the
; folder the player keeps its own settings in; the uninstaller's "Also my settings" removes
; both (/REMOVESETTINGS selects it, also with /S). The samples go only while unchanged, with or
; without it. Settings in the running user's own folders it removes only when that user is the
; one signed in: an administrator's elevated uninstaller leaves them and says where they are.
;
; The installation folder is Winamp's own folder (the one with winamp.exe): found from Winamp's
; registry entries, changed by the user on the directory page or by /D=. The uninstaller lives
; beside the DLL, so there its $INSTDIR is the Plugins folder.
;
; scripts/package runs: makensis -DVERSION=2.2.0 -DDLL=<dll> -DOUTFILE=<setup.exe> setup.nsi
; (the samples are taken from this folder).

!ifndef VERSION
  !error "scripts/package defines VERSION, DLL and OUTFILE"
!endif
!ifndef DLL
  !error "scripts/package defines VERSION, DLL and OUTFILE"
!endif
!ifndef OUTFILE
  !error "scripts/package defines VERSION, DLL and OUTFILE"
!endif

Unicode true
SetCompressor /SOLID lzma
; The usual place, Program Files, is the administrators'; so are the Add/Remove entries.
RequestExecutionLevel admin
ManifestDPIAware true

!define PRODUCT "Tunecrier"
!define PUBLISHER "The Tunecrier developers"
!define PLAYER "Winamp"
!define PLAYER_EXE "winamp.exe"
!define PLAYER_WINDOW_CLASS "Winamp v1.x"
!define PLAYER_KEY "Software\Winamp"
!define PLAYER_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
; Beside winamp.exe: [Winamp] inidir names the folder of the player's settings when they are
; not in its own folder, "{26}\Winamp" for per-user settings ({N}: the shell's folder N).
!define PLAYER_PATHS_FILE "paths.ini"
!define PLAYER_SETTINGS_DIR "Winamp"
; Each player folder's entry is a key of its own under UNINSTALL_ROOT: the first "Tunecrier",
; the others "Tunecrier-2", "Tunecrier-3" and so on; its InstallLocation (the Plugins folder)
; says whose it is.
!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define ENTRY "Tunecrier"
!define PLUGIN_DLL "gen_tunecrier.dll"
!define SETTINGS_FILE "gen_tunecrier.ini"
!define TEMPLATE_FILE "gen_tunecrier_template.txt"
!define NOT_PLAYING_FILE "gen_tunecrier_notplaying.txt"
!define UNINSTALLER "gen_tunecrier_uninstall.exe"
; Values of the entry that say which sample the setup put there, and that file's time then: a
; sample whose time has changed since is the user's now and stays.
!define TEMPLATE_MARK "SampleTemplateTime"
!define NOT_PLAYING_MARK "SampleNotPlayingTime"
; Who is signed in to the session (wtsapi32), and who runs the uninstaller (secur32).
!define WTS_CURRENT_SESSION -1
!define WTS_USER_NAME 5
!define WTS_DOMAIN_NAME 7
!define NAME_SAM_COMPATIBLE 2

; This folder's entry: the key's name under UNINSTALL_ROOT ("" in an uninstaller that has none).
Var Entry
; The Plugins folder as InstallLocation names it.
Var PluginsFolder

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup (Winamp plug-in)"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 the Tunecrier developers. MIT License."

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_TEXT "Choose ${PLAYER}'s folder"
!define MUI_PAGE_HEADER_SUBTEXT "${PRODUCT} ${VERSION} goes into its Plugins folder."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Setup will copy ${PRODUCT} into the Plugins folder of your ${PLAYER}.$\r$\n$\r$\nChoose the folder where ${PLAYER} is installed, the one that holds ${PLAYER_EXE}; Install stays unavailable until it does."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "${PLAYER} folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUCT} is installed"
!define MUI_FINISHPAGE_TEXT "Start ${PLAYER}, open Preferences, Plug-ins, General Purpose, and configure ${PRODUCT} to switch it on.$\r$\n$\r$\nA sample template, ${TEMPLATE_FILE}, is in the Plugins folder."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

; A file that cannot be written asks Retry or Cancel (silent: Cancel) instead of being skipped.
AllowSkipFiles off

; The player's folder when none was given with /D=: from the player's own registry entry, else
; from the folder of its uninstaller, else where it usually is. Only a folder that holds
; ${PLAYER_EXE} counts.
Function .onInit
  ${If} $INSTDIR != ""
    Return
  ${EndIf}
  ReadRegStr $0 HKCU "${PLAYER_KEY}" ""
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${PLAYER_EXE}"
    StrCpy $INSTDIR $0
    Return
  ${EndIf}
  ReadRegStr $0 HKLM "${PLAYER_UNINSTALL_KEY}" "UninstallString"
  ; Either "C:\...\UninstWA.exe" in quotes, perhaps with arguments after it, or a bare path.
  StrCpy $1 $0 1
  ${If} $1 == '"'
    StrCpy $0 $0 "" 1
    StrCpy $2 0
    ${Do}
      StrCpy $1 $0 1 $2
      ${IfThen} $1 == '"' ${|} ${ExitDo} ${|}
      ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
      IntOp $2 $2 + 1
    ${Loop}
    StrCpy $0 $0 $2
  ${EndIf}
  ${If} $0 != ""
    ${GetParent} $0 $0
    ${If} ${FileExists} "$0\${PLAYER_EXE}"
      StrCpy $INSTDIR $0
      Return
    ${EndIf}
  ${EndIf}
  StrCpy $INSTDIR "$PROGRAMFILES\${PLAYER}"
FunctionEnd

; Keeps Next unavailable on the directory page until the folder is the player's.
Function .onVerifyInstDir
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    Abort
  ${EndIf}
FunctionEnd

; A running player holds the DLL: the user closes it, or the setup stops. Silent: it stops.
!macro CLOSE_PLAYER un
Function ${un}ClosePlayer
  again:
    FindWindow $0 "${PLAYER_WINDOW_CLASS}"
    StrCmp $0 0 closed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PLAYER} is running. Close it, then choose Retry." /SD IDCANCEL IDRETRY again
    Abort "${PLAYER} is running."
  closed:
FunctionEnd
!macroend
!insertmacro CLOSE_PLAYER ""
!insertmacro CLOSE_PLAYER "un."

; The entry whose InstallLocation is $PluginsFolder into $Entry, else "". Paths compare without
; regard to case, as Windows names them.
!macro FIND_ENTRY un
Function ${un}FindEntry
  StrCpy $Entry ""
  StrLen $3 "${ENTRY}"
  StrCpy $1 0
  ${Do}
    EnumRegKey $2 HKLM "${UNINSTALL_ROOT}" $1
    ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
    IntOp $1 $1 + 1
    StrCpy $4 $2 $3
    ${If} $4 == "${ENTRY}"
      ReadRegStr $4 HKLM "${UNINSTALL_ROOT}\$2" "InstallLocation"
      ${If} $4 == $PluginsFolder
        StrCpy $Entry $2
        Return
      ${EndIf}
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro FIND_ENTRY ""
!insertmacro FIND_ENTRY "un."

; This folder's entry into $Entry: the one it has, else the first free key of "Tunecrier",
; "Tunecrier-2", ... (a key without values is free).
Function ChooseEntry
  Call FindEntry
  ${If} $Entry != ""
    Return
  ${EndIf}
  StrCpy $Entry "${ENTRY}"
  StrCpy $1 1
  ${Do}
    EnumRegValue $2 HKLM "${UNINSTALL_ROOT}\$Entry" 0
    ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
    IntOp $1 $1 + 1
    StrCpy $Entry "${ENTRY}-$1"
  ${Loop}
FunctionEnd

; Copies a sample beside the DLL unless a file of that name is there, and notes its time.
!macro PUT_SAMPLE file mark
  ${IfNot} ${FileExists} "$PluginsFolder\${file}"
    File "/oname=${file}" "${file}"
    GetFileTime "$PluginsFolder\${file}" $1 $2
    WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "${mark}" "$1 $2"
  ${EndIf}
!macroend

Section "-${PRODUCT}"
  ; /D= and /S bypass the directory page, so the folder is checked here once more.
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR is not a ${PLAYER} folder: it holds no ${PLAYER_EXE}." /SD IDOK
    Abort "No ${PLAYER_EXE} in $INSTDIR."
  ${EndIf}
  Call ClosePlayer
  ; One spelling of the folder for InstallLocation and the uninstaller's search for it (a
  ; folder named with a trailing backslash would otherwise give "\\Plugins");
  ; GetFullPathName answers "" for a folder that does not exist yet.
  SetOutPath "$INSTDIR\Plugins"
  GetFullPathName $PluginsFolder "$INSTDIR\Plugins"
  ${If} $PluginsFolder == ""
    StrCpy $PluginsFolder "$INSTDIR\Plugins"
  ${EndIf}
  Call ChooseEntry

  ; The DLL first: when it cannot be replaced, the setup stops (AllowSkipFiles) with this
  ; folder's entry as it was.
  File "/oname=${PLUGIN_DLL}" "${DLL}"
  !insertmacro PUT_SAMPLE "${TEMPLATE_FILE}" "${TEMPLATE_MARK}"
  !insertmacro PUT_SAMPLE "${NOT_PLAYING_FILE}" "${NOT_PLAYING_MARK}"
  ClearErrors
  WriteUninstaller "$PluginsFolder\${UNINSTALLER}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$PluginsFolder\${UNINSTALLER} could not be written." /SD IDOK
    Abort "$PluginsFolder\${UNINSTALLER} could not be written."
  ${EndIf}

  StrCpy $0 "${PRODUCT} ${VERSION} (${PLAYER} plug-in)"
  ; A second player folder's entry says which folder it is for.
  ${If} $Entry != "${ENTRY}"
    StrCpy $0 "${PRODUCT} ${VERSION} (${PLAYER} plug-in, $INSTDIR)"
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "DisplayName" $0
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "InstallLocation" $PluginsFolder
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "UninstallString" '"$PluginsFolder\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_ROOT}\$Entry" "QuietUninstallString" '"$PluginsFolder\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\$Entry" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\$Entry" "NoRepair" 1
  ${GetSize} $PluginsFolder "/M=gen_tunecrier* /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_ROOT}\$Entry" "EstimatedSize" $0
SectionEnd

; Part of un.InOwnFolders: the folder, the name any user reads it by.
!macro IN_FOLDER folder name
  ${If} $1 == 0
    StrLen $3 "${folder}"
    StrCpy $4 $0 $3
    StrCpy $5 $0 1 $3
    ${If} "${folder}" != ""
    ${AndIf} $4 == "${folder}"
    ${AndIf} $5 == "\"
      StrCpy $2 $0 "" $3
      StrCpy $2 "${name}$2"
      StrCpy $1 1
    ${EndIf}
  ${EndIf}
!macroend

; Part of un.RunsAsSignedInUser: the session's text of the kind given into the variable out,
; "" when it has none.
!macro SESSION_TEXT kind out
  StrCpy ${out} ""
  System::Call 'wtsapi32::WTSQuerySessionInformationW(p 0, i ${WTS_CURRENT_SESSION}, i ${kind}, *p .r3, *i .r4) i .r2'
  ${If} $2 <> 0
    System::Call 'kernel32::lstrcpynW(w .r4, p r3, i ${NSIS_MAX_STRLEN})'
    System::Call 'wtsapi32::WTSFreeMemory(p r3)'
    StrCpy ${out} $4
  ${EndIf}
!macroend

; Removes a sample the setup put there, unless the user has changed it since. Needs $Entry.
!macro REMOVE_SAMPLE file mark
  ReadRegStr $0 HKLM "${UNINSTALL_ROOT}\$Entry" "${mark}"
  ${If} $0 != ""
    ClearErrors
    GetFileTime "$INSTDIR\${file}" $1 $2
    ${IfNot} ${Errors}
    ${AndIf} $0 == "$1 $2"
      Delete "$INSTDIR\${file}"
    ${EndIf}
  ${EndIf}
!macroend

Section "un.${PRODUCT}"
  SectionIn RO
  Call un.ClosePlayer
  ClearErrors
  Delete "$INSTDIR\${PLUGIN_DLL}"
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR\${PLUGIN_DLL} could not be removed." /SD IDOK
    Abort "$INSTDIR\${PLUGIN_DLL} could not be removed."
  ${EndIf}
  ; Only this folder's entry goes, and with none found the samples stay: nothing says they
  ; are the setup's.
  GetFullPathName $PluginsFolder $INSTDIR
  ${If} $PluginsFolder == ""
    StrCpy $PluginsFolder $INSTDIR
  ${EndIf}
  Call un.FindEntry
  ${If} $Entry != ""
    !insertmacro REMOVE_SAMPLE "${TEMPLATE_FILE}" "${TEMPLATE_MARK}"
    !insertmacro REMOVE_SAMPLE "${NOT_PLAYING_FILE}" "${NOT_PLAYING_MARK}"
    DeleteRegKey HKLM "${UNINSTALL_ROOT}\$Entry"
  ${EndIf}
SectionEnd

; Said by un.RunsAsSignedInUser, for the message about settings left in place.
Var SignedIn
Var SignedInUser
Var RunningUser
; The places of the settings files left, one a line, as any user finds theirs ("%APPDATA%\...").
Var Kept

Section /o "un.Also my settings" un.AlsoSettings
  Delete "$INSTDIR\${SETTINGS_FILE}"
  Call un.RunsAsSignedInUser
  StrCpy $Kept ""
  Call un.PlayerSettingsFolder
  StrCpy $0 "$0\${SETTINGS_FILE}"
  Call un.RemoveSettingsFile
  ; The usual place of per-user settings, whatever paths.ini says today.
  StrCpy $0 "$APPDATA\${PLAYER_SETTINGS_DIR}\${SETTINGS_FILE}"
  Call un.RemoveSettingsFile
  ${If} $Kept != ""
    ${If} $SignedInUser == ""
      StrCpy $SignedInUser "nobody"
    ${EndIf}
    DetailPrint "Settings left in place, in each user's own folders:$Kept"
    MessageBox MB_OK|MB_ICONINFORMATION "This uninstaller runs as $RunningUser, not as the user signed in to Windows ($SignedInUser), so it has left the ${PRODUCT} settings kept in each user's own folders. Each user who used ${PRODUCT} finds them at:$Kept$\r$\n$\r$\nand may delete them." /SD IDOK
  ${EndIf}
SectionEnd

; Removes the settings file $0, unless it lies in the running user's own folders and that user
; is not the one signed in: an administrator's elevated uninstaller would otherwise remove its
; own file and leave the user's. A file left adds its place to $Kept.
Function un.RemoveSettingsFile
  Call un.InOwnFolders
  ${If} $1 == 1
  ${AndIf} $SignedIn != 1
    ${IfNot} ${FileExists} $0
      Return
    ${EndIf}
    ; paths.ini's folder may be the usual one: one line each.
    StrLen $3 $2
    IntOp $3 $3 + 2
    StrCpy $4 $Kept $3
    ${If} $4 != "$\r$\n$2"
      StrCpy $Kept "$Kept$\r$\n$2"
    ${EndIf}
    Return
  ${EndIf}
  Delete $0
FunctionEnd

; $1 = 1 when the path $0 lies in the running user's own folders (roaming or local application
; data, or the profile), with $2 the path as any user's (from "%APPDATA%" and so on); else
; $1 = 0.
Function un.InOwnFolders
  StrCpy $1 0
  !insertmacro IN_FOLDER "$APPDATA" "%APPDATA%"
  !insertmacro IN_FOLDER "$LOCALAPPDATA" "%LOCALAPPDATA%"
  !insertmacro IN_FOLDER "$PROFILE" "%USERPROFILE%"
FunctionEnd

; $SignedIn = 1 when this uninstaller runs as the user signed in to its session, else 0 (an
; administrator who elevated it for another user, a service or deployment account, a session
; nobody is signed in to). $SignedInUser and $RunningUser: both as DOMAIN\name.
Function un.RunsAsSignedInUser
  StrCpy $SignedIn 0
  StrCpy $SignedInUser ""
  System::Call 'secur32::GetUserNameExW(i ${NAME_SAM_COMPATIBLE}, w .r1, *i ${NSIS_MAX_STRLEN}) i .r2'
  ${If} $2 = 0
    StrCpy $1 ""
  ${EndIf}
  StrCpy $RunningUser $1
  !insertmacro SESSION_TEXT ${WTS_USER_NAME} $5
  !insertmacro SESSION_TEXT ${WTS_DOMAIN_NAME} $6
  ${If} $5 != ""
    StrCpy $SignedInUser "$6\$5"
    ${If} $SignedInUser == $RunningUser
      StrCpy $SignedIn 1
    ${EndIf}
  ${EndIf}
FunctionEnd

; The uninstaller's last step, after the chosen ones: it runs on from a copy of itself, and its
; original going is the sign that it is done.
Section "-un.Done"
  Delete "$INSTDIR\${UNINSTALLER}"
SectionEnd

; The folder the player keeps its own settings in, into $0: the inidir of its paths.ini, with
; a leading {N} made the shell's folder N and a relative path taken from the player's folder;
; else the player's folder itself. ($INSTDIR is the Plugins folder.)
Function un.PlayerSettingsFolder
  ${GetParent} "$INSTDIR" $1
  ReadINIStr $0 "$1\${PLAYER_PATHS_FILE}" "Winamp" "inidir"
  ${If} $0 == ""
    StrCpy $0 $1
    Return
  ${EndIf}
  StrCpy $2 $0 1
  ${If} $2 == "{"
    StrCpy $3 1
    ${Do}
      StrCpy $2 $0 1 $3
      ${IfThen} $2 == "}" ${|} ${ExitDo} ${|}
      ${IfThen} $2 == "" ${|} ${ExitDo} ${|}
      IntOp $3 $3 + 1
    ${Loop}
    ${If} $2 != "}"
      StrCpy $0 $1
      Return
    ${EndIf}
    IntOp $4 $3 - 1
    StrCpy $4 $0 $4 1
    IntOp $3 $3 + 1
    StrCpy $5 $0 "" $3
    System::Call 'shell32::SHGetSpecialFolderPath(p 0, t .r6, i r4, i 0) i .r7'
    ${If} $7 == 0
      StrCpy $0 $1
      Return
    ${EndIf}
    StrCpy $0 "$6$5"
    Return
  ${EndIf}
  ; A path of its own starts with a drive ("C:") or a backslash ("\\server", "\folder").
  StrCpy $2 $0 1 1
  StrCpy $3 $0 1
  ${If} $2 != ":"
  ${AndIf} $3 != "\"
    StrCpy $0 "$1\$0"
  ${EndIf}
FunctionEnd

; /REMOVESETTINGS: "Also my settings and the sample files" is chosen, silent or not.
Function un.onInit
  ${un.GetParameters} $0
  ClearErrors
  ${un.GetOptions} $0 "/REMOVESETTINGS" $1
  ${IfNot} ${Errors}
    SectionSetFlags ${un.AlsoSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
