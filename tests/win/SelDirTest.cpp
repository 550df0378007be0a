// The folder browser driven as a user would: the dialog runs on a second thread
// of this program on the test display, the robot types, clicks, double-clicks
// and answers the message boxes, and a screenshot of it is kept.
#include <windows.h>

#include <gtest/gtest.h>

#include "FileUtils.h"
#include "Robot.h"
#include "SelDir.h"
#include "SelDirLogic.h"
#include "TestSupport.h"

namespace {

const char kTitle[] = "Select Destination Folder";
const char kCaption[] = "Trawlmark 5.3 Setup";
const DWORD kWait = twxtest::kUntilDone;

struct TBrowse {
  std::string initial;
  std::string result;
};

DWORD WINAPI RunBrowse(LPVOID data) {
  TBrowse* browse = static_cast<TBrowse*>(data);
  browse->result = BrowseForFolder(nullptr, browse->initial, "Trawlix", kCaption);
  return 0;
}

std::string Text(HWND dialog, int id) { return robot::WindowText(robot::Control(dialog, id)); }

// Waits until a control shows the expected text; returns what it shows last.
std::string WaitForText(HWND dialog, int id, const std::string& expected) {
  const DWORD start = GetTickCount();
  std::string text = Text(dialog, id);
  while (text != expected && GetTickCount() - start < kWait) {
    Sleep(20);
    text = Text(dialog, id);
  }
  return text;
}

std::vector<TFolderItem> ListItems(HWND dialog) {
  HWND list = robot::Control(dialog, kSelDirFolders);
  std::vector<TFolderItem> items;
  const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    char text[MAX_PATH] = "";
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    const int data = static_cast<int>(SendMessageA(list, LB_GETITEMDATA, static_cast<WPARAM>(i), 0));
    items.push_back({text, data});
  }
  return items;
}

int IndexOf(const std::vector<TFolderItem>& items, const std::string& text) {
  for (size_t i = 0; i < items.size(); ++i)
    if (items[i].text == text) return static_cast<int>(i);
  return -1;
}

std::string DriveText(HWND drives, LRESULT index) {
  char text[MAX_PATH] = "";
  SendMessageA(drives, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
  return text;
}

// Typed into the path field key by key, replacing what it showed. Typing
// opens no box, so each key is sent and handled before the next.
void TypePath(HWND dialog, const std::string& text) {
  HWND edit = robot::Control(dialog, kSelDirPath);
  SendMessageA(edit, EM_SETSEL, 0, -1);
  SendMessageA(edit, WM_CHAR, VK_BACK, 1);
  for (char c : text) SendMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
}

// A marker posted to a window's thread: once the thread takes it, it has
// handled every message posted before it.
UINT FlushMessage() {
  static const UINT message = RegisterWindowMessageA("TwxSelDirTestFlush");
  return message;
}
HANDLE gFlushed = CreateEventA(nullptr, TRUE, FALSE, nullptr);

LRESULT CALLBACK NoteFlush(int code, WPARAM removal, LPARAM data) {
  if (code == HC_ACTION && reinterpret_cast<const MSG*>(data)->message == FlushMessage()) SetEvent(gFlushed);
  return CallNextHookEx(nullptr, code, removal, data);
}

// Returns once the window's thread has handled everything posted or sent to it
// so far. A sent message alone is not enough: it is taken before the posted
// ones, such as the activation the system posts to a new dialog's thread, which
// gives the focus back to the control the dialog had first.
void Settle(HWND window) {
  HHOOK hook = SetWindowsHookExA(WH_GETMESSAGE, NoteFlush, nullptr, GetWindowThreadProcessId(window, nullptr));
  ResetEvent(gFlushed);
  if (hook && PostMessageA(window, FlushMessage(), 0, 0)) WaitForSingleObject(gFlushed, kWait);
  if (hook) UnhookWindowsHookEx(hook);
  DWORD_PTR result;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, kWait, &result);
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// A double-click with the mouse on an item of the folder list.
void DoubleClickItem(HWND dialog, int index) {
  HWND list = robot::Control(dialog, kSelDirFolders);
  // Scrolled into view first: a user can only click what is shown.
  SendMessageA(list, LB_SETTOPINDEX, static_cast<WPARAM>(index), 0);
  RECT rect = {};
  SendMessageA(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&rect));
  const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
}

