; The Windows installer: one setup program that puts the 64-bit DLL into the
; folder where 64-bit hosts look for VST 2 plugins and the 32-bit DLL into the
; one 32-bit hosts scan, with an uninstaller and an entry among the installed
; programs. tools/make-windows-installer.sh builds it with makensis and gives
; every name by a define, from the plugin's identity:
;
;   VENDOR, TITLE      who makes it and the title people read
;   STEM               the artefacts' file stem, also the Uninstall key's name
;   VERSION            the version, and VERSION_QUAD the same in four fields
;   PLUGIN64, PLUGIN32 the DLLs to install, PLUGIN64_NAME and PLUGIN32_NAME their file names
;   PRESETS            a file of two macros: InstallPresets, the File line of each
;                      factory preset, and RemovePresets FOLDER, the Delete line of each
;   COPYRIGHT          the licence's copyright line
;   OUTFILE            the setup program to write
;
; Each DLL's folder is, in this order of preference: the folder a previous
; install used, the folder HKLM\SOFTWARE\VST\VSTPluginsPath names in the
; DLL's registry view, or Common Files\VST2 of its Program Files. The
; factory presets go into Presets beside the uninstaller. The
; Uninstall key records the files installed, so that the uninstaller, and an
; install over an earlier version, remove exactly those.

Unicode true
SetCompressor /SOLID lzma
; Installed files take the time of their install: the setup program then holds
; no build times, and the same DLLs make the same bytes.
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true

!include MUI2.nsh
!include LogicLib.nsh
!include Sections.nsh
!include FileFunc.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${STEM}"
!define UNINSTALLER "uninstall.exe"
!define VST2_KEY "SOFTWARE\VST"
!define PRESETS_FOLDER "Presets"
!include "${PRESETS}"

Name "${TITLE} ${VERSION}"
OutFile "${OUTFILE}"
; The uninstaller's own folder; the plugins go where hosts look for them.
InstallDir "$PROGRAMFILES64\${TITLE}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion ${VERSION_QUAD}
VIFileVersion ${VERSION_QUAD}
VIAddVersionKey ProductName "${TITLE}"
VIAddVersionKey CompanyName "${VENDOR}"
VIAddVersionKey FileDescription "${TITLE} ${VERSION} setup"
VIAddVersionKey FileVersion ${VERSION}
VIAddVersionKey ProductVersion ${VERSION}
VIAddVersionKey LegalCopyright "${COPYRIGHT}"

Var Folder64
Var Folder32

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS

; A folder page for each DLL, shown only when its component is ticked.
!macro PluginFolderPage BITS
  !define MUI_PAGE_CUSTOMFUNCTION_PRE SkipUnlessPlugin${BITS}
  !define MUI_DIRECTORYPAGE_VARIABLE $Folder${BITS}
  !define MUI_PAGE_HEADER_TEXT "${BITS}-bit plugin folder"
  !define MUI_PAGE_HEADER_SUBTEXT "Where ${BITS}-bit hosts look for VST 2 plugins."
  !define MUI_DIRECTORYPAGE_TEXT_TOP "Setup puts ${PLUGIN${BITS}_NAME}, the plugin for ${BITS}-bit hosts, into this folder. Choose the folder your ${BITS}-bit hosts scan for VST 2 plugins."
  !define MUI_DIRECTORYPAGE_TEXT_DESTINATION "${BITS}-bit VST 2 plugin folder"
  !insertmacro MUI_PAGE_DIRECTORY
!macroend
!insertmacro PluginFolderPage 64
!insertmacro PluginFolderPage 32
!insertmacro MUI_PAGE_INSTFILES

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE English

; Our key lives in the 64-bit registry view where there is one, where
; "Apps & features" reads it.
!macro UseOurRegistryView
  ${If} ${RunningX64}
    SetRegView 64
  ${EndIf}
!macroend

