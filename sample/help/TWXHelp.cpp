// Help\TWXHelp.exe, the help viewer: shows the help text that lies beside it.
// Given a topic title, it opens the text at that topic's heading.
#include <windows.h>

#include <string>
#include <vector>

#include "AppFrame.h"
#include "TextFiles.h"

namespace {

const int IDM_MAIN = 10;
const int IDM_EXIT = 11;

void OnCommand(HWND frame, int id) {
  if (id == IDM_EXIT) DestroyWindow(frame);
}

// Selects the heading line "== topic ==" so the view scrolls to it.
void ShowTopic(HWND frame, const std::string& text, const std::string& topic) {
  const size_t at = text.find("== " + topic + " ==");
  if (at == std::string::npos) return;
  HWND view = GetDlgItem(frame, twx::kViewId);
  SendMessageA(view, EM_SETSEL, at, at + topic.size() + 6);
  SendMessageA(view, EM_SCROLLCARET, 0, 0);
}

const twx::TAppFrame kFrame = {"TWXHelpViewer", "Trawlix Help", "MAINICON", IDM_MAIN, OnCommand, nullptr};

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  HWND frame = twx::CreateAppFrame(instance, &kFrame);
  if (!frame) return 1;
  std::string bytes;
  if (!twx::ReadWholeFile(twx::ProgramFolder() + "\\Contents.txt", &bytes)) {
    twx::SetViewText(frame, "The help text (Help\\Contents.txt) is missing. Please run the setup again.\r\n");
  } else {
    twx::SetViewText(frame, twx::WithCrLf(bytes));
  }
  twx::ShowAppFrame(frame, showCommand);
  const std::vector<std::string> arguments = twx::CommandArguments(GetCommandLineA());
  if (!bytes.empty() && !arguments.empty()) ShowTopic(frame, twx::WithCrLf(bytes), arguments[0]);
  return twx::RunMessageLoop();
}