// The text of a message box and the box itself.
HWND WaitForBox(std::string* text) {
  HWND box = robot::WaitForWindow("#32770", kCaption, kWait, GetCurrentProcessId());
  if (box) {
    Settle(box);
    for (const robot::TChild& child : robot::Children(box))
      if (child.className == "Static" && child.text.size() > 20) *text = child.text;
  }
  return box;
}

// Waits until a box is destroyed: then its thread is back in the code that
// showed it.
bool WaitForBoxEnd(HWND box) {
  const DWORD start = GetTickCount();
  while (IsWindow(box)) {
    if (GetTickCount() - start >= kWait) return false;
    Sleep(20);
  }
  return true;
}

class FolderBrowser : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = temp_.Join("Root");
    programFiles_ = root_ + "\\Program Files";
    MakeFolderPath(programFiles_ + "\\Common Files");
    MakeFolderPath(programFiles_ + "\\Zeta");
    MakeFolderPath(programFiles_ + "\\Hidden");
    SetFileAttributesA((programFiles_ + "\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY);
    ASSERT_TRUE(twxtest::WriteWholeFile(programFiles_ + "\\readme.txt", "x"));
    initial_ = programFiles_ + "\\VarnTech\\Trawlix";
  }
  void TearDown() override {
    if (thread_) {
      // A test that failed half-way must not leave the dialog open.
      HWND dialog = FindWindowA("#32770", kTitle);
      if (dialog) PostMessageA(dialog, WM_CLOSE, 0, 0);
      WaitForSingleObject(thread_, kWait);
      CloseHandle(thread_);
    }
  }
  HWND Open(const std::string& initial) {
    browse_.initial = initial;
    thread_ = CreateThread(nullptr, 0, RunBrowse, &browse_, 0, nullptr);
    HWND dialog = robot::WaitForWindow("#32770", kTitle, kWait, GetCurrentProcessId());
    if (dialog) {
      Settle(dialog);
      RedrawWindow(dialog, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);  // for the screenshots
    }
    return dialog;
  }
  // The dialog's result once it has ended; "(still open)" when it did not end.
  std::string Result() {
    if (WaitForSingleObject(thread_, kWait) != WAIT_OBJECT_0) return "(still open)";
    CloseHandle(thread_);
    thread_ = nullptr;
    return browse_.result;
  }
  // Whether the dialog is still open once what the robot did has been handled
  // (ending hides it at once).
  bool StillOpen(HWND dialog) {
    Settle(dialog);
    return IsWindow(dialog) && IsWindowVisible(dialog) && WaitForSingleObject(thread_, 0) == WAIT_TIMEOUT;
  }

  twxtest::TempFolder temp_;
  std::string root_, programFiles_, initial_;
  TBrowse browse_;
  HANDLE thread_ = nullptr;
};

TEST_F(FolderBrowser, OpensAtTheNearestExistingFolderAndCancelKeepsTheInitialPath) {
  HWND dialog = Open(initial_);
  ASSERT_NE(dialog, nullptr) << "the dialog did not appear";
  EXPECT_EQ(Text(dialog, kSelDirPath), programFiles_);
  EXPECT_EQ(Text(dialog, kSelDirLabel), "Destination f&older (\"Trawlix\" will be added):");

  // The path from the root down, the destination item, the visible subfolders
  // (how the list is made is checked by the portable code).
  const std::vector<TFolderItem> items = ListItems(dialog);
  const int level = IndexOf(items, "Program Files");
  ASSERT_GT(level, 0);
  EXPECT_EQ(items[0].text, "C:\\");
  ASSERT_EQ(static_cast<int>(items.size()), level + 4) << "no hidden folder, no file";
  EXPECT_EQ(items[level + 1].text, "Trawlix");
  EXPECT_EQ(items[level + 1].data, -(level + 1) * kFolderIndent);
  EXPECT_EQ(items[level + 2].data, (level + 1) * kFolderIndent);
  EXPECT_EQ(SendMessageA(robot::Control(dialog, kSelDirFolders), LB_GETCURSEL, 0, 0), level);

  // The drive list starts at C:, shows the current path's drive and each drive type's icon.
  HWND drives = robot::Control(dialog, kSelDirDrives);
  EXPECT_EQ(DriveText(drives, SendMessageA(drives, CB_GETCURSEL, 0, 0)).substr(0, 3), "C: ");
  EXPECT_GE(DriveText(drives, 0), "C");
  EXPECT_NE(SendMessageA(drives, CB_GETITEMDATA, 0, 0), 0);

  EXPECT_TRUE(robot::SaveWindowBmp(dialog, twxtest::ArtifactsFolder() + "\\seldir_browser.bmp"));
  ASSERT_TRUE(robot::ClickButton(dialog, IDCANCEL));
  EXPECT_EQ(Result(), initial_);
}

