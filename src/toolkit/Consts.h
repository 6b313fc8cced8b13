// Identifiers of the toolkit's own texts in the program's string table (resources/forms.rc2), which
// holds them in every language of the program. Read them with LoadStr and FmtLoadStr (SysUtils.h).
#pragma once

#define IDS_WINDOWFAILED 256  // a window could not be created: %1 its template, %2 the system's text
#define IDS_CREATEFAILED 257  // a file could not be created, opened...: %1 its name, %2 the system's text
#define IDS_OPENFAILED 258
#define IDS_READFAILED 259
#define IDS_WRITEFAILED 260
#define IDS_REPLACEFAILED 261
#define IDS_SYSTEMERROR 262   // %1: a code the system has no text for
#define IDS_REGREADFAILED 263 // a registry value could not be read: %1 its name, %2 the system's text
#define IDS_REGNOTTEXT 264
#define IDS_REGMISSING 265
#define IDS_REGNOTNUMBER 266
#define IDS_REGWRITEFAILED 267
#define IDS_REMOVABLEDISK 268 // the drive box's kinds of drive
#define IDS_CDDRIVE 269
#define IDS_NETWORKDRIVE 270
#define IDS_RAMDISK 271
#define IDS_LOCALDISK 272
