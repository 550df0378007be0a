#include "Texts.h"

#define TWX_WEB_SITE "www.varnholt-technologies.com"

const char kMakerWebSite[] = TWX_WEB_SITE;

// The licence agreement, kLicenceText, is in Licence.cpp (written from res/sources/licence.txt).

const char kWelcomeTemplate[] =
    "Welcome! This program will install Trawlmark 5.3 (Trawlix), the search tool by Varnholt Technologies, on "
    "your computer.\r\n"
    "\r\n"
    "Trawlmark will be installed into the destination folder shown below. To choose another location, press the "
    "\"Browse for folder\" button. The button is disabled when an existing copy of Trawlmark is being upgraded: "
    "the upgrade then goes into the folder of that copy, and your saved queries are kept.\r\n"
    "\r\n"
    "Before you continue, please close all running applications, Internet Explorer and Windows Explorer "
    "windows included. Then press the \"Install\" button.\r\n"
    "\r\n"
    "Copyright (C) 2001-YYYY Varnholt Technologies, " TWX_WEB_SITE;

const char kFinishText[] =
    "Thank you for having chosen Trawlmark: the product has been installed on your machine. To run it, do one of "
    "the following:\r\n"
    " * Follow entering your queries in Microsoft Internet Explorer by pressing \"Enter\"\r\n"
    "   (applicable to XP/2003 with Internet Explorer 7+, Windows Vista and higher).\r\n"
    " * Press START, then point to PROGRAMS, and select TRAWLMARK.\r\n"
    " * In Internet Explorer, select the menu items TOOLS, then RUN TRAWLIX.\r\n"
    " * Press the TRAWLIX button on the Internet Explorer toolbar. If the button is not displayed, click the "
    "toolbar using the right mouse button, then move the Trawlix icon into a visible portion of the Internet "
    "Explorer toolbar.\r\n"
    "\r\n"
    "Even more options are given below (hot-keys will take effect after re-starting Windows).";

const char kMessageOldWindows[] =
    "Trawlix(TM) requires MS Windows 98 or later editions to function. Please, consider the possibility to install "
    "this product under a later version of MS Windows.\r\n\r\nThe setup program will now discontinue.";

const char kMessageProductRunning[] =
    "Unable to proceed while Trawlix is running. Please, close all instances of Trawlix, any other applications "
    "(including Windows Explorer, etc.),  after which run this setup utility, again.";

const char kMessageLowColourDepth[] =
    "Trawlix(TM) has been designed to function on systems which have a color depth of more than 256 colors.\r\n\r\n"
    "Please, consider the possibility to increase your current display color depth by setting it to at least 16 "
    "bits per a pixel; recommended is, a 32-bit (\"true color\") mode. The setup will now proceed, but some of its "
    "screens might not look properly in the current mode.";

const char kMessageExtractionFailed[] =
    "Unable to extract data. Possible reasons include:\r\r * Only some part of the entire Trawlix Setup file has "
    "been downloaded or this file is just corrupted.\r   Solution: obtain a correct copy by visiting the Varnholt "
    "Technologies Web site at " TWX_WEB_SITE
    "\r\r * A previous copy of Trawlix or some of its components are active.\r   Solution: close all applications "
    "you may be running (including Trawlix, Windows Explorer, Internet Explorer, and any other windows), after "
    "which execute this setup program, again.\r\r * Under the Windows NT/2000/XP/2003/Vista you might not have "
    "enough permission to create and modify files in the folder, in which you are going to install Trawlix.\r   "
    "Solution 1: Run this utility once again and select another destination folder (such as, "
    "\"C:\\VarnTech\\Trawlix\").\r   Solution 2: Log off now, then logon as a privileged user (such as, "
    "\"Administrator\"), and run this setup program, again.";

const char kQuestionExit[] = "Setup is not complete yet. Are you sure you want to exit setup now?";

const char kQuestionLowSpacePrefix[] =
    "There is not enough disk space on the destination drive (recommended is at least ";
const char kQuestionLowSpaceSuffix[] =
    "MB). This may cause errors while installing or running Trawlix.\r\rWould you, nevertheless, wish to proceed "
    "now?";

const char kMessageNoFolderPrefix[] = "The setup was unable to create the destination folder\r\"";
const char kMessageNoFolderSuffix[] =
    "\"\r\rMake sure that the full path to the folder is valid and that you have permission to create and modify "
    "files in it. Under the Windows NT and later platforms it is recommended that you logon as \"Administrator\" "
    "and run the setup program, again.";

const char kNoticeNewBrowserNt[] =
    "To be able to issue Trawlix queries using a special search box in MS Internet Explorer, consider the "
    "possibility either to install MS Internet Explorer 7+ or, to install Trawlix under Windows Vista or higher.";

const char kFinishTitle[] = "Trawlix(TM) v5.3 has been installed";

const char kHotKeyChoicePrefix[] = "Ctrl + Alt + F";

const char kLabelDestinationFolder[] = "Destination f&older:";
const char kLabelSubfolderAddedPrefix[] = "Destination f&older (\"";
const char kLabelSubfolderAddedSuffix[] = "\" will be added):";
const char kMessageInvalidFolderPrefix[] = "The specified folder \"";
const char kMessageInvalidFolderSuffix[] = "\" is invalid.\r\rPlease, enter a full path with drive letter.";
const char kQuestionCreateFolderPrefix[] = "The folder \"";
const char kQuestionCreateFolderSuffix[] = "\" does not exist.\r\rDo you want the folder to be created?";

const char kToolbarButtonText[] = "Trawlix";
const char kToolsMenuText[] = "Run Trawlix";
const char kToolsMenuStatusText[] = "Runs Trawlmark";

#define TWX_MUSIC_ALIAS "trawlix"
const char kMusicOpenPrefix[] = "open \"";
const char kMusicOpenSuffix[] = "\" type sequencer alias " TWX_MUSIC_ALIAS;
const char kMusicPlayCommand[] = "play " TWX_MUSIC_ALIAS " notify";
const char kMusicRewindCommand[] = "seek " TWX_MUSIC_ALIAS " to start";
const char kMusicCloseCommand[] = "close " TWX_MUSIC_ALIAS;

const wchar_t kSessionEndRefused[] = L"Trawlix Setup is installing Trawlix. Please wait until it has finished.";
