// What uninst.exe removes, as plain steps over the places it is given, so that
// tests can point them at scratch folders and a redirected registry.
#pragma once

#include <string>

namespace twx {

struct TUninstallPlaces {
  std::string destination;     // the installation folder, without a trailing backslash
  std::string commonPrograms;  // the Start menu's Programs folders; empty when unknown
  std::string userPrograms;
  std::string desktop;         // the user's desktop folder; empty when unknown
  std::string helperFolder;    // the shared folder of the search-box helper
};

// The folder named by the product's uninstall entry, or "" without one.
std::string RegisteredInstallationFolder();

// The shared helper folder as the setup computes it: Common Files + "\VarnTech".
std::string SharedHelperFolder();

// A folder the uninstaller may clear: not a drive root, and either it holds
// Trawlix.exe or the uninstall entry names it. A copy of uninst.exe started
// anywhere else must not delete folders such as "Help" that belong to others.
bool IsInstallationFolder(const std::string& destination);

// Whether the machine-wide entries (registry, program group, desktop shortcut,
// helper) belong to this installation: the uninstall entry names this folder,
// or it names no other folder that still holds the product.
bool OwnsMachineEntries(const std::string& destination);

// The uninstall entry, the helper's Run value, the browser extension and the
// query folder file type (".twx" only while it still points to the product).
void RemoveRegistryEntries();

// The "Trawlmark" group's shortcuts, then the group folder once it is empty.
void RemoveProgramGroup(const std::string& programsFolder);

// Ends a running helper, removes it and its folder once that is empty.
void RemoveSearchBoxHelper(const std::string& helperFolder);

// The product's files and folders, then the destination itself once it is
// empty (files of others stay). True when the destination is gone.
bool RemoveProductFiles(const std::string& destination);

// Everything above in a safe order; true when the destination folder is gone.
bool Uninstall(const TUninstallPlaces& places);

}  // namespace twx
