; Duskpanel's installer. The build makes it (package/CMakeLists.txt, target "installer") with
;   makensis -DVERSION=2.0 -DVERSION_QUAD=2.0.0.0 -DARCH=x64|x86 -DBINDIR=<programs>
;            -DLANGDIR=<Languages tree> -DSOURCEDIR=<source tree> -DOUTFILE=<installer> duskpanel.nsi
; x64 is the 64-bit installer of the x86_64 programs, x86 the 32-bit one of the i686 programs;
; each writes HKEY_LOCAL_MACHINE in the registry view its programs read.
;
; Switches: /S installs or uninstalls silently (the update program passes it);
; /D=<folder> (last on the line) chooses the folder; the uninstaller's /REMOVESETTINGS also
; removes the user's settings, which a silent uninstall otherwise keeps.
; Exit codes beyond NSIS's own, each with nothing changed: 3 Duskpanel or Renewick still ran,
; 4 a newer version is installed, 5 the x64 setup on a 32-bit Windows, 6 the other
; architecture's Duskpanel is installed.

Unicode true
!if "${ARCH}" == "x64"
    Target amd64-unicode
    !define PROGRAM_FILES "$PROGRAMFILES64"
!else
    Target x86-unicode
    !define PROGRAM_FILES "$PROGRAMFILES32"
!endif

!define PRODUCT "Duskpanel"
!define VENDOR "Nerovane"
!define PRODUCT_KEY "Software\Nerovane\Duskpanel"
!define UPDATER_KEY "Software\Nerovane\Renewick"
!define VENDOR_KEY "Software\Nerovane"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Duskpanel"
!define HOME_URL "https://www.example.com/duskpanel/"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "${PROGRAM_FILES}\${VENDOR}\${PRODUCT}"
; An earlier installation's folder (the installer reads the view its programs read).
InstallDirRegKey HKLM "${PRODUCT_KEY}" "Setup Path"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
; A file that cannot be written offers Retry and Cancel only: never a product half replaced.
AllowSkipFiles off
BrandingText "${VENDOR} ${PRODUCT} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "CompanyName" "${VENDOR}"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} Setup (${ARCH})"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2010-${YEAR} ${VENDOR}"

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include x64.nsh

!define MUI_ICON "${SOURCEDIR}\ui\duskpanel.ico"
!define MUI_UNICON "${SOURCEDIR}\ui\duskpanel.ico"
!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This will install ${PRODUCT} ${VERSION}, the energy-saving screen saver for notebooks, with its update program Renewick.$\r$\n$\r$\nWhen the screen saver starts, ${PRODUCT} lowers the LCD backlight instead of drawing a picture, and puts the brightness back when you return.$\r$\n$\r$\nYour settings from an earlier version are kept.$\r$\n$\r$\n$_CLICK"
!define MUI_FINISHPAGE_TEXT "${PRODUCT} ${VERSION} is installed.$\r$\n$\r$\nChoose its brightness levels in the system's screen saver settings (${PRODUCT}, Settings).$\r$\n$\r$\nClick Finish to close this wizard."
!define MUI_FINISHPAGE_LINK "${PRODUCT} on the web"
!define MUI_FINISHPAGE_LINK_LOCATION "${HOME_URL}"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; --- programs in use -------------------------------------------------------------------------
; A program that runs (the saver, its settings, Renewick) cannot be replaced or removed. Renewick
; starts the new setup and then ends, so its file is free a moment later: wait a little first,
; then ask (a silent run waits longer and gives up with nothing changed). Nothing is ended by force.
!macro WAIT_UNTIL_PROGRAMS_ARE_FREE un
Function ${un}ProgramFileInUse
    ; $0: file; sets $1 to 1 when it exists and cannot be opened for writing.
    StrCpy $1 0
    ${If} ${FileExists} "$0"
        ClearErrors
        FileOpen $2 "$0" a
        ${If} ${Errors}
            StrCpy $1 1
        ${Else}
            FileClose $2
        ${EndIf}
    ${EndIf}
FunctionEnd

