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
