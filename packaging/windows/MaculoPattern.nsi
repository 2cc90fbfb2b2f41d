; The Windows installer: MaculoPattern.aex into the host's common plug-ins
; folder, where the compositing host and its video-editing sibling both look,
; and the read-me, the licence and the uninstaller into a folder of their own.
; The build defines VERSION, AEX, README, LICENSE and OUTFILE.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh

!define PRODUCT "Maculo Pattern"
!define PUBLISHER "Quillfen"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\MaculoPattern"
; The host records its common plug-ins folder under its version's key.
!define HOST_KEY "SOFTWARE\Adobe\After Effects"
!define HOST_FOLDER_VALUE "CommonPluginInstallPath"
!define PLUGIN_FILE "MaculoPattern.aex"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey "LegalCopyright" "${PUBLISHER}"

; $INSTDIR is the plug-ins folder (the one the user may change);
; the read-me, licence and uninstaller go to $PROGRAMFILES64\Maculo Pattern.
!define PROGRAM_DIR "$PROGRAMFILES64\${PRODUCT}"

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_DIRECTORYPAGE_TEXT_TOP "The plug-in goes into the host's common plug-ins folder, where the compositing host and its video-editing sibling both find it. Choose another folder only if your host looks elsewhere."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "Plug-ins folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    SetRegView 64
    ; /D= on the command line sets $INSTDIR before this runs.
    ${If} $INSTDIR != ""
        Return
    ${EndIf}
    ; A reinstall goes where the last install went.
    ReadRegStr $INSTDIR HKLM "${UNINSTALL_KEY}" "PluginFolder"
    ${If} $INSTDIR != ""
        Return
    ${EndIf}
    ; Every installed version of the host names the same common folder;
    ; the last key listed (the newest version) wins.
    StrCpy $0 0
    ${Do}
        EnumRegKey $1 HKLM "${HOST_KEY}" $0
        ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
        ReadRegStr $2 HKLM "${HOST_KEY}\$1" "${HOST_FOLDER_VALUE}"
        ${IfThen} $2 != "" ${|} StrCpy $INSTDIR $2 ${|}
        IntOp $0 $0 + 1
    ${Loop}
    ${If} $INSTDIR == ""
        StrCpy $INSTDIR "$COMMONFILES64\Adobe\Common\Plug-ins\7.0\MediaCore"
    ${EndIf}
FunctionEnd

Section "Install"
    ; An earlier install is removed first, so that nothing of it stays behind
    ; where this one does not put it (another plug-ins folder, say).
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $0 != ""
    ${AndIf} ${FileExists} "$0\Uninstall.exe"
        ExecWait '"$0\Uninstall.exe" /S _?=$0'
    ${EndIf}

    ; The outermost folder on the way to the plug-ins folder that does not
    ; exist yet: the uninstaller removes the folders made here, and no others.
    StrCpy $1 $INSTDIR
    StrCpy $2 ""
    ${DoUntil} ${FileExists} "$1\*.*"
        StrCpy $2 $1
        ${GetParent} $1 $1
        ${IfThen} $1 == "" ${|} ${ExitDo} ${|}
    ${Loop}

    SetOutPath $INSTDIR
    File "/oname=${PLUGIN_FILE}" "${AEX}"

    SetOutPath "${PROGRAM_DIR}"
    File "/oname=ReadMe.txt" "${README}"
    File "/oname=License.txt" "${LICENSE}"
    WriteUninstaller "${PROGRAM_DIR}\Uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${PROGRAM_DIR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"${PROGRAM_DIR}\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"${PROGRAM_DIR}\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegStr HKLM "${UNINSTALL_KEY}" "PluginFolder" $INSTDIR
    WriteRegStr HKLM "${UNINSTALL_KEY}" "CreatedFolder" $2
    ${GetSize} "$INSTDIR" "/M=${PLUGIN_FILE} /S=0K /G=0" $3 $4 $5
    ${GetSize} "${PROGRAM_DIR}" "/S=0K /G=0" $4 $5 $6
    IntOp $3 $3 + $4
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $3
SectionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Uninstall"
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "PluginFolder"
    ReadRegStr $1 HKLM "${UNINSTALL_KEY}" "CreatedFolder"
    ${If} $0 != ""
        Delete "$0\${PLUGIN_FILE}"
        ; The folders the installer made, innermost first, each only if empty.
        ${If} $1 != ""
            ${Do}
                RMDir $0
                ${IfThen} $0 == $1 ${|} ${ExitDo} ${|}
                ${GetParent} $0 $0
                ${IfThen} $0 == "" ${|} ${ExitDo} ${|}
            ${Loop}
        ${EndIf}
    ${EndIf}

    Delete "$INSTDIR\ReadMe.txt"
    Delete "$INSTDIR\License.txt"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
