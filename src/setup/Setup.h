// The setup driver's process-wide state and the two services it lends to the
// screens and the work steps. One thread owns all of it; the window procedures
// reached through the message pump only touch what is declared here.
#pragma once
#include <windows.h>

#include <string>

// The destination dialog starts it at the default destination and the user
// may change it there; held without a trailing backslash once the dialogs have
// ended.
extern std::string DestinationFolder;
extern HWND BackdropWindow;  // owner of every dialog and message box once it exists
extern HWND StatusWindow;
// Non-zero while the captions are still being revealed, and while the progress
// bar runs; the wait after the work steps watches both.
extern UINT_PTR AnimationRunning;
extern UINT_PTR ProgressRunning;
// The volume last given to the MIDI devices by the status window (0 to 255);
// the roll-up fades out from it.
extern int CurrentMusicVolume;
// Created by the destination dialog for its folder field; deleted at clean-up.
extern HFONT DestinationFieldFont;
// True while the work steps run: the backdrop refuses to let the session end.
extern bool WorkRunning;

// Dispatches every message waiting in the thread's queue and returns when it
// is empty. The work steps call it from their long loops.
void PumpMessages();
// The exit question of the destination dialog; Yes ends that dialog with 0.
void ConfirmExit(HWND dialog);
// The first top-level window, in the system's order, whose class is className
// and whose title begins with titlePrefix (both case-sensitive); null if none.
HWND FindTopLevelWindow(const char* className, const char* titlePrefix);
