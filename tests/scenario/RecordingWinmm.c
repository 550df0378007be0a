/* A stand-in of the multimedia library for the setup's scenarios: it logs what
   the setup asks of it, one line a call, to the file named by TWX_SOUND_LOG,
   and answers as a machine with two MIDI devices would (the tune's first pass
   ends normally, the second is reported aborted, which must not restart it).
   Built a second time without the device count and the MCI function, as an
   older library would lack them. Loaded before the setup's first window, it
   also logs where each window of the setup's thread is first shown, a dialog
   that changes size while the user can use it and a timer of no window; and it
   refuses the windows whose class or title TWX_REFUSE_WINDOWS names. With
   TWX_STOP_AT it stops the setup at a moment of its work, for the test to end
   it there as a crash or a power cut would. */
#include <windows.h>

#include <stdio.h>
#include <string.h>

void* ReplaceImport(const char* library, const char* function, void* replacement); /* ../support */

static void LogLine(const char* line) {
  char path[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("TWX_SOUND_LOG", path, sizeof path);
  HANDLE file;
  DWORD written;
  if (length == 0 || length >= sizeof path) return;
  file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
  if (file == INVALID_HANDLE_VALUE) return;
  WriteFile(file, line, (DWORD)lstrlenA(line), &written, NULL);
  WriteFile(file, "\n", 1, &written, NULL);
  CloseHandle(file);
}

static int Refused(const char* name) {
  char refused[300], item[300];
  refused[0] = '|';
  if (!HIWORD((ULONG_PTR)name) || !GetEnvironmentVariableA("TWX_REFUSE_WINDOWS", refused + 1, 200)) return 0;
  snprintf(item, sizeof item, "|%s|", name);
  return strstr(strcat(refused, "|"), item) != NULL;
}

static LRESULT CALLBACK WatchCreation(int code, WPARAM wParam, LPARAM lParam) {
  const CREATESTRUCTA* window = code == HCBT_CREATEWND ? ((CBT_CREATEWNDA*)lParam)->lpcs : NULL;
  if (window && (Refused(window->lpszClass) || Refused(window->lpszName))) return 1;
  return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT CALLBACK WatchWindows(int code, WPARAM wParam, LPARAM lParam) {
  const CWPRETSTRUCT* call = (const CWPRETSTRUCT*)lParam;
  char line[400], title[256], name[16];
  if (code == HC_ACTION && call->message == WM_WINDOWPOSCHANGED && GetParent(call->hwnd) == GetWindow(call->hwnd, GW_OWNER)) {
    const WINDOWPOS* place = (const WINDOWPOS*)call->lParam;
    GetWindowTextA(call->hwnd, title, sizeof title);
    if ((place->flags & SWP_SHOWWINDOW) && !GetPropA(call->hwnd, "twx-shown")) {
      SetPropA(call->hwnd, "twx-shown", (HANDLE)1);
      snprintf(line, sizeof line, "shown %d %d %s", place->x, place->y, title);
      LogLine(line);
    }
    GetClassNameA(call->hwnd, name, sizeof name);
    if (!(place->flags & SWP_NOSIZE) && !strcmp(name, "#32770") && IsWindowVisible(call->hwnd) &&
        IsWindowEnabled(call->hwnd)) {
      snprintf(line, sizeof line, "resized while usable %d %s", place->cy, title);
      LogLine(line);
    }
  }
  return CallNextHookEx(NULL, code, wParam, lParam);
}

static LRESULT CALLBACK WatchTimers(int code, WPARAM wParam, LPARAM lParam) {
  const MSG* message = (const MSG*)lParam;
  char line[64];
  if (code == HC_ACTION && message->message == WM_TIMER && !message->hwnd && !message->lParam) {
    snprintf(line, sizeof line, "timer without a window %u", (unsigned)message->wParam);
    LogLine(line);
  }
  return CallNextHookEx(NULL, code, wParam, lParam);
}

/* The moment, "<function> <end of its argument>": right after the setup's
   first call of MoveFileExA (the name moved to), DeleteFileA or Sleep (the
   milliseconds) with such an argument, the setup logs "stopped at <moment>"
   and waits for ever. */
static char stopAt[300];
static BOOL(WINAPI* moveFile)(LPCSTR, LPCSTR, DWORD);
static BOOL(WINAPI* deleteFile)(LPCSTR);
static void(WINAPI* sleepFor)(DWORD);

static void StopIfAt(const char* function, const char* argument) {
  const size_t length = strlen(function), argumentLength = strlen(argument);
  const char* end = stopAt + length + 1;
  char line[340];
  if (strncmp(stopAt, function, length) || stopAt[length] != ' ' || argumentLength < strlen(end) ||
      lstrcmpiA(argument + argumentLength - strlen(end), end))
    return;
  snprintf(line, sizeof line, "stopped at %s", stopAt);
  LogLine(line);
  for (;;) sleepFor(INFINITE);
}

static BOOL WINAPI WatchedMoveFile(LPCSTR from, LPCSTR to, DWORD flags) {
  const BOOL moved = moveFile(from, to, flags);
  StopIfAt("MoveFileExA", to);
  return moved;
}

static BOOL WINAPI WatchedDeleteFile(LPCSTR path) {
  const BOOL deleted = deleteFile(path);
  StopIfAt("DeleteFileA", path);
  return deleted;
}

static void WINAPI WatchedSleep(DWORD milliseconds) {
  char text[16];
  snprintf(text, sizeof text, "%lu", (unsigned long)milliseconds);
  sleepFor(milliseconds);
  StopIfAt("Sleep", text);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)instance, (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    SetWindowsHookExA(WH_CBT, WatchCreation, NULL, GetCurrentThreadId());
    SetWindowsHookExA(WH_CALLWNDPROCRET, WatchWindows, NULL, GetCurrentThreadId());
    SetWindowsHookExA(WH_GETMESSAGE, WatchTimers, NULL, GetCurrentThreadId());
    const DWORD stopLength = GetEnvironmentVariableA("TWX_STOP_AT", stopAt, sizeof stopAt);
    if (stopLength > 0 && stopLength < sizeof stopAt) {
      sleepFor = Sleep;
      moveFile = (BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD))ReplaceImport("kernel32.dll", "MoveFileExA", WatchedMoveFile);
      deleteFile = (BOOL(WINAPI*)(LPCSTR))ReplaceImport("kernel32.dll", "DeleteFileA", WatchedDeleteFile);
      ReplaceImport("kernel32.dll", "Sleep", WatchedSleep);
    }
  }
  return TRUE;
}

