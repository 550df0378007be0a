// The product's identity: its names, where it registers itself and where its
// files lie. The setup, the product's own uninstaller and the tests build every
// key and product path from here, so that each is written once. Portable.
#pragma once

#include <string>

// ---------------------------------------------------------------- names
#define TWX_PRODUCT_NAME "Trawlmark"
#define TWX_UNINSTALL_KEYS "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
#define TWX_MAKER_FOLDER "\\VarnTech"
#define TWX_EXTENSION_GUID "{5A3C9E10-7B42-4D1E-9F0A-3C61B2D84E77}"

// The uninstall entry, the program group, the desktop shortcut; the product's
// main window (class kProductWindowClass) has a title that begins with it.
const char kProductName[] = TWX_PRODUCT_NAME;
const char kGroupName[] = TWX_PRODUCT_NAME;
const char kProductWindowClass[] = "TApplication";
// The shortcuts in the group: the program, its help, the report library and
// the licence.
const char kProgramShortcutName[] = "Trawlix";
const char kHelpShortcutName[] = "Trawlix Help";
const char kReportLibraryShortcutName[] = "Trawlix Report Library";
const char kLicenceShortcutName[] = "Trawlix License Agreement";

// The setup's own: its titles (before the screens exist and on them) and its
// backdrop window, by whose class and title a second copy finds the first.
const char kSetupTitle[] = "Trawlmark 5.3 Setup";
const char kShortTitle[] = "Trawlix Setup";
const char kExitTitle[] = "Exit Setup";
const char kBackdropClass[] = "TWXInstWnd";

// ---------------------------------------------------------------- registry
// Below HKEY_LOCAL_MACHINE.
const char kUninstallKeys[] = TWX_UNINSTALL_KEYS;  // + a product's name: its entry
const char kUninstallKey[] = TWX_UNINSTALL_KEYS TWX_PRODUCT_NAME;
const char kRunKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kRunValue[] = "VTQBox";  // the search-box helper
const char kExtensionGuid[] = TWX_EXTENSION_GUID;
const char kExtensionKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\" TWX_EXTENSION_GUID;
// Below HKEY_CLASSES_ROOT: query folder files and their type.
const char kQueryFolderExtension[] = ".twx";
const char kQueryFolderType[] = "trawlix_query_folder";

// ---------------------------------------------------------------- folders
// Below Common Files: the maker's folder, where its products share the helper.
const char kMakerFolder[] = TWX_MAKER_FOLDER;
inline std::string SharedHelperFolderIn(const std::string& commonFiles) { return commonFiles + kMakerFolder; }
// Below Program Files: the product's folder in the maker's, the destination
// proposed to a first installation.
const char kProductFolder[] = TWX_MAKER_FOLDER "\\Trawlix";

// The program group in a Programs folder of the Start menu; a shortcut's file.
inline std::string GroupFolderPath(const std::string& programsFolder) { return programsFolder + "\\" + kGroupName; }
inline std::string ShortcutPath(const std::string& folder, const std::string& name) {
  return folder + "\\" + name + ".lnk";
}

// ---------------------------------------------------------------- product paths
// In the destination folder (held without a trailing backslash).
inline std::string ProgramPath(const std::string& destination) { return destination + "\\Trawlix.exe"; }
inline std::string EngineSetToolPath(const std::string& destination) { return destination + "\\SrchCfg.exe"; }
inline std::string HelpProgramPath(const std::string& destination) { return destination + "\\Help\\TWXHelp.exe"; }
inline std::string UninstallerPath(const std::string& destination) { return destination + "\\uninst.exe"; }
inline std::string LicencePath(const std::string& destination) { return destination + "\\License.txt"; }
inline std::string SettingsPath(const std::string& destination) { return destination + "\\Trawlix.ini"; }
inline std::string LanguageFolderPath(const std::string& destination) { return destination + "\\Language"; }
inline std::string ReportLibraryPath(const std::string& destination) { return destination + "\\Library"; }
// What the product writes into at run time, whoever runs it: query folders, the
// engine registry and sets, reports (below the destination folder).
const char* const kDataFolderNames[] = {"Queries", "TWXData", "Library"};
// The helper as the payload brings it; the setup moves it to the shared folder.
const char kHelperFileName[] = "QBox.exe";
inline std::string PayloadHelperPath(const std::string& destination) { return destination + "\\" + kHelperFileName; }
// The delta patch that rebuilds a program: its path with ".pch" for ".exe".
inline std::string PatchPathOf(const std::string& program) { return program.substr(0, program.size() - 4) + ".pch"; }
// The copy of the payload archive the setup extracts from; gone when the setup
// ends, but a run that was cut off may leave it for the uninstaller.
const char kTemporaryArchiveName[] = "tempfile.$$$";
inline std::string TemporaryArchivePath(const std::string& destination) {
  return destination + "\\" + kTemporaryArchiveName;
}

// How a valid file of each of the user's data files begins.
const char kQueryFolderHeader[] = "Trawlmark Query Folder";
const char kEngineRegistryHeader[] = "Trawlmark Engine Registry";
const char kEngineSetsHeader[] = "Trawlmark Engine Sets";

// Beside each of the user's data files while a setup runs: the user's bytes,
// flushed to disk before the extraction may replace the file, and removed once
// the restored file is on disk. A setup that was cut off leaves it for the next
// run, which takes the user's bytes from there. Neither the payload nor the
// product has a file of such a name.
const char kSaveCopySuffix[] = ".$sav";
inline std::string SaveCopyPathOf(const std::string& dataFile) { return dataFile + kSaveCopySuffix; }

// In the shared helper folder: the helper and the instance file it holds open
// while it runs (beside itself, wherever it was started).
const char kHelperInstanceFileName[] = "QBox.tmp";
inline std::string HelperPath(const std::string& sharedFolder) { return sharedFolder + "\\" + kHelperFileName; }
inline std::string HelperInstancePath(const std::string& sharedFolder) {
  return sharedFolder + "\\" + kHelperInstanceFileName;
}
