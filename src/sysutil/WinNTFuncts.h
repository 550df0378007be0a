// Who may change the installation. On Windows 2000 and later:
// - the product's program folders (the destination folder and the shared
//   helper folder) may be changed by administrators and the system only;
//   users may read and run what they hold. A program or library there that any
//   user could replace would run with the rights of the next user who starts
//   it, or of the next setup;
// - the folders the product keeps its data in may be written by every user:
//   their access list gets an entry that lets Everyone read, write, create and
//   delete below them;
// - single files in a program folder that the product writes at run time (its
//   settings, the helper's instance file) may be written by every user, but
//   neither deleted nor replaced.
// Elsewhere, or when anything of that fails, folders and files are created
// plainly and inherit their parent's rights; existing ones stay as they are.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

// A data folder. A missing one gets its parent's access list plus the Everyone
// entry; an existing folder gets the entry set into its own list (an upgrade
// has just taken away what it inherited from the destination folder). True
// when the folder exists afterwards, or anything of that name existed before
// (a file is left unchanged). False when a missing parent or the folder itself
// could not be created, and for a path longer than kAnsiPathLimit.
bool CreateSharedFolder(const std::string& path);

// A program folder: a missing one is created with an access list of its own
// that inherits nothing from its parent; an existing one (an earlier setup made
// it writable for everyone) gets that list in place of its own. A user who is
// not an administrator and installs for themselves keeps the right to change
// their own installation (no other user gets it). Results as for
// CreateSharedFolder.
bool CreateProgramFolder(const std::string& path);

// A file every user writes in a program folder: created empty when missing,
// otherwise its list gets the entry. Its folder is never created, and before
// Windows 2000 nothing is. True when the file exists afterwards.
bool CreateSharedFile(const std::string& path);

#endif
