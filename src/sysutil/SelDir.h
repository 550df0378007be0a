// The setup's own folder browser ("Select Destination Folder"): the user types a
// path, walks a list of folders drawn as a small tree, or picks a drive. It knows
// the name of the product's own folder and always returns a path ending in it.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

// Its dialog template, controls and icons are resources of the program
// (IDD_SELDIR, IDC_SELDIR_..., in TWXInstIds.h).
#include "TWXInstIds.h"

// Runs the dialog modally, owned by parent, starting at initialPath; caption is
// the caption of its message boxes. Returns the accepted folder, or on Cancel
// the initial one, either with the subfolder appended (AppendSubfolderName).
std::string BrowseForFolder(HWND parent, const std::string& initialPath, const std::string& subfolder,
                            const std::string& caption);

#endif
