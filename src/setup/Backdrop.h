// The two windows that stay up for the whole setup: the full-screen backdrop
// with its gradient, badge and captions, and the small status window with the
// volume slider and the progress bar.
#pragma once
#include <windows.h>

// Registers the class and creates the visible, disabled window over the
// screen; null when the class cannot be registered.
HWND CreateBackdropWindow(const char* title);
// The status window's dialog procedure (IDD_STATUS, modeless).
INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
