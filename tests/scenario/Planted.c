/* A library planted beside the downloaded setup under the name of one the
   setup uses. Were it ever loaded, it leaves a mark the scenario looks for. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    char name[MAX_PATH];
    HANDLE mark;
    DWORD written, length = GetModuleFileNameA(instance, name, sizeof name);
    mark = CreateFileA("C:\\twx-planted-loaded.txt", FILE_APPEND_DATA, FILE_SHARE_READ, NULL, OPEN_ALWAYS, 0, NULL);
    if (mark != INVALID_HANDLE_VALUE) {
      WriteFile(mark, name, length, &written, NULL);
      CloseHandle(mark);
    }
  }
  return TRUE;
}
