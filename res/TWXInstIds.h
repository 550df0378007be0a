/* The ids of the setup's resources, read by its resource scripts (TWXInst.rc,
   SelDir.rc), its code and the tests: one name for every dialog, control, icon,
   bitmap and clip, and the timers of each window. A resource named by a word
   (the program icon, the badge, the clips) is that bare word here, as the
   resource script needs it; code takes its name as text through
   TWX_RESOURCE_NAME. Renumber a control here and every user follows. */
#ifndef TWX_TWXINST_IDS_H
#define TWX_TWXINST_IDS_H

#define TWX_RESOURCE_NAME(id) TWX_RESOURCE_NAME_TEXT(id)
#define TWX_RESOURCE_NAME_TEXT(id) #id

/* ---------------------------------------------------------------- dialogs */
#define IDD_SELDIR 100         /* the folder browser */
#define IDD_DESTINATION 200    /* before Windows XP */
#define IDD_DESTINATION_XP 201 /* from Windows XP on: another icon */
#define IDD_LICENCE 400
#define IDD_FINISH 500
#define IDD_FINISH_XP 501
#define IDD_STATUS 600

/* Licence agreement. The buttons are IDOK and IDCANCEL. */
#define IDC_LICENCE_TEXT 401
#define IDC_LICENCE_ICON 207

/* Destination. */
#define IDC_INSTALL 201
#define IDC_CANCEL_INSTALL 202
#define IDC_BROWSE 203
#define IDC_WELCOME_TEXT 204
#define IDC_DESTINATION_GROUP 205
#define IDC_DESTINATION_FIELD 206
#define IDC_DESTINATION_ICON 207
#define IDC_FOLDER_ICON 208
#define IDC_BROWSER_NOTICE 219 /* just below the lower edge until the dialog grows */

/* Finish. The button is IDOK. */
#define IDC_DESKTOP_BOX 204
#define IDC_ASSOCIATION_BOX 205
#define IDC_HOTKEY_BOX 207
#define IDC_FINISH_TEXT 208
#define IDC_HOTKEY_LIST 209
#define IDC_OPTIONS_GROUP 210

/* Status window. */
#define IDC_VOLUME_SLIDER 1000
#define IDC_PROGRESS_BAR 1001

/* Folder browser. Its cancel button is IDCANCEL. */
#define IDC_SELDIR_LABEL 102
#define IDC_SELDIR_PATH 103
#define IDC_SELDIR_FOLDERS_LABEL 104
#define IDC_SELDIR_FOLDERS 105
#define IDC_SELDIR_DRIVES_LABEL 106
#define IDC_SELDIR_DRIVES 107
#define IDC_SELDIR_OK 108

/* ---------------------------------------------------------------- icons */
#define IDI_MAIN MAINICON  /* the program, in 16, 32 and 48 pixels */
#define IDI_FOLDER 2       /* beside the destination folder */
#define IDI_SETUP 4        /* destination and finish dialogs, 256 colours */
#define IDI_LICENCE 5
#define IDI_SETUP_XP 6     /* destination and finish dialogs, alpha */
/* The folder browser's lists. */
#define IDI_CLOSED_FOLDER 1001
#define IDI_DESTINATION 1002
#define IDI_OPEN_FOLDER 1003
#define IDI_CD_DRIVE 1101
#define IDI_FLOPPY_DRIVE 1102
#define IDI_HARD_DISK 1103
#define IDI_NETWORK_DRIVE 1104

/* ---------------------------------------------------------------- bitmaps */
#define IDB_BADGE TWXUITE
/* The backdrop's captions, k = 0 to 5 in the order they are revealed. */
#define IDB_CAPTION(k) (103 + (k))

/* ---------------------------------------------------------------- clips */
#define CLIP_WELCOME WELCOME
#define CLIP_NEW_BROWSER HIGHERVERSIONOFWINDOWSREQUIRED /* the notice of old browsers */
#define CLIP_WAIT WAIT
#define CLIP_FINISHED FINISHED

/* ---------------------------------------------------------------- timers
   Window timers, numbered per window. */
#define IDT_BACKDROP_CAPTIONS 0
#define IDT_STATUS_FADE_IN 0
#define IDT_STATUS_PROGRESS 1
#define IDT_LICENCE_MUSIC 0
#define IDT_DESTINATION_COLLAPSE 0
#define IDT_DESTINATION_BLINK 1
#define IDT_FINISH_UNROLL 0

#endif