Function ${un}WaitUntilProgramsAreFree
    StrCpy $3 0
    ${Do}
        StrCpy $0 "$INSTDIR\Duskpanel.scr"
        Call ${un}ProgramFileInUse
        StrCpy $4 $1
        StrCpy $0 "$INSTDIR\Renewick.exe"
        Call ${un}ProgramFileInUse
        IntOp $4 $4 | $1
        ${If} $4 == 0
            Return
        ${EndIf}
        IntOp $3 $3 + 1
        ${If} $3 == 1
            DetailPrint "Waiting for ${PRODUCT} and Renewick to end..."
        ${EndIf}
        ${If} ${Silent}
            ${If} $3 > 120
                DetailPrint "${PRODUCT} or Renewick is still running: nothing was changed."
                SetErrorLevel 3
                Quit
            ${EndIf}
        ${ElseIf} $3 > 6
            MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${PRODUCT} or its update program Renewick is still running, so its files cannot be replaced.$\r$\n$\r$\nEnd the screen saver (move the mouse), close the ${PRODUCT} settings and Renewick, then click Retry.$\r$\nCancel stops here and changes nothing." IDRETRY retry
            DetailPrint "Stopped: ${PRODUCT} or Renewick is still running. Nothing was changed."
            SetErrorLevel 3
            Abort
retry:
            StrCpy $3 0
        ${EndIf}
        Sleep 500
    ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_UNTIL_PROGRAMS_ARE_FREE ""
!insertmacro WAIT_UNTIL_PROGRAMS_ARE_FREE "un."

; --- the per-user screen-saver step --------------------------------------------------------
; $1: the exit code of "Duskpanel.scr /~user-step ..." (ExecWait sets the error flag when it
; could not start it). Codes 2 and 3 changed nobody's screen saver; 4 to 6 may have changed
; only the desktop user's.
!macro PRINT_USER_STEP_RESULT done
    ${If} ${Errors}
        DetailPrint "The screen saver step could not be started: the screen saver was not changed."
    ${ElseIf} $1 == 0
        DetailPrint "${done}."
    ${ElseIf} $1 == 1
        DetailPrint "Keeping the screen saver the user chose."
    ${ElseIf} $1 == 2
        DetailPrint "No desktop user was found: the screen saver was not changed."
    ${ElseIf} $1 == 3
        DetailPrint "The desktop user's session could not be reached: the screen saver was not changed."
    ${ElseIf} $1 == 4
        DetailPrint "The screen saver step in the desktop user's session did not end in time."
    ${ElseIf} $1 == 6
        DetailPrint "The screen saver step ran in the desktop user's session."
    ${Else}
        DetailPrint "The screen saver step did not complete (code $1)."
    ${EndIf}
!macroend

; --- install ---------------------------------------------------------------------------------
!macro LANGUAGE_FILE abbr source
    SetOutPath "$INSTDIR\Languages\${abbr}"
    File "/oname=Duskpanel.ini" "${LANGDIR}\${source}\Duskpanel.ini"
!macroend

Section "${PRODUCT} (required)" SecProgram
    SectionIn RO
    Call WaitUntilProgramsAreFree
    SetOutPath "$INSTDIR"
    File "${BINDIR}\Duskpanel.scr"
    File "${BINDIR}\Renewick.exe"
    File "${SOURCEDIR}\package\URLinfo.ini"
    !insertmacro LANGUAGE_FILE ENU ENU
    !insertmacro LANGUAGE_FILE CHS CHS
    !insertmacro LANGUAGE_FILE DEU DEU
    !insertmacro LANGUAGE_FILE FRA FRA
    !insertmacro LANGUAGE_FILE ESP ESP
    !insertmacro LANGUAGE_FILE ESN ESP
    !insertmacro LANGUAGE_FILE JPN JPN
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    WriteRegStr HKLM "${PRODUCT_KEY}" "Setup Path" "$INSTDIR"
    WriteRegStr HKLM "${UPDATER_KEY}" "Setup Path" "$INSTDIR"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VENDOR}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Duskpanel.scr,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "URLInfoAbout" "${HOME_URL}"
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    IntFmt $0 "0x%08X" $0
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Var InstalledVersion ; of the installation this one goes over; empty for a first install

