/* A "version.dll" as a stranger would plant it beside a downloaded setup: it
   answers every file with the version 66.77 and can be told apart by its
   marker export. */
#include <windows.h>

#include <string.h>

/* The fixed version record as it lies in a version resource. */
typedef struct {
  DWORD signature, structVersion, fileVersionMS, fileVersionLS, productVersionMS, productVersionLS;
  DWORD flagsMask, flags, os, type, subtype, dateMS, dateLS;
} TFixedVersion;

int TwxPlantedMarker(void) { return 1; }

DWORD WINAPI PlantedSize(LPCSTR file, LPDWORD handle) {
  (void)file;
  if (handle) *handle = 0;
  return sizeof(TFixedVersion);
}

BOOL WINAPI PlantedInfo(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
  TFixedVersion fixed;
  (void)file;
  (void)handle;
  if (size < sizeof fixed) return FALSE;
  memset(&fixed, 0, sizeof fixed);
  fixed.signature = 0xFEEF04BD;
  fixed.fileVersionMS = (66u << 16) | 77u;
  memcpy(data, &fixed, sizeof fixed);
  return TRUE;
}

BOOL WINAPI PlantedQuery(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
  (void)subBlock;
  *buffer = (LPVOID)block;
  *length = sizeof(TFixedVersion);
  return TRUE;
}