TEST_F(FolderBrowser, ATypedFolderIsAcceptedWithTheSubfolderAfterYes) {
  const std::string data = temp_.Join("Data");
  ASSERT_TRUE(CreateDirectoryA(data.c_str(), nullptr));
  HWND dialog = Open(initial_);
  ASSERT_NE(dialog, nullptr);
  // Doubled backslashes and a trailing one are tidied away.
  std::string typed = data + "\\";
  typed.insert(typed.find('\\'), "\\");
  TypePath(dialog, typed);
  ASSERT_EQ(WaitForText(dialog, kSelDirPath, typed), typed);
  ASSERT_TRUE(robot::ClickButton(dialog, kSelDirOk));

  std::string question;
  HWND box = WaitForBox(&question);
  ASSERT_NE(box, nullptr) << "no question about the missing folder";
  EXPECT_EQ(question, MissingFolderQuestion(data + "\\Trawlix"));
  ASSERT_TRUE(robot::ClickButton(box, IDNO));
  ASSERT_TRUE(WaitForBoxEnd(box));
  EXPECT_TRUE(StillOpen(dialog));

  ASSERT_TRUE(robot::ClickButton(dialog, kSelDirOk));
  box = WaitForBox(&question);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(robot::ClickButton(box, IDYES));
  EXPECT_EQ(Result(), data + "\\Trawlix");
  // Yes only accepts the path: the folder is created later, by the setup.
  EXPECT_FALSE(IsExistingFolder(data + "\\Trawlix"));
}

TEST_F(FolderBrowser, AnExistingProductFolderIsAcceptedWithoutAQuestion) {
  const std::string product = temp_.Join("Data\\Trawlix");
  MakeFolderPath(product);
  // Resolved against the current drive when typed without one.
  struct TCurrentFolder {
    char saved[MAX_PATH] = "";
    explicit TCurrentFolder(const std::string& folder) {
      GetCurrentDirectoryA(sizeof saved, saved);
      SetCurrentDirectoryA(folder.c_str());
    }
    ~TCurrentFolder() { SetCurrentDirectoryA(saved); }
  } current(temp_.Path());
  HWND dialog = Open(initial_);
  ASSERT_NE(dialog, nullptr);
  TypePath(dialog, product.substr(2));
  ASSERT_EQ(WaitForText(dialog, kSelDirPath, product.substr(2)), product.substr(2));
  // Enter in the path field presses OK.
  ASSERT_TRUE(robot::PressKey(robot::Control(dialog, kSelDirPath), VK_RETURN));
  EXPECT_EQ(Result(), product);
}

TEST_F(FolderBrowser, APathWithoutDriveIsRefusedWithAWarning) {
  HWND dialog = Open(initial_);
  ASSERT_NE(dialog, nullptr);
  TypePath(dialog, "Data");
  ASSERT_EQ(WaitForText(dialog, kSelDirPath, "Data"), "Data");
  ASSERT_TRUE(robot::ClickButton(dialog, kSelDirOk));
  std::string warning;
  HWND box = WaitForBox(&warning);
  ASSERT_NE(box, nullptr) << "no warning about the invalid path";
  EXPECT_EQ(warning, InvalidFolderMessage("Data"));
  EXPECT_TRUE(robot::SaveWindowBmp(box, twxtest::ArtifactsFolder() + "\\seldir_invalid_path.bmp"));
  ASSERT_TRUE(robot::ClickButton(box, IDOK));
  ASSERT_TRUE(WaitForBoxEnd(box));
  EXPECT_TRUE(StillOpen(dialog));
  // Escape leaves with the initial path.
  ASSERT_TRUE(robot::PressKey(robot::Control(dialog, kSelDirPath), VK_ESCAPE));
  EXPECT_EQ(Result(), initial_);
}

