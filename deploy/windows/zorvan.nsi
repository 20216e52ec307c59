; The toolbox's Windows installer, made by scripts/zorvan windows from the portable folder.
; Defines from the command line: VERSION, STAGE (the portable folder), FILES (its Delete lines for
; the uninstaller), ICON and OUTFILE.
; A 64-bit installer for 64-bit programs: it also runs where only 64-bit Wine is installed.
Target amd64-unicode
SetCompressor /SOLID lzma

!include MUI2.nsh
!include LogicLib.nsh
!include StrFunc.nsh
!include WinMessages.nsh

!define APPNAME "Zorvan站长工具箱"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zorvan"

Name "${APPNAME}"
OutFile "${OUTFILE}"
; Per user, without administrator rights: the programs under the user's local programs folder.
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Zorvan"
InstallDirRegKey HKCU "Software\Zorvan" "InstallDir"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=2052 "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=2052 "FileDescription" "${APPNAME} 安装程序"
VIAddVersionKey /LANG=2052 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=2052 "LegalCopyright" "Zorvan"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\zorvan.exe"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

${StrStr}
${UnStrRep}

Section "${APPNAME}" SecMain
  SectionIn RO
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\zorvan.exe" "" "$INSTDIR\zorvan.exe" 0
  WriteRegStr HKCU "Software\Zorvan" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Zorvan"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zorvan.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; zorvan-cli.exe on the user's PATH. A PATH longer than NSIS can hold is left as it is rather than
; written back cut short.
Section /o "将 zorvan-cli.exe 加入 PATH" SecPath
  ReadRegStr $0 HKCU "Environment" "Path"
  StrLen $1 $0
  ${If} $1 >= ${NSIS_MAX_STRLEN}
    DetailPrint "PATH 过长，未修改"
    Return
  ${EndIf}
  ${StrStr} $2 "$0" "$INSTDIR"
  ${If} $2 == ""
    ${If} $0 == ""
      WriteRegExpandStr HKCU "Environment" "Path" "$INSTDIR"
    ${Else}
      WriteRegExpandStr HKCU "Environment" "Path" "$0;$INSTDIR"
    ${EndIf}
    WriteRegDWORD HKCU "Software\Zorvan" "OnPath" 1
    SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  ${EndIf}
SectionEnd

; What was installed goes; config.ini, history.txt and the rest of the user's files stay (in
; %APPDATA%\zorvan, or beside the programs if the user put them there).
Section "Uninstall"
  SetShellVarContext current
  !include "${FILES}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APPNAME}.lnk"
  ReadRegDWORD $0 HKCU "Software\Zorvan" "OnPath"
  ${If} $0 == 1
    ReadRegStr $1 HKCU "Environment" "Path"
    StrLen $2 $1
    ${If} $2 < ${NSIS_MAX_STRLEN}
      ${UnStrRep} $1 "$1" ";$INSTDIR" ""
      ${UnStrRep} $1 "$1" "$INSTDIR" ""
      WriteRegExpandStr HKCU "Environment" "Path" "$1"
      SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
    ${EndIf}
  ${EndIf}
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Zorvan"
SectionEnd
