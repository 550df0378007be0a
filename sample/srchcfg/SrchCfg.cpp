// SrchCfg.exe, the engine-set tool: shows which search engines every engine
// set of the product searches, from the data files beside the program.
#include <windows.h>

#include <string>
#include <vector>

#include "AppFrame.h"
#include "EngineFiles.h"
#include "TextFiles.h"

namespace {

const int IDM_MAIN = 10;
const int IDM_RELOAD = 11;
const int IDM_EXIT = 12;

std::string ViewOfEngineFiles(const std::string& folder) {
  std::string setBytes, registryBytes;
  std::vector<twx::TEngineSet> sets;
  std::vector<twx::TEngine> engines;
  if (!twx::ReadWholeFile(folder + "\\TWXData\\Set.db", &setBytes)) return "TWXData\\Set.db cannot be read.\r\n";
  if (!twx::ParseEngineSets(setBytes, &sets)) return "TWXData\\Set.db is not a Trawlmark engine set file.\r\n";
  // Without the registry the sets are still worth showing: every engine is then marked.
  if (twx::ReadWholeFile(folder + "\\TWXData\\Entry.db", &registryBytes))
    twx::ParseEngineRegistry(registryBytes, &engines);
  return twx::DescribeEngineSets(sets, engines);
}

void OnCommand(HWND frame, int id) {
  if (id == IDM_RELOAD) twx::SetViewText(frame, ViewOfEngineFiles(twx::ProgramFolder()));
  if (id == IDM_EXIT) DestroyWindow(frame);
}

const twx::TAppFrame kFrame = {"TWXSrchCfg", "Trawlix Engine Sets", "MAINICON", IDM_MAIN, OnCommand, nullptr};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  HWND frame = twx::CreateAppFrame(instance, &kFrame);
  if (!frame) return 1;
  twx::SetViewText(frame, ViewOfEngineFiles(twx::ProgramFolder()));
  twx::ShowAppFrame(frame, showCommand);
  return twx::RunMessageLoop();
}
