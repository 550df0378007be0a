// uninst.exe, the product's uninstaller, which the setup leaves in the
// installation folder and registers as the uninstall entry's command.
//
//   uninst.exe [/S]   removes the installation this copy lies in; /S: no questions,
//                     no messages (exit code 0 when the folder is gone)
//
// A program cannot delete the file it runs from, nor the folder that holds it.
// So the first process asks for confirmation, copies itself to the temporary
// folder and starts that copy with "/D=<folder>" and "/W=<process id>"; the
// copy waits for the first process to end, removes the installation, and has
// its own file deleted at the next restart.
#include <windows.h>

#include <shlobj.h>

#include <string>
#include <vector>

#include "FileUtils.h"
#include "TextFiles.h"
#include "Uninstall.h"

namespace {

const char kCaption[] = "Trawlmark 5.3 Uninstall";

struct TOptions {
  bool silent = false;
  bool confirmed = false;    // /C: the first process already asked
  std::string destination;   // /D=: given to the copy in the temporary folder
  DWORD waitFor = 0;         // /W=: the first process
};

TOptions ParseOptions(const std::vector<std::string>& arguments) {
  TOptions options;
  for (const std::string& argument : arguments) {
    const std::string upper = UpperAscii(argument);
    if (upper == "/S") options.silent = true;
    if (upper == "/C") options.confirmed = true;
    if (upper.compare(0, 3, "/D=") == 0) options.destination = argument.substr(3);
    if (upper.compare(0, 3, "/W=") == 0) options.waitFor = strtoul(argument.c_str() + 3, nullptr, 10);
  }
  return options;
}

std::string SpecialFolder(int folderId) {
  char path[MAX_PATH + 1] = {};
  return SHGetSpecialFolderPathA(nullptr, path, folderId, FALSE) ? path : "";
}

// Starts the copy that does the work; false when it could not be started.
bool StartCopyInTemp(const std::string& destination, bool silent) {
  char temp[MAX_PATH + 1];
  const DWORD length = GetTempPathA(sizeof temp, temp);
  if (length == 0 || length > MAX_PATH) return false;
  const std::string folder = WithoutTrailingBackslashes(std::string(temp, length));
  char name[32];
  wsprintfA(name, "\\TWXUn%lX.exe", GetCurrentProcessId() ^ GetTickCount());
  const std::string copy = folder + name;
  if (!CopyFileA(OwnModulePath().c_str(), copy.c_str(), FALSE)) return false;
  std::string commandLine = "\"" + copy + "\" " + (silent ? "/S" : "/C") + " \"/D=" + destination + "\" /W=" +
                            std::to_string(GetCurrentProcessId());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                      &process)) {
    DeleteFileA(copy.c_str());
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

void WaitForProcessEnd(DWORD processId) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return;
  WaitForSingleObject(process, 15000);
  CloseHandle(process);
}

void Tell(const TOptions& options, const std::string& text, UINT icon) {
  if (!options.silent) MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | icon);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const TOptions options = ParseOptions(twx::CommandArguments(GetCommandLineA()));
  const bool isCopy = !options.destination.empty();
  const std::string destination = isCopy ? options.destination : twx::ProgramFolder();

  if (!twx::IsInstallationFolder(destination)) {
    Tell(options, "No Trawlmark installation was found in " + destination + ".\r\nNothing was removed.",
         MB_ICONEXCLAMATION);
    return 1;
  }
  if (!isCopy) {
    if (!options.silent &&
        MessageBoxA(nullptr,
                    ("Remove Trawlmark 5.3 from " + destination +
                     "?\r\n\r\nThe program, its search box, its settings and the query folders and reports "
                     "kept in its folder will be deleted.")
                        .c_str(),
                    kCaption, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
      return 0;
    if (StartCopyInTemp(destination, options.silent)) return 0;
    // No copy could be started: work from here; this file and its folder go at the next restart.
  } else {
    WaitForProcessEnd(options.waitFor);
  }

  twx::TUninstallPlaces places;
  places.destination = destination;
  places.commonPrograms = SpecialFolder(CSIDL_COMMON_PROGRAMS);
  places.userPrograms = SpecialFolder(CSIDL_PROGRAMS);
  places.desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  places.helperFolder = twx::SharedHelperFolder();
  const bool removed = twx::Uninstall(places);

  MoveFileExA(OwnModulePath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (!isCopy) MoveFileExA(destination.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  if (removed)
    Tell(options, "Trawlmark 5.3 was removed from your computer.", MB_ICONINFORMATION);
  else
    Tell(options, "Trawlmark 5.3 was removed, but some files in " + destination +
                      " could not be deleted.\r\nYou may delete them yourself.", MB_ICONEXCLAMATION);
  return removed ? 0 : 2;
}
