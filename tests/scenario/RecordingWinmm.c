/* A stand-in of the multimedia library for the setup's scenarios: it logs what
   the setup asks of it, one line a call, to the file named by TWX_SOUND_LOG, and
   answers as a machine with two MIDI devices would. The first pass of the tune
   ends normally at once; the second is reported aborted, which must not
   restart it. Built a second time without the device count and the MCI
   function, as an older library would lack them. */
#include <windows.h>

#include <stdio.h>

static int plays;

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

__declspec(dllexport) BOOL WINAPI PlaySoundA(LPCSTR sound, HMODULE module, DWORD flags) {
  char line[300];
  (void)module;
  if (HIWORD((ULONG_PTR)sound) == 0)
    snprintf(line, sizeof line, "PlaySoundA #%u 0x%lX", (unsigned)(ULONG_PTR)sound, (unsigned long)flags);
  else
    snprintf(line, sizeof line, "PlaySoundA %s 0x%lX", sound, (unsigned long)flags);
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
