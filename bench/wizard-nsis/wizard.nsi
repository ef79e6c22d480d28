; The wizard benchmark's reference (bench/wizard_bench.sh): the demo suite behind the Modern UI 2
; wizard a user of NSIS would make, in the suite's language: welcome, licence, folder, install,
; then the installer ends.
;   makensis -DPRODUCT=<product folder> -DLICENCE=<licence.txt> -DOUTFILE=<installer> wizard.nsi
Unicode true
Target x86-unicode
SetCompressor /SOLID lzma
!include "MUI2.nsh"

Name "Lumen Office"
Caption "Lumen Office NSIS wizard"
OutFile "${OUTFILE}"
InstallDir "C:\bench\nsis-wizard"
RequestExecutionLevel user
AutoCloseWindow true

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

Section
  SetOutPath "$INSTDIR"
  File /r "${PRODUCT}/*"
SectionEnd