; RemoveInstalled, for the installer and (un.RemoveInstalled) the uninstaller:
; deletes the files the Uninstall key records, each folder of theirs left
; empty, and the key. Other files in those folders stay, and so do the folders.
!macro RemovePluginFile VALUE
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" ${VALUE}
  ${If} $0 != ""
    Delete $0
    ${GetParent} $0 $1
    RMDir $1
  ${EndIf}
!macroend
!macro DefineRemoveInstalled PREFIX
  Function ${PREFIX}RemoveInstalled
    !insertmacro RemovePluginFile Plugin64
    !insertmacro RemovePluginFile Plugin32
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
    ${If} $0 != ""
      !insertmacro RemovePresets "$0\${PRESETS_FOLDER}"
      RMDir "$0\${PRESETS_FOLDER}"
      Delete "$0\${UNINSTALLER}"
      RMDir $0
    ${EndIf}
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  FunctionEnd
!macroend
!insertmacro DefineRemoveInstalled ""
!insertmacro DefineRemoveInstalled "un."

; Files of an earlier install go first: their names may differ from ours.
Section "-Remove an earlier install"
  Call RemoveInstalled
SectionEnd

Section "64-bit plugin (for 64-bit hosts)" SecPlugin64
  SetOutPath $Folder64
  File "${PLUGIN64}"
SectionEnd

Section "32-bit plugin (for 32-bit hosts)" SecPlugin32
  SetOutPath $Folder32
  File "${PLUGIN32}"
SectionEnd

; RecordPlugin BITS: the installed file's path in the Uninstall key, and its
; size added to $R0, when that component is installed.
!macro RecordPlugin BITS
  ${If} ${SectionIsSelected} ${SecPlugin${BITS}}
    WriteRegStr HKLM "${UNINSTALL_KEY}" Plugin${BITS} "$Folder${BITS}\${PLUGIN${BITS}_NAME}"
    SectionGetSize ${SecPlugin${BITS}} $0
    IntOp $R0 $R0 + $0
  ${EndIf}
!macroend

Section "-Uninstaller, factory presets and entry among the installed programs"
  SetOutPath "$INSTDIR\${PRESETS_FOLDER}"
  !insertmacro InstallPresets
  SetOutPath $INSTDIR
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"
  StrCpy $R0 0
  !insertmacro RecordPlugin 64
  !insertmacro RecordPlugin 32
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "${TITLE}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "${VENDOR}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $R0
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${UNINSTALLER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

; PreferFolder BITS VIEW: the folder VSTPluginsPath names in that registry
; view, then the folder of an earlier install, over the default.
!macro PreferFolder BITS VIEW
  SetRegView ${VIEW}
  ReadRegStr $0 HKLM "${VST2_KEY}" VSTPluginsPath
  ${If} $0 != ""
    StrCpy $Folder${BITS} $0
  ${EndIf}
  !insertmacro UseOurRegistryView
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" Plugin${BITS}
  ${If} $0 != ""
    ${GetParent} $0 $Folder${BITS}
  ${EndIf}
!macroend

Function .onInit
  ; On 32-bit Windows both constants name Program Files\Common Files.
  StrCpy $Folder64 "$COMMONFILES64\VST2"
  StrCpy $Folder32 "$COMMONFILES32\VST2"
  !insertmacro PreferFolder 32 32
  ${If} ${RunningX64}
    !insertmacro PreferFolder 64 64
  ${Else}
    ; No 64-bit host runs here: the component is neither shown nor installed.
    !insertmacro UnselectSection ${SecPlugin64}
    SectionSetText ${SecPlugin64} ""
  ${EndIf}
FunctionEnd

!macro DefineSkipUnlessPlugin BITS
  Function SkipUnlessPlugin${BITS}
    ${IfNot} ${SectionIsSelected} ${SecPlugin${BITS}}
      Abort
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro DefineSkipUnlessPlugin 64
!insertmacro DefineSkipUnlessPlugin 32

Function un.onInit
  !insertmacro UseOurRegistryView
FunctionEnd

Section Uninstall
  Call un.RemoveInstalled
SectionEnd
