// The process-wide data of the setup that is plain text: the two long screen
// texts and the table of user data files kept across a re-installation.
// Portable, so that the steps that use them run natively in tests too.
#pragma once

#include <string>

// The welcome text of the destination dialog (its "YYYY" replaced by the
// current year at start-up) and the text of the finish dialog.
extern std::string WelcomeText;
extern std::string FinishText;

// One user data file of the product to capture before extraction and to
// restore after it.
struct TCustomFileToSave {
  std::string Content;   // the captured bytes; empty when nothing was captured
  std::string FileName;  // relative to the destination folder, no leading "\"
  std::string Header;    // how a valid file of this kind begins
};

const int kCustomFileCount = 3;
extern TCustomFileToSave CustomFiles[kCustomFileCount];
