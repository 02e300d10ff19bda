; The Windows installer of Orvane MCF (NSIS, 64-bit, French), built by scripts/installeur-windows,
; which defines VERSION, VERSION_WINDOWS (four numbers), TAILLE_KO, SORTIE and FICHIERS (an include
; that lists the package's files: macros InstallerFichiers and SupprimerFichiers).
;
; The programs read app.xml, mcf.s3db and pdf\ beside themselves, so those stay in the installation
; folder (C:\OrvaneMCF by default, outside Program Files where the shop's users could not write
; them). They belong to the shop: an upgrade replaces only the package's files, and the uninstaller
; removes only those, whatever else the folder holds.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true
; A file in use cannot be skipped: the installation stops rather than leave an old program beside
; new DLLs.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include WordFunc.nsh
!include ${FICHIERS}

!define PRODUIT "Orvane MCF"
!define CLE_PRODUIT "Software\OrvaneMCF"
!define CLE_DESINSTALLATION "Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvaneMCF"
!define MENU "$SMPROGRAMS\Orvane MCF"
; Groups and accounts by their SIDs, which a French Windows names in French.
!define SYSTEME "*S-1-5-18"
!define ADMINISTRATEURS "*S-1-5-32-544"
!define UTILISATEURS "*S-1-5-32-545"
!define CREATEUR_PROPRIETAIRE "*S-1-3-0"

Name "${PRODUIT} ${VERSION}"
OutFile "${SORTIE}"
InstallDir "C:\OrvaneMCF"
; A later installation goes where the earlier one went.
InstallDirRegKey HKLM "${CLE_PRODUIT}" "Dossier"
BrandingText "${PRODUIT} ${VERSION}"

VIProductVersion "${VERSION_WINDOWS}"
VIAddVersionKey /LANG=1036 "ProductName" "${PRODUIT}"
VIAddVersionKey /LANG=1036 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1036 "FileDescription" "Installation d'${PRODUIT}"
VIAddVersionKey /LANG=1036 "CompanyName" "Orvane"
VIAddVersionKey /LANG=1036 "LegalCopyright" "Orvane"

Var versionInstallee
Var miseAJour

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TITLE "Installation d'${PRODUIT} ${VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Cet assistant installe ${PRODUIT} ${VERSION} : la certification des factures avec le MCF, leur impression et la configuration.$\r$\n$\r$\nSi ${PRODUIT} est déjà installé, il est mis à jour dans son dossier : les réglages (app.xml), le registre des factures certifiées (mcf.s3db) et les PDF (dossier pdf) sont conservés tels quels.$\r$\n$\r$\nFermez les programmes d'${PRODUIT} et le logiciel de facturation avant de continuer."
!insertmacro MUI_PAGE_WELCOME
!define MUI_PAGE_CUSTOMFUNCTION_PRE passerDossierSiMiseAJour
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choisissez le dossier d'installation. Les programmes y gardent leurs réglages (app.xml), le registre des factures (mcf.s3db) et les PDF (dossier pdf) : ne choisissez pas Program Files, où les utilisateurs de la boutique ne pourraient pas y écrire."
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "${PRODUIT} ${VERSION} est installé dans $INSTDIR.$\r$\n$\r$\nÀ la première installation, copiez app.xml.exemple en app.xml, ou ouvrez « Configuration Orvane MCF » dans le menu Démarrer en tant qu'administrateur, pour saisir les réglages de la boutique."
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${PRODUIT} est désinstallé"
!define MUI_FINISHPAGE_TEXT "Les programmes d'${PRODUIT} ont été retirés.$\r$\n$\r$\nConservés dans $INSTDIR : app.xml (les réglages), mcf.s3db (le registre des factures certifiées, avec ses fichiers mcf.s3db-wal et mcf.s3db-shm) et le dossier pdf. Le registre est la trace des factures certifiées de la boutique : ne le supprimez pas."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "French"

Function .onInit
  SetShellVarContext all
  StrCpy $miseAJour 0
  ReadRegStr $versionInstallee HKLM "${CLE_DESINSTALLATION}" "DisplayVersion"
  ReadRegStr $0 HKLM "${CLE_PRODUIT}" "Dossier"
  ${If} $versionInstallee != ""
  ${AndIf} ${FileExists} "$0\orvane-engine.exe"
    ${VersionCompare} "${VERSION}" "$versionInstallee" $1
    ${If} $1 == 2
      MessageBox MB_ICONSTOP|MB_OK "Une version plus récente d'${PRODUIT} ($versionInstallee) est installée dans $0 : la version ${VERSION} ne peut pas la remplacer, rien n'a été modifié.$\r$\n$\r$\nPour revenir à une version antérieure, désinstallez d'abord ${PRODUIT} (les réglages, le registre des factures et les PDF sont conservés), puis installez cette version." /SD IDOK
      SetErrorLevel 3
      Quit
    ${EndIf}
    ; An upgrade (or the same version again) stays in the folder of the installation.
    StrCpy $INSTDIR $0
    StrCpy $miseAJour 1
  ${EndIf}
FunctionEnd

Function passerDossierSiMiseAJour
  ${If} $miseAJour == 1
    Abort
  ${EndIf}
FunctionEnd

; droits "ARGUMENTS": icacls on the installation folder; the installation stops when it fails.
!macro droits ARGUMENTS
  nsExec::ExecToLog '"$SYSDIR\icacls.exe" ${ARGUMENTS}'
  Pop $0
  ${If} $0 != 0
    MessageBox MB_ICONSTOP|MB_OK "Les droits d'accès de $INSTDIR n'ont pas pu être posés (icacls : $0). L'installation est interrompue." /SD IDOK
    SetErrorLevel 4
    Abort "Droits d'accès non posés (icacls : $0)."
  ${EndIf}
!macroend

Section "Orvane MCF"
  ${If} $miseAJour == 1
    DetailPrint "Mise à jour de la version $versionInstallee vers ${VERSION} dans $INSTDIR"
  ${EndIf}
  !insertmacro InstallerFichiers
  SetOutPath "$INSTDIR"

  ; The shop's data, made when missing and never replaced: the PDF folders of the renderer, and an
  ; empty register (the engine makes its tables in it) so that its rights can be given below.
  CreateDirectory "$INSTDIR\pdf\factures"
  CreateDirectory "$INSTDIR\pdf\tickets"
  ${IfNot} ${FileExists} "$INSTDIR\mcf.s3db"
    FileOpen $0 "$INSTDIR\mcf.s3db" w
    FileClose $0
  ${EndIf}

  ; Rights, at the first installation only (an upgrade keeps those the shop has):
  ;  - the folder no longer inherits from C:\ (where every authenticated user may modify what an
  ;    administrator creates): administrators and the system control it, the Users group reads and
  ;    runs the programs but cannot change or delete them, nor app.xml;
  ;  - Users may add files to the folder itself (not subfolders): SQLite makes mcf.s3db-wal and
  ;    mcf.s3db-shm beside the register at each run, and the engine writes its result files beside
  ;    an input file placed there; whoever adds a file may change it (creator owner);
  ;  - Users modify the register and everything under pdf\.
  ${If} $miseAJour != 1
    DetailPrint "Droits d'accès de $INSTDIR"
    !insertmacro droits '"$INSTDIR" /inheritance:r /grant:r ${SYSTEME}:(OI)(CI)F ${ADMINISTRATEURS}:(OI)(CI)F ${UTILISATEURS}:(OI)(CI)RX'
    !insertmacro droits '"$INSTDIR" /grant ${UTILISATEURS}:(WD) ${CREATEUR_PROPRIETAIRE}:(OI)(IO)M'
    !insertmacro droits '"$INSTDIR\mcf.s3db" /grant ${UTILISATEURS}:M'
    !insertmacro droits '"$INSTDIR\pdf" /grant ${UTILISATEURS}:(OI)(CI)M'
  ${EndIf}

  WriteUninstaller "$INSTDIR\desinstaller.exe"

  ; The dialog writes app.xml in its working folder: the shortcut's is the installation folder.
  CreateDirectory "${MENU}"
  CreateShortCut "${MENU}\Configuration Orvane MCF.lnk" "$INSTDIR\orvane-setup.exe"
  CreateShortCut "${MENU}\Désinstaller Orvane MCF.lnk" "$INSTDIR\desinstaller.exe"

  WriteRegStr HKLM "${CLE_PRODUIT}" "Dossier" "$INSTDIR"
  WriteRegStr HKLM "${CLE_PRODUIT}" "Version" "${VERSION}"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "DisplayName" "${PRODUIT}"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "Publisher" "Orvane"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "DisplayIcon" "$INSTDIR\orvane-setup.exe"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "UninstallString" '"$INSTDIR\desinstaller.exe"'
  WriteRegStr HKLM "${CLE_DESINSTALLATION}" "QuietUninstallString" '"$INSTDIR\desinstaller.exe" /S'
  ; The programs' size, without the shop's data.
  WriteRegDWORD HKLM "${CLE_DESINSTALLATION}" "EstimatedSize" ${TAILLE_KO}
  WriteRegDWORD HKLM "${CLE_DESINSTALLATION}" "NoModify" 1
  WriteRegDWORD HKLM "${CLE_DESINSTALLATION}" "NoRepair" 1
SectionEnd

Function un.onInit
  SetShellVarContext all
FunctionEnd

Section "Uninstall"
  ; The package's files only: app.xml, mcf.s3db (with -wal, -shm), pdf\ and whatever the shop or
  ; the business application put in the folder stay.
  !insertmacro SupprimerFichiers
  Delete "$INSTDIR\desinstaller.exe"
  Delete "${MENU}\Configuration Orvane MCF.lnk"
  Delete "${MENU}\Désinstaller Orvane MCF.lnk"
  RMDir "${MENU}"
  DeleteRegKey HKLM "${CLE_DESINSTALLATION}"
  DeleteRegKey HKLM "${CLE_PRODUIT}"
  ; Removed only when nothing is left in it.
  RMDir "$INSTDIR"
  DetailPrint "Conservés dans $INSTDIR : app.xml, mcf.s3db (le registre des factures certifiées) et le dossier pdf."
SectionEnd
