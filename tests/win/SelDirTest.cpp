// The folder browser driven as a user would: the dialog runs on a second thread
// of this program on the test display; the list's items are made by portable
// code. The program runs in a single-byte code page and in the Japanese and
// Chinese ones (932, 936, 950), where its folder is named in a character whose
// second byte is that of "\".
#include <windows.h>

#include <cstdlib>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "Product.h"
#include "Robot.h"
#include "SelDir.h"
#include "SelDirLogic.h"
#include "TestSupport.h"

namespace {

const char kTitle[] = "Select Destination Folder";
const DWORD kWait = twxtest::kUntilDone;

// The code page each locale asks for, and the folder the test's tree lies in:
// in a single-byte code page each of these would be a letter and a backslash.
// A locale the machine lacks gives 1252 without a word.
const struct {
  const char *language, *folder;
  UINT codePage;
} kLocales[] = {{"ja_JP", "\x95\x5C", 932}, {"zh_CN", "\x81\x5C", 936}, {"zh_TW", "\xA5\x5C", 950}, {"", "Root", 1252}};

struct TBrowse {
  std::string initial, result;
};

DWORD WINAPI RunBrowse(LPVOID data) {
  TBrowse* browse = static_cast<TBrowse*>(data);
  browse->result = BrowseForFolder(nullptr, browse->initial, "Trawlix", kSetupTitle);
  return 0;
}

class FolderBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* locale = std::getenv("TWX_LOCALE");
    const auto* asked = kLocales;
    while (*asked->language && (!locale || std::string(locale).substr(0, 5) != asked->language)) ++asked;
    ASSERT_EQ(GetACP(), asked->codePage) << (locale ? locale : "no locale asked for");
    own_ = asked->folder;
    programFiles_ = temp_.Join(own_ + "\\Program Files");
    for (const char* folder : {"\\Common Files", "\\Zeta", "\\Hidden"}) MakeFolderPath(programFiles_ + folder);
    std::vector<TFolderMember> made;
    ASSERT_TRUE(ListFolder(temp_.Path(), &made));
    ASSERT_EQ(made.size(), 1u) << "the folders are made where they are named, and nothing beside them";
    EXPECT_EQ(made[0].name, own_);
    SetFileAttributesA((programFiles_ + "\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(twxtest::WriteWholeFile(programFiles_ + "\\readme.txt", "x"));
    initial_ = programFiles_ + kProductFolder;
  }
  void TearDown() override {
    HWND dialog = FindWindowA("#32770", kTitle);
    if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);  // a test that failed half-way
    Result();
  }
  HWND Open() {
    browse_.initial = initial_;
    thread_ = CreateThread(nullptr, 0, RunBrowse, &browse_, 0, nullptr);
    return robot::Settled(robot::WaitForWindow("#32770", kTitle, kWait, GetCurrentProcessId()));
  }
  // The dialog's result once it has ended.
  std::string Result() {
    if (thread_ && twxtest::WaitForEnd(thread_, kWait, "the browser to end") && CloseHandle(thread_))
      thread_ = nullptr;
    return browse_.result;
  }
  bool StillOpen(HWND dialog) { return IsWindowVisible(robot::Settled(dialog)) != FALSE; }
  // Answers the message box that shows text with button; false when none came.
  bool Answer(const std::string& text, int button) {
    HWND box = robot::Settled(robot::WaitForWindow("#32770", kSetupTitle, kWait, GetCurrentProcessId()));
    if (!box) return false;
    bool shown = false;
    for (const robot::TChild& child : robot::Children(box)) shown = shown || child.text == text;
    EXPECT_TRUE(shown) << "no box saying: " << text;
    return robot::ClickButton(box, button) && robot::WaitForWindowGone(box, kWait);
  }
  void Type(HWND dialog, const std::string& text) {
    SendMessageA(robot::Control(dialog, IDC_SELDIR_PATH), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
  // Types text, presses OK and answers the message box that follows.
  bool Submit(HWND dialog, const std::string& text, const std::string& message, int button) {
    Type(dialog, text);
    return robot::ClickButton(dialog, IDC_SELDIR_OK) && Answer(message, button);
  }

  twxtest::TempFolder temp_;
  std::string own_;
  std::string programFiles_, initial_;
  TBrowse browse_;
  HANDLE thread_ = nullptr;
};

TEST_F(FolderBrowser, OpensAtTheNearestExistingFolderWalksTheListAndChecksTypedPaths) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(robot::WindowText(robot::Control(dialog, IDC_SELDIR_PATH)), programFiles_);
  // The path from the root down, the destination item, the visible subfolders.
  HWND list = robot::Control(dialog, IDC_SELDIR_FOLDERS);
  const LRESULT level = SendMessageA(list, LB_FINDSTRINGEXACT, -1, reinterpret_cast<LPARAM>("Program Files"));
  ASSERT_GT(level, 0);
  EXPECT_EQ(SendMessageA(list, LB_GETCURSEL, 0, 0), level);
  EXPECT_EQ(SendMessageA(list, LB_GETCOUNT, 0, 0), level + 4) << "the destination, Common Files, Zeta";
  EXPECT_EQ(SendMessageA(list, LB_FINDSTRINGEXACT, level, reinterpret_cast<LPARAM>("Trawlix")), level + 1);
  robot::SaveWindowBmp(dialog, twxtest::ArtifactsFolder() + "\\seldir_browser_" + std::to_string(GetACP()) + ".bmp");
  // Every kind of item, double-clicked as a user does (shown first): up to an
  // ancestor, down into subfolders again, then a subfolder, the destination
  // item (the product's folder below the shown one), the shown folder's own
  // item, then each ancestor up to the root.
  const auto open = [&](LRESULT index, const std::string& path) {
    Type(dialog, "");
    SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
    RECT rect = {};
    SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
      PostMessageA(list, message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON, at);
    twxtest::WaitUntil([&] { return robot::WindowText(robot::Control(dialog, IDC_SELDIR_PATH)) == path; }, kWait,
                       "the path field to show " + path);
  };
  // The first item of that name after the shown folder's (the search wraps round).
  const auto item = [&](const char* text) {
    return SendMessageA(list, LB_FINDSTRINGEXACT, SendMessageA(list, LB_GETCURSEL, 0, 0), reinterpret_cast<LPARAM>(text));
  };
  open(level - 2, temp_.Path());
  open(item(own_.c_str()), temp_.Join(own_));
  open(item("Program Files"), programFiles_);
  std::string path = programFiles_ + "\\Common Files";
  open(item("Common Files"), path);
  open(item("Trawlix"), path += "\\Trawlix");
  open(SendMessageA(list, LB_GETCURSEL, 0, 0), path);
  while (path.size() > 3) {
    path = ParentPart(path);
    open(SendMessageA(list, LB_GETCURSEL, 0, 0) - 1, path += path.size() == 2 ? "\\" : "");
  }
  // Another drive, then back.
  HWND drives = robot::Control(dialog, IDC_SELDIR_DRIVES);
  for (const char* drive : {"Z:", "C:"}) {
    SendMessageA(drives, CB_SETCURSEL, SendMessageA(drives, CB_FINDSTRING, -1, reinterpret_cast<LPARAM>(drive)), 0);
    SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_SELDIR_DRIVES, CBN_SELENDOK), reinterpret_cast<LPARAM>(drives));
    const std::string root = drive + std::string("\\");
    EXPECT_EQ(robot::WindowText(robot::Control(dialog, IDC_SELDIR_PATH)), root);
    EXPECT_EQ(item(root.c_str()), 0) << "the list begins at the drive's root";
  }
  // Without a drive: refused with a warning, the dialog stays.
  ASSERT_TRUE(Submit(dialog, "Data", InvalidFolderMessage("Data"), IDOK));
  EXPECT_TRUE(StillOpen(dialog));
  // Doubled and trailing backslashes go; No keeps the dialog open; Escape leaves.
  const std::string data = temp_.Join(own_ + "\\Trawlmark");
  const std::string typed = std::string(data).insert(data.find('\\'), "\\") + "\\";
  ASSERT_TRUE(Submit(dialog, typed, MissingFolderQuestion(data + "\\Trawlix"), IDNO));
  EXPECT_TRUE(StillOpen(dialog));
  robot::PressKey(robot::Control(dialog, IDC_SELDIR_PATH), VK_ESCAPE);  // its key-up may find the dialog gone
  EXPECT_EQ(Result(), initial_);
  // Yes: the destination is the folder typed, with the product's below it.
  dialog = Open();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(Submit(dialog, typed, MissingFolderQuestion(data + "\\Trawlix"), IDYES));
  EXPECT_EQ(Result(), data + "\\Trawlix");
}

}  // namespace
