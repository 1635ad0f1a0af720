; The Fotoloft installer: puts Fotoloft.dll in place and registers it for the current user
; (the default) or, with /ALLUSERS, for the machine; writes the list of sites allowed to drive
; the control with /SITES=host1;*.host2; and leaves an uninstaller that takes away every file
; and registry key it wrote.
;
;   makensis -DDLL=path/Fotoloft.dll [-DVERSION=2.8.29.51372] [-DOUTFILE=setup.exe] Fotoloft.nsi
;
; Command line of the installer (letter case ignored):
;   /S                 silent
;   /ALLUSERS          for every user of the machine (needs an administrator)
;   /SITES=a.com;*.b.com   the sites that may drive the control (empty: every site)
;   /D=C:\Folder       the install folder (last on the line, without quotes)
; Exit code 0 when installed; 2 when the installation failed; 740 when /ALLUSERS was given
; without administrator rights.
;
; Registration runs the system's regsvr32 on the installed DLL: plain for the machine,
; /n /i:user (the DLL's DllInstall with "user") for the current user; the uninstaller runs
; the same with /u. Installing over an earlier version in another folder runs that version's
; uninstaller first and keeps its site list unless /SITES gives a new one.

Unicode true
!ifndef DLL
  !error "give the DLL to package: makensis -DDLL=path/Fotoloft.dll Fotoloft.nsi"
!endif
!ifndef VERSION
  !define VERSION "2.8.29.51372"
!endif
!ifndef OUTFILE
  !define OUTFILE "Fotoloft-${VERSION}-setup.exe"
!endif

!define PRODUCT "Fotoloft"
!define PUBLISHER "Vantor"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Fotoloft"
!define SETTINGS_KEY "Software\Vantor\Fotoloft"
!define SITES_VALUE "AllowedSites"
!define STATE_FILE "install.ini"
!define ERROR_ELEVATION_REQUIRED 740

!include LogicLib.nsh
!include FileFunc.nsh

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir ""
RequestExecutionLevel user
SetCompressor /SOLID lzma
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Var Scope       ; "user" or "machine"
Var Sites       ; the site list to write
Var WriteSites  ; 1 when the installer writes the site list

!macro RequireAdministrator
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "Admin"
    MessageBox MB_ICONSTOP "Installing ${PRODUCT} for every user needs an administrator." /SD IDOK
    SetErrorLevel ${ERROR_ELEVATION_REQUIRED}
    Quit
  ${EndIf}
!macroend

!macro Fail TEXT
  DetailPrint "${TEXT}"
  MessageBox MB_ICONSTOP "${TEXT}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

Function .onInit
  ${GetParameters} $R0
  StrCpy $Scope "user"
  ClearErrors
  ${GetOptions} $R0 "/ALLUSERS" $R1
  ${IfNot} ${Errors}
    StrCpy $Scope "machine"
  ${EndIf}
  StrCpy $WriteSites 0
  ClearErrors
  ${GetOptions} $R0 "/SITES=" $Sites
  ${IfNot} ${Errors}
    StrCpy $WriteSites 1
  ${EndIf}

  ${If} $Scope == "machine"
    !insertmacro RequireAdministrator
    SetShellVarContext all
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
  ${Else}
    SetShellVarContext current
    ${If} $INSTDIR == ""
      StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${PRODUCT}"
    ${EndIf}
  ${EndIf}
FunctionEnd

; An earlier installation of the same scope in another folder is uninstalled first, so that
; no registration or file of it stays behind; its site list is carried over.
Function RemoveEarlierInstallation
  ReadRegStr $R0 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == ""
  ${OrIfNot} ${FileExists} "$R0\uninstall.exe"
    Return
  ${EndIf}
  ${If} $WriteSites == 0
    ReadINIStr $R1 "$R0\${STATE_FILE}" "${PRODUCT}" "Sites"
    ${If} $R1 == 1
      ReadRegStr $Sites SHCTX "${SETTINGS_KEY}" "${SITES_VALUE}"
      StrCpy $WriteSites 1
    ${EndIf}
  ${EndIf}
  ${If} $R0 == $INSTDIR
    Return  ; the files are replaced and registered again in place
  ${EndIf}
  DetailPrint "Removing the earlier installation in $R0"
  ; _?= runs the uninstaller in place, so that this waits for it.
  ExecWait '"$R0\uninstall.exe" /S _?=$R0' $R2
  ${If} $R2 != 0
    !insertmacro Fail "The earlier installation in $R0 could not be removed (code $R2)."
  ${EndIf}
  Delete "$R0\uninstall.exe"
  RMDir "$R0"
FunctionEnd

Function Register
  ${If} $Scope == "machine"
    ExecWait '"$SYSDIR\regsvr32.exe" /s "$INSTDIR\Fotoloft.dll"' $R0
  ${Else}
    ExecWait '"$SYSDIR\regsvr32.exe" /s /n /i:user "$INSTDIR\Fotoloft.dll"' $R0
  ${EndIf}
  ${If} $R0 != 0
    ; Nothing half-installed stays behind.
    Delete "$INSTDIR\Fotoloft.dll"
    Delete "$INSTDIR\${STATE_FILE}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    !insertmacro Fail "Registering $INSTDIR\Fotoloft.dll failed (code $R0)."
  ${EndIf}
FunctionEnd

Section "${PRODUCT}"
  Call RemoveEarlierInstallation
  SetOutPath "$INSTDIR"
  ; A browser that holds the old DLL open keeps it loaded; a loaded DLL can still be renamed.
  ${If} ${FileExists} "$INSTDIR\Fotoloft.dll"
    Delete "$INSTDIR\Fotoloft.dll.old"
    Rename "$INSTDIR\Fotoloft.dll" "$INSTDIR\Fotoloft.dll.old"
  ${EndIf}
  ClearErrors
  File "/oname=Fotoloft.dll" "${DLL}"
  ${If} ${Errors}
    !insertmacro Fail "$INSTDIR\Fotoloft.dll could not be written."
  ${EndIf}
  Delete /REBOOTOK "$INSTDIR\Fotoloft.dll.old"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteINIStr "$INSTDIR\${STATE_FILE}" "${PRODUCT}" "Scope" "$Scope"
  WriteINIStr "$INSTDIR\${STATE_FILE}" "${PRODUCT}" "Sites" "$WriteSites"
  Call Register

  ${If} $WriteSites == 1
    WriteRegStr SHCTX "${SETTINGS_KEY}" "${SITES_VALUE}" "$Sites"
  ${EndIf}

  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $R0 $R1 $R2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $R0
SectionEnd

Function un.onInit
  ReadINIStr $Scope "$INSTDIR\${STATE_FILE}" "${PRODUCT}" "Scope"
  ${If} $Scope == "machine"
    !insertmacro RequireAdministrator
    SetShellVarContext all
  ${Else}
    StrCpy $Scope "user"
    SetShellVarContext current
  ${EndIf}
FunctionEnd

Section "Uninstall"
  ${If} ${FileExists} "$INSTDIR\Fotoloft.dll"
    ${If} $Scope == "machine"
      ExecWait '"$SYSDIR\regsvr32.exe" /s /u "$INSTDIR\Fotoloft.dll"' $R0
    ${Else}
      ExecWait '"$SYSDIR\regsvr32.exe" /s /u /n /i:user "$INSTDIR\Fotoloft.dll"' $R0
    ${EndIf}
    ${If} $R0 != 0
      DetailPrint "Unregistering $INSTDIR\Fotoloft.dll failed (code $R0)."
    ${EndIf}
  ${EndIf}

  ReadINIStr $R1 "$INSTDIR\${STATE_FILE}" "${PRODUCT}" "Sites"
  ${If} $R1 == 1
    DeleteRegValue SHCTX "${SETTINGS_KEY}" "${SITES_VALUE}"
  ${EndIf}
  DeleteRegKey /ifempty SHCTX "${SETTINGS_KEY}"
  DeleteRegKey /ifempty SHCTX "Software\Vantor"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"

  Delete /REBOOTOK "$INSTDIR\Fotoloft.dll"
  Delete /REBOOTOK "$INSTDIR\Fotoloft.dll.old"
  Delete "$INSTDIR\${STATE_FILE}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir /REBOOTOK "$INSTDIR"
SectionEnd
