/* Resource and command ids of Trawlix.exe (C++ and resource script). */
#ifndef TWX_TRAWLIX_IDS_H
#define TWX_TRAWLIX_IDS_H

#define IDM_MAIN 10
#define IDM_EXIT 11
#define IDM_ABOUT 12
#define IDM_ENGINE_SETS 13
#define IDM_HELP_CONTENTS 14

/* Browser toolbar buttons: normal and highlighted, for older systems (256
   colours) and for newer ones (alpha). The setup's registry entries name them. */
#define IDI_BUTTON_OLD 1001
#define IDI_BUTTON_OLD_HOT 1002
#define IDI_BUTTON 1003
#define IDI_BUTTON_HOT 1004
/* Document icon of query folder files, named by the file association. */
#define IDI_QUERY_FOLDER 204

#endif
