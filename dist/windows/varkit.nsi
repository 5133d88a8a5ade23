; The Windows installer of varkit, made by scripts/dist-windows.sh:
;   makensis -DVERSION=x.y.z -DPROGRAMS=<folder of the .exe files and README.txt>
;            -DPATH_ENTRY=<path_entry.exe> -DOUTPUT=<installer> varkit.nsi
; It puts the six programs under Program Files for every user (or, run
; without administrator rights or with /CurrentUser, in the user's own
; programs folder), adds that folder to the system's (or the user's) PATH and
; registers an uninstaller in Apps & features. /S installs and uninstalls
; without asking.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\varkit"

!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_INSTALLMODE_INSTDIR "varkit"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "UninstallString"
!include MultiUser.nsh
!include LogicLib.nsh

Name "varkit ${VERSION}"
OutFile "${OUTPUT}"
ShowInstDetails show
ShowUninstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!macro PROGRAM_FILES action
    ${action} "$INSTDIR\Varlook.exe"
    ${action} "$INSTDIR\Plaincast.exe"
    ${action} "$INSTDIR\Plainpress.exe"
    ${action} "$INSTDIR\Pixelcast.exe"
    ${action} "$INSTDIR\Pixelpress.exe"
    ${action} "$INSTDIR\Quillcast.exe"
    ${action} "$INSTDIR\README.txt"
!macroend

; The PATH of every user or of this one, as the install mode says; the
; helper edits it entry by entry, whatever its length.
!macro EDIT_PATH action
    InitPluginsDir
    File "/oname=$PLUGINSDIR\path_entry.exe" "${PATH_ENTRY}"
    ${If} $MultiUser.InstallMode == "AllUsers"
        nsExec::Exec '"$PLUGINSDIR\path_entry.exe" ${action} "$INSTDIR" system'
    ${Else}
        nsExec::Exec '"$PLUGINSDIR\path_entry.exe" ${action} "$INSTDIR" user'
    ${EndIf}
    Pop $0
    ${If} $0 != 0
        DetailPrint "The PATH could not be changed: $INSTDIR must be added or removed by hand."
    ${EndIf}
!macroend

Function .onInit
    !insertmacro MULTIUSER_INIT
FunctionEnd

Function un.onInit
    !insertmacro MULTIUSER_UNINIT
FunctionEnd

Section "varkit"
    SetOutPath "$INSTDIR"
    File "${PROGRAMS}\Varlook.exe"
    File "${PROGRAMS}\Plaincast.exe"
    File "${PROGRAMS}\Plainpress.exe"
    File "${PROGRAMS}\Pixelcast.exe"
    File "${PROGRAMS}\Pixelpress.exe"
    File "${PROGRAMS}\Quillcast.exe"
    File "${PROGRAMS}\README.txt"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "varkit"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "varkit developers"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" \
        '"$INSTDIR\uninstall.exe" /$MultiUser.InstallMode /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
    SectionGetSize 0 $0
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" $0

    !insertmacro EDIT_PATH add
SectionEnd

Section "Uninstall"
    !insertmacro EDIT_PATH remove
    !insertmacro PROGRAM_FILES Delete
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
