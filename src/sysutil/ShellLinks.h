// The Start menu's Programs folder and the desktop, found once at start-up, and
// shortcut files (".lnk") written through the shell's own shell-link object.
// Every operation reports only through its result; nothing is shown or retried.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

// File-system paths without a trailing backslash; empty when unknown. Set by
// LocateShellFolders and read-only afterwards. The Programs folder is the
// all-users one for an administrator on the NT family, the user's own one
// otherwise (always on 98/Me).
extern std::string ProgramsFolder;
extern std::string DesktopFolder;

// Start-up step: fills ProgramsFolder and DesktopFolder.
void LocateShellFolders();

// True when the service control manager grants full access, the test the
// choice of the all-users Programs folder rests on.
bool IsAdministrator();

// Writes folder + "\" + name + ".lnk" pointing at target, with the name as
// description, the target's folder as working folder and, when not 0, the
// hot-key (virtual key in the low byte, HOTKEYF_* in the high byte). An existing
// shortcut of that name is replaced. The folder must exist. With notify the
// shell is told that the folder changed.
bool CreateShellShortcut(const std::string& target, const std::string& folder, const std::string& name,
                         bool notify, WORD hotKey);

// A shortcut in ProgramsFolder + "\" + group (ProgramsFolder itself for an empty
// group). False when ProgramsFolder is unknown.
bool AddGroupShortcut(const std::string& group, const std::string& name, const std::string& target, WORD hotKey);
// A shortcut on the desktop. False when DesktopFolder is unknown.
bool AddDesktopShortcut(const std::string& name, const std::string& target, WORD hotKey);
// Creates ProgramsFolder + "\" + group; false also when it exists already.
bool CreateGroupFolder(const std::string& group);
// Deletes every ".lnk" file of the group's folder; other files and subfolders stay.
void ClearGroupShortcuts(const std::string& group);

#endif
