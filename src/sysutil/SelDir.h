// The setup's own folder browser ("Select Destination Folder"): the user types a
// path, walks a list of folders drawn as a small tree, or picks a drive. It knows
// the name of the product's own folder and always returns a path ending in it.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

// Dialog template and controls (resources of the module).
const int kSelDirDialog = 100;
const int kSelDirLabel = 102;
const int kSelDirPath = 103;
const int kSelDirFolders = 105;
const int kSelDirDrives = 107;
const int kSelDirOk = 108;
// Icons of the folder list and the drive list.
const int kIconClosedFolder = 1001;
const int kIconDestination = 1002;
const int kIconOpenFolder = 1003;
const int kIconCdDrive = 1101;
const int kIconFloppyDrive = 1102;
const int kIconHardDisk = 1103;
const int kIconNetworkDrive = 1104;

// Runs the dialog modally, owned by parent, starting at initialPath; caption is
// the caption of its message boxes. Returns the accepted folder, or on Cancel
// the initial one, either with the subfolder appended (AppendSubfolder).
std::string BrowseForFolder(HWND parent, const std::string& initialPath, const std::string& subfolder,
                            const std::string& caption);

// path + "\" + the subfolder of the last BrowseForFolder call, unless the
// path's last component already is that name.
std::string AppendSubfolder(const std::string& path);

// The full path of text (GetFullPathNameA) with every run of backslashes made
// one; empty when the system cannot make it full.
std::string NormalizePath(const std::string& text);

#endif