Section "Use as screen saver" SecScreenSaver
    ; The screen saver is a setting of the desktop's user. This installer runs elevated, and
    ; when an administrator's password elevated it, as that administrator: the saver's per-user
    ; step finds the desktop's user and, for another account, runs in that user's session,
    ; unelevated. It decides there, from that user's settings, whether a silent update (Renewick's)
    ; keeps a screen saver the user has chosen since: Duskpanel is selected again only when it
    ; still is the one in use. The saver keeps the previous screen saver's settings, for the
    ; uninstaller to put back.
    StrCpy $0 "install"
    ${If} ${Silent}
    ${AndIf} $InstalledVersion != ""
        StrCpy $0 "update"
    ${EndIf}
    DetailPrint "Making ${PRODUCT} the screen saver of the desktop's user"
    ClearErrors
    ExecWait '"$INSTDIR\Duskpanel.scr" /~user-step $0' $1
    !insertmacro PRINT_USER_STEP_RESULT "${PRODUCT} is the screen saver"
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "The screen saver, its update program Renewick, and its texts in six languages."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecScreenSaver} "Use ${PRODUCT} as the screen saver now. Uninstalling puts the previous one back."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

Function .onInit
    ; One architecture per machine: never beside or over the other one, whose registry view
    ; ($0 its installed version) this one would not see.
    !if "${ARCH}" == "x64"
        ${IfNot} ${RunningX64}
            ${IfNot} ${Silent}
                MessageBox MB_OK|MB_ICONSTOP "This is the setup of the 64-bit ${PRODUCT}, and this Windows is a 32-bit one.$\r$\n$\r$\nUse Duskpanel-Setup-${VERSION}-x86.exe instead."
            ${EndIf}
            SetErrorLevel 5
            Quit
        ${EndIf}
        SetRegView 32
        ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
        SetRegView 64
        StrCpy $1 "32-bit"
    !else
        StrCpy $0 ""
        ${If} ${RunningX64}
            SetRegView 64
            ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
            SetRegView 32
        ${EndIf}
        StrCpy $1 "64-bit"
    !endif
    ${If} $0 != ""
        ${IfNot} ${Silent}
            MessageBox MB_OK|MB_ICONSTOP "The $1 ${PRODUCT} $0 is installed on this computer. Uninstall it first: one architecture replaces the other only that way.$\r$\n$\r$\nNothing was changed."
        ${EndIf}
        SetErrorLevel 6
        Quit
    ${EndIf}
    ; Never over a newer version: an old setup (replayed, or started by mistake) changes nothing.
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" "DisplayVersion"
    StrCpy $InstalledVersion $0
    ${If} $0 != ""
        ${VersionCompare} "$0" "${VERSION}" $1
        ${If} $1 == 1
            ${IfNot} ${Silent}
                MessageBox MB_OK|MB_ICONSTOP "${PRODUCT} $0 is installed, which is newer than this setup (${VERSION}).$\r$\n$\r$\nNothing was changed."
            ${EndIf}
            SetErrorLevel 4
            Quit
        ${EndIf}
    ${EndIf}
FunctionEnd

