// The setup's long texts and messages, as constant data of the program.
#pragma once

// The maker's web-site address, used in the welcome text and in the extraction
// failure message.
extern const char kMakerWebSite[];

// End-user licence agreement shown by the licence dialog: CR LF line ends.
extern const char kLicenceText[];

// Welcome text of the destination dialog; "YYYY" is replaced by the current year
// at start-up. CR LF line ends.
extern const char kWelcomeTemplate[];

// Text of the finish dialog. CR LF line ends.
extern const char kFinishText[];

// Message boxes of the setup sequence.
extern const char kMessageOldWindows[];       // Windows 95 or Win32s
extern const char kMessageProductRunning[];   // the product is running
extern const char kMessageLowColourDepth[];   // fewer than 16 bits per pixel
extern const char kMessageExtractionFailed[]; // a work step failed (address included)

// Questions and messages of the setup's dialogs.
extern const char kQuestionExit[];            // Cancel or close box of the destination dialog
extern const char kQuestionLowSpacePrefix[];  // followed by the threshold in MB ...
extern const char kQuestionLowSpaceSuffix[];  // ... and this
extern const char kMessageNoFolderPrefix[];   // followed by the destination folder ...
extern const char kMessageNoFolderSuffix[];   // ... and this
extern const char kNoticeNewBrowserNt[];      // the destination dialog's notice on the NT family
extern const char kFinishTitle[];             // the finish dialog's title
extern const char kHotKeyChoicePrefix[];      // the finish dialog's hot-keys, followed by 1 to 12

// The folder browser: the label above its path field (the product's subfolder
// named between prefix and suffix when the shown folder is not that one), the
// message for a typed path it cannot take and the question for a missing
// folder (each with the folder between prefix and suffix).
extern const char kLabelDestinationFolder[];
extern const char kLabelSubfolderAddedPrefix[];
extern const char kLabelSubfolderAddedSuffix[];
extern const char kMessageInvalidFolderPrefix[];
extern const char kMessageInvalidFolderSuffix[];
extern const char kQuestionCreateFolderPrefix[];
extern const char kQuestionCreateFolderSuffix[];

// The browser's toolbar button and Tools-menu item of the product.
extern const char kToolbarButtonText[];
extern const char kToolsMenuText[];
extern const char kToolsMenuStatusText[];

// The MCI commands of the background tune, which plays under one alias: the
// open command has the tune's path between prefix and suffix.
extern const char kMusicOpenPrefix[];
extern const char kMusicOpenSuffix[];
extern const char kMusicPlayCommand[];
extern const char kMusicRewindCommand[];
extern const char kMusicCloseCommand[];

// Why a log-off or shutdown waits while the setup works (Windows Vista on shows
// it); the system takes it in UTF-16.
extern const wchar_t kSessionEndRefused[];