__declspec(dllexport) BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
  char line[300], number[16];
  (void)module;
  snprintf(number, sizeof number, "#%u", (unsigned)(ULONG_PTR)sound);
  snprintf(line, sizeof line, "PlaySoundA %s 0x%lX", HIWORD((ULONG_PTR)sound) ? sound : number, (unsigned long)flags);
  LogLine(line);
  return TRUE;
}

__declspec(dllexport) UINT WINAPI midiOutSetVolume(HANDLE device, DWORD volume) {
  char line[64];
  snprintf(line, sizeof line, "midiOutSetVolume %u 0x%08lX", (unsigned)(ULONG_PTR)device, (unsigned long)volume);
  LogLine(line);
  return 0;
}

#ifndef TWX_PARTIAL_LIBRARY
static int plays;

__declspec(dllexport) UINT WINAPI midiOutGetNumDevs(void) { return 2; }

__declspec(dllexport) UINT WINAPI mciSendStringA(LPCSTR command, LPSTR answer, UINT answerLength, HWND notify) {
  char line[600];
  (void)answer;
  (void)answerLength;
  snprintf(line, sizeof line, "mciSendStringA %s%s", command, notify ? " [notify]" : "");
  LogLine(line);
  if (notify && lstrcmpA(command, "play trawlix notify") == 0)
    PostMessageA(notify, 0x3B9 /* MM_MCINOTIFY */, ++plays == 1 ? 1 /* successful */ : 4 /* aborted */, 0);
  return 0;
}
#endif