; --- uninstall -------------------------------------------------------------------------------
Section "un.${PRODUCT}" SecUnProgram
    SectionIn RO
    Call un.WaitUntilProgramsAreFree
    ; Put the desktop user's previous screen saver back while the saver and its record of it
    ; are still here, but only when Duskpanel is still that user's saver: a later choice stays.
    ; The step waits for its run in the user's session: the files go right after.
    DetailPrint "Putting the previous screen saver of the desktop's user back"
    ClearErrors
    ExecWait '"$INSTDIR\Duskpanel.scr" /~user-step uninstall' $1
    !insertmacro PRINT_USER_STEP_RESULT "The previous screen saver is back"
    ; "Remove my settings" for the desktop's user, by the same route, while the saver is still
    ; here to run it; after the step above, which reads its record in the user's profile key.
    Call un.RemoveUserSettingsWhenChosen

    Delete "$INSTDIR\Duskpanel.scr"
    Delete "$INSTDIR\Renewick.exe"
    Delete "$INSTDIR\URLinfo.ini"
    !macro REMOVE_LANGUAGE abbr
        Delete "$INSTDIR\Languages\${abbr}\Duskpanel.ini"
        RMDir "$INSTDIR\Languages\${abbr}"
    !macroend
    !insertmacro REMOVE_LANGUAGE ENU
    !insertmacro REMOVE_LANGUAGE CHS
    !insertmacro REMOVE_LANGUAGE DEU
    !insertmacro REMOVE_LANGUAGE FRA
    !insertmacro REMOVE_LANGUAGE ESP
    !insertmacro REMOVE_LANGUAGE ESN
    !insertmacro REMOVE_LANGUAGE JPN
    RMDir "$INSTDIR\Languages"
    Delete "$INSTDIR\Uninstall.exe"
    ; Folders are removed only when empty: files the user put there stay.
    RMDir "$INSTDIR"
    GetFullPathName $0 "$INSTDIR\.."
    RMDir "$0"

    DeleteRegKey HKLM "${PRODUCT_KEY}"
    ; Renewick's entry goes only when it names this installation (another product may own it).
    ReadRegStr $0 HKLM "${UPDATER_KEY}" "Setup Path"
    ${If} $0 == "$INSTDIR"
        DeleteRegKey HKLM "${UPDATER_KEY}"
    ${EndIf}
    DeleteRegKey /ifempty HKLM "${VENDOR_KEY}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd

Section /o "un.Remove my settings" SecUnSettings
    ; The desktop user's profile key and data folder went with the step the program's section
    ; ran (un.RemoveUserSettingsWhenChosen): this account may be an administrator's. The shared
    ; data folder stays here, elevated. Only the file the saver writes, and the folders when
    ; nothing else is left in them: these folders are the users' to write, and an elevated
    ; recursive removal would follow whatever a user placed there (a junction leads anywhere).
    DetailPrint "Removing the ${PRODUCT} settings shared by all users"
    SetShellVarContext all
    Delete "$APPDATA\${VENDOR}\${PRODUCT}\Param.ini"
    RMDir "$APPDATA\${VENDOR}\${PRODUCT}"
    RMDir "$APPDATA\${VENDOR}"
    SetShellVarContext current
SectionEnd

; $1: the exit code of "Duskpanel.scr /~user-step remove-settings", as for the screen saver's step.
!macro PRINT_SETTINGS_STEP_RESULT
    ${If} ${Errors}
        DetailPrint "The settings step could not be started: no user's settings were removed."
    ${ElseIf} $1 == 0
        DetailPrint "The settings of the desktop's user are removed."
    ${ElseIf} $1 == 2
        DetailPrint "No desktop user was found: no user's settings were removed."
    ${ElseIf} $1 == 3
        DetailPrint "The desktop user's session could not be reached: no user's settings were removed."
    ${ElseIf} $1 == 4
        DetailPrint "The settings step in the desktop user's session did not end in time."
    ${ElseIf} $1 == 6
        DetailPrint "The settings step ran in the desktop user's session."
    ${Else}
        DetailPrint "Not all settings of the desktop's user could be removed (code $1)."
    ${EndIf}
!macroend

; Called by the program's section, which comes first: the step needs the saver, which that
; section removes.
Function un.RemoveUserSettingsWhenChosen
    ${IfNot} ${SectionIsSelected} ${SecUnSettings}
        Return
    ${EndIf}
    DetailPrint "Removing the ${PRODUCT} settings of the desktop's user"
    ClearErrors
    ExecWait '"$INSTDIR\Duskpanel.scr" /~user-step remove-settings' $1
    !insertmacro PRINT_SETTINGS_STEP_RESULT
FunctionEnd

!insertmacro MUI_UNFUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecUnProgram} "The programs, their texts, and their entries in the registry. The previous screen saver is put back."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecUnSettings} "Also your brightness levels and other settings, and those shared by all users of this computer. Left unticked, a later installation finds them again."
!insertmacro MUI_UNFUNCTION_DESCRIPTION_END

Function un.onInit
    !if "${ARCH}" == "x64"
        SetRegView 64
    !endif
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/REMOVESETTINGS" $1
    ${IfNot} ${Errors}
        SectionSetFlags ${SecUnSettings} ${SF_SELECTED}
    ${EndIf}
FunctionEnd
