// The licence-agreement, destination and finish dialogs, and the routines they
// use for placing a window, the free space and the destination folder.
#pragma once
#include <windows.h>

#include <string>

INT_PTR CALLBACK LicenceDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK DestinationDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FinishDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Centres the window on the desktop, 16 pixels higher; size and z-order stay.
void CentreOnScreen(HWND window);
// Free megabytes on the drive named by the path's first two characters; -1.0
// when they cannot be read.
double FreeDiskSpaceMB(const std::string& path);
// The path when it is an existing folder afterwards, otherwise "".
std::string PrepareDestination(const std::string& path);