TEST_F(FolderBrowser, DoubleClicksWalkTheFolderList) {
  ASSERT_FALSE(IsExistingFolder("C:\\Trawlix"));
  HWND dialog = Open(programFiles_);
  ASSERT_NE(dialog, nullptr);
  std::vector<TFolderItem> items = ListItems(dialog);
  DoubleClickItem(dialog, IndexOf(items, "Zeta"));
  EXPECT_EQ(WaitForText(dialog, kSelDirPath, programFiles_ + "\\Zeta"), programFiles_ + "\\Zeta");
  items = ListItems(dialog);
  const int level = IndexOf(items, "Zeta");
  ASSERT_GT(level, 0);
  EXPECT_EQ(items[level].data, level * kFolderIndent);
  EXPECT_EQ(items.back().text, "Trawlix");

  // The destination item stands for the product's folder below the shown one.
  DoubleClickItem(dialog, level + 1);
  EXPECT_EQ(WaitForText(dialog, kSelDirPath, programFiles_ + "\\Zeta\\Trawlix"), programFiles_ + "\\Zeta\\Trawlix");
  EXPECT_EQ(Text(dialog, kSelDirLabel), "Destination f&older:");

  // The root item: the drive root, which OK turns into the root's product folder.
  DoubleClickItem(dialog, 0);
  EXPECT_EQ(WaitForText(dialog, kSelDirPath, "C:\\"), "C:\\");
  ASSERT_TRUE(robot::ClickButton(dialog, kSelDirOk));
  std::string question;
  HWND box = WaitForBox(&question);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(question, MissingFolderQuestion("C:\\Trawlix"));
  ASSERT_TRUE(robot::ClickButton(box, IDYES));
  EXPECT_EQ(Result(), "C:\\Trawlix");
}

TEST_F(FolderBrowser, EnterOnAHighlightedFolderOpensIt) {
  HWND dialog = Open(programFiles_);
  ASSERT_NE(dialog, nullptr);
  HWND list = robot::Control(dialog, kSelDirFolders);
  const int common = IndexOf(ListItems(dialog), "Common Files");
  ASSERT_GT(common, 0);
  SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(list), TRUE);
  SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(common), 0);
  Settle(dialog);
  ASSERT_EQ(FocusOf(dialog), list) << "Enter would go to another control";
  ASSERT_TRUE(robot::PressKey(list, VK_RETURN));
  EXPECT_EQ(WaitForText(dialog, kSelDirPath, programFiles_ + "\\Common Files"), programFiles_ + "\\Common Files");
  EXPECT_TRUE(StillOpen(dialog));
  // The focused list shows its selection highlighted.
  EXPECT_TRUE(robot::SaveWindowBmp(dialog, twxtest::ArtifactsFolder() + "\\seldir_folder_opened.bmp"));
  // Now the highlighted item is the shown folder: Enter accepts.
  ASSERT_TRUE(robot::PressKey(list, VK_RETURN));
  std::string question;
  HWND box = WaitForBox(&question);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(question, MissingFolderQuestion(programFiles_ + "\\Common Files\\Trawlix"));
  ASSERT_TRUE(robot::ClickButton(box, IDYES));
  EXPECT_EQ(Result(), programFiles_ + "\\Common Files\\Trawlix");
}

TEST_F(FolderBrowser, ChoosingADriveShowsItsRoot) {
  if (GetDriveTypeA("Z:\\") != DRIVE_FIXED) GTEST_SKIP() << "no drive Z: here";
  HWND dialog = Open(programFiles_);
  ASSERT_NE(dialog, nullptr);
  HWND drives = robot::Control(dialog, kSelDirDrives);
  const LRESULT first = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  LRESULT z = SendMessageA(drives, CB_GETCOUNT, 0, 0) - 1;
  while (z >= 0 && DriveText(drives, z)[0] != 'Z') --z;
  ASSERT_GE(z, 0);
  // Dropped down and left without a choice: the drive shown stays.
  SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(z), 0);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(kSelDirDrives, CBN_SELENDCANCEL), reinterpret_cast<LPARAM>(drives));
  EXPECT_EQ(SendMessageA(drives, CB_GETCURSEL, 0, 0), first);
  EXPECT_EQ(Text(dialog, kSelDirPath), programFiles_);

  SendMessageA(drives, CB_SETCURSEL, static_cast<WPARAM>(z), 0);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kSelDirDrives, CBN_SELENDOK), reinterpret_cast<LPARAM>(drives));
  EXPECT_EQ(WaitForText(dialog, kSelDirPath, "Z:\\"), "Z:\\");
  const std::vector<TFolderItem> items = ListItems(dialog);
  ASSERT_GE(items.size(), 2u);
  EXPECT_EQ(items[0].text, "Z:\\");
  EXPECT_EQ(items[1].text, "Trawlix");
  PostMessageA(dialog, WM_CLOSE, 0, 0);
  EXPECT_EQ(Result(), programFiles_ + "\\Trawlix");
}

}  // namespace
