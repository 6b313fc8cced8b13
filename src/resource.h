// Resource and control identifiers shared by the resources (resources/kesterly.rc, forms.rc2) and the forms.
#pragma once

#define IDI_KESTERLY 1
#define IDI_GLYPH_OK 2
#define IDI_GLYPH_CANCEL 3
#define IDI_GLYPH_ABOUT 4
#define IDB_ABOUT 10

#define IDD_RULESFORM 100
#define IDD_RULESDIRFORM 101
#define IDD_ABOUTFORM 102

// Messages of the main window (the toolkit's own texts are numbered in Consts.h)
#define IDS_SAVEFAILED 200
#define IDS_NOTFULLPATH 201     // %1 the tab's game, %2 the folder
#define IDS_ERRORRUNNING 202    // %1 the tab's game, %2 the system's error code
#define IDS_NODESCRIPTION 203   // %1 the system's error code

// Main window
#define IDC_GAMETAB 1000
#define IDC_RULEDIRLABEL 1001
#define IDC_RULESDIR 1002
#define IDC_BROWSEBUTTON 1003
#define IDC_INFORMATION 1004
#define IDC_RUNBUTTON 1005
#define IDC_NORULESBUTTON 1006
#define IDC_ABOUTBUTTON 1007
#define IDC_QUITBUTTON 1008
#define IDC_NAMELIST 1009
#define IDC_RULESLIST 1010
#define IDC_DIRTEXT 1011
#define IDC_NOTFOUND 1012
#define IDC_GAMETABNAME 1013  // hidden: the tab strip's name for screen readers

// Folder chooser
#define IDC_RULESPANELBORDER 1100
#define IDC_DRIVELISTBOX 1101
#define IDC_DIRLISTBOX 1102
#define IDC_OKBTN 1103
#define IDC_CANCELBTN 1104
#define IDC_DRIVELISTNAME 1105  // hidden, as the next: the box's name for screen readers
#define IDC_DIRLISTNAME 1106

// About box
#define IDC_PANEL1 1200
#define IDC_PROGRAMICON 1201
#define IDC_PRODUCTNAME 1202
#define IDC_VERSION 1203
#define IDC_COPYRIGHT 1204
#define IDC_LABEL1 1205
#define IDC_COMMENTS 1206
#define IDC_OKBUTTON 1207
