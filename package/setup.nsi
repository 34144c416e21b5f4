; The Tunecrier setup: puts gen_tunecrier.dll into the Plugins folder of a Winamp installation,
; with the sample template and "Not Playing" file beside it where none are there yet, and
; writes an uninstaller with its entry in Add/Remove Programs.
;
; The plug-in keeps its settings beside the DLL, or, where the user cannot write there, in the
; folder the player keeps its own settings in; the uninstaller's "Also my settings" removes
; both (/REMOVESETTINGS selects it, also with /S).
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
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunecrier"
!define PLUGIN_DLL "gen_tunecrier.dll"
!define SETTINGS_FILE "gen_tunecrier.ini"
!define TEMPLATE_FILE "gen_tunecrier_template.txt"
!define NOT_PLAYING_FILE "gen_tunecrier_notplaying.txt"
!define UNINSTALLER "gen_tunecrier_uninstall.exe"
; Values of UNINSTALL_KEY that say which sample the setup put there, and that file's time then:
; a sample whose time has changed since is the user's now and stays.
!define TEMPLATE_MARK "SampleTemplateTime"
!define NOT_PLAYING_MARK "SampleNotPlayingTime"

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

; Copies a sample beside the DLL unless a file of that name is there, and notes its time.
!macro PUT_SAMPLE file mark
  ${IfNot} ${FileExists} "$INSTDIR\Plugins\${file}"
    File "/oname=${file}" "${file}"
    GetFileTime "$INSTDIR\Plugins\${file}" $1 $2
    WriteRegStr HKLM "${UNINSTALL_KEY}" "${mark}" "$1 $2"
  ${EndIf}
!macroend

Section "-${PRODUCT}"
  ; /D= and /S bypass the directory page, so the folder is checked here once more.
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_OK|MB_ICONSTOP "$INSTDIR is not a ${PLAYER} folder: it holds no ${PLAYER_EXE}." /SD IDOK
    Abort "No ${PLAYER_EXE} in $INSTDIR."
  ${EndIf}
  Call ClosePlayer

  SetOutPath "$INSTDIR\Plugins"
  File "/oname=${PLUGIN_DLL}" "${DLL}"
  !insertmacro PUT_SAMPLE "${TEMPLATE_FILE}" "${TEMPLATE_MARK}"
  !insertmacro PUT_SAMPLE "${NOT_PLAYING_FILE}" "${NOT_PLAYING_MARK}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} ${VERSION} (${PLAYER} plug-in)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR\Plugins" "/M=gen_tunecrier* /S=0K /G=0" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; Removes a sample the setup put there, unless the user has changed it since.
!macro REMOVE_SAMPLE file mark
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "${mark}"
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
  !insertmacro REMOVE_SAMPLE "${TEMPLATE_FILE}" "${TEMPLATE_MARK}"
  !insertmacro REMOVE_SAMPLE "${NOT_PLAYING_FILE}" "${NOT_PLAYING_MARK}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Also my settings and the sample files" un.AlsoSettings
  Delete "$INSTDIR\${SETTINGS_FILE}"
  Delete "$INSTDIR\${TEMPLATE_FILE}"
  Delete "$INSTDIR\${NOT_PLAYING_FILE}"
  Call un.PlayerSettingsFolder
  Delete "$0\${SETTINGS_FILE}"
  ; The usual place of per-user settings, whatever paths.ini says today.
  Delete "$APPDATA\${PLAYER_SETTINGS_DIR}\${SETTINGS_FILE}"
SectionEnd

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
