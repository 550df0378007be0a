/* An "mpr.dll" planted beside the program: every drive is its own share. */
#include <windows.h>

#include <string.h>

int TwxPlantedMarker(void) { return 1; }

DWORD WINAPI PlantedConnection(LPCSTR localName, LPSTR remoteName, LPDWORD length) {
  static const char share[] = "\\\\planted\\share";
  (void)localName;
  if (*length < sizeof share) return ERROR_MORE_DATA;
  memcpy(remoteName, share, sizeof share);
  return NO_ERROR;
}
