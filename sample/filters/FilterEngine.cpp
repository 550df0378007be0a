// The filters' shared engine, "Filters\TWXParse.dll": the code every document
// filter of the product uses, in a library beside them rather than in each.
// A filter therefore loads only where the system finds this library too.
#include <windows.h>

#include <cstring>

extern "C" {

// 1 when the file name's extension is one of list ("ext,ext,...", any case).
__declspec(dllexport) int TWXMatchesExtension(const char* list, const char* fileName) {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  if (!list || !dot || std::strchr(dot, '\\')) return 0;
  const size_t length = std::strlen(dot + 1);
  while (*list) {
    const char* end = std::strchr(list, ',');
    const size_t item = end ? static_cast<size_t>(end - list) : std::strlen(list);
    if (item == length && _strnicmp(list, dot + 1, length) == 0) return 1;
    list += item + (end ? 1 : 0);
  }
  return 0;
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
