// Trawlix.exe, the main program. It opens the query folder file named on its
// command line (the file association starts it that way). Built twice from
// this source: the release, and with TWX_PRE_RELEASE the earlier build that
// setups carry as the base of their delta patches.
#include <windows.h>

#include <string>
#include <vector>

#include "AppFrame.h"
#include "FileUtils.h"
#include "Product.h"
#include "SampleVersion.h"
#include "TextFiles.h"
#include "TrawlixIds.h"

#ifndef TWX_PRE_RELEASE
#include "QueryFolder.h"
#endif

namespace {

// The setup recognises the running product by this class and title prefix.
const char* const kClassName = kProductWindowClass;
const char kTitle[] = TWX_PRODUCT_NAME " " TWX_VERSION_TEXT;

std::string ViewOf(const std::string& path) {
  const std::string name = NamePart(path);
  std::string bytes;
  if (!twx::ReadWholeFile(path, &bytes)) return path + " cannot be opened.\r\n";
#ifdef TWX_PRE_RELEASE
  if (!twx::BeginsWith(bytes, "Trawlmark Query Folder")) return name + " is not a Trawlmark query folder.\r\n";
  return "Query folder " + name + "\r\n\r\n" + twx::WithCrLf(bytes);
#else
  twx::TQueryFolder folder;
  if (!twx::ParseQueryFolder(bytes, &folder)) return name + " is not a Trawlmark query folder.\r\n";
  return twx::DescribeQueryFolder(name, folder);
#endif
}

void OpenQueryFolder(HWND frame, const std::string& path) {
  twx::SetViewText(frame, ViewOf(path));
  SetWindowTextA(frame, (std::string(kTitle) + " - " + NamePart(path)).c_str());
}

#ifndef TWX_PRE_RELEASE
// Starts one of the product's tools (path: in the program's folder).
void StartTool(HWND frame, const std::string& path) {
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      twx::ProgramFolder().c_str(), &startup, &process)) {
    MessageBoxA(frame, (path + " cannot be started.").c_str(), "Trawlix", MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}
#endif

void OnCommand(HWND frame, int id) {
  switch (id) {
    case IDM_EXIT:
      DestroyWindow(frame);
      break;
    case IDM_ABOUT:
      MessageBoxA(frame, TWX_PRODUCT " (" TWX_VERSION_TEXT ")\r\n" TWX_COMPANY, "About Trawlix", MB_OK);
      break;
#ifndef TWX_PRE_RELEASE
    case IDM_ENGINE_SETS:
      StartTool(frame, EngineSetToolPath(twx::ProgramFolder()));
      break;
    case IDM_HELP_CONTENTS:
      StartTool(frame, HelpProgramPath(twx::ProgramFolder()));
      break;
#endif
  }
}

#ifdef TWX_PRE_RELEASE
const twx::TAppFrame kFrame = {kClassName, kTitle, "MAINICON", IDM_MAIN, OnCommand, nullptr};
#else
const twx::TAppFrame kFrame = {kClassName, kTitle, "MAINICON", IDM_MAIN, OnCommand, OpenQueryFolder};
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  HWND frame = twx::CreateAppFrame(instance, &kFrame);
  if (!frame) return 1;
  const std::vector<std::string> arguments = twx::CommandArguments(GetCommandLineA());
  if (!arguments.empty()) OpenQueryFolder(frame, arguments[0]);
  twx::ShowAppFrame(frame, showCommand);
  return twx::RunMessageLoop();
}
