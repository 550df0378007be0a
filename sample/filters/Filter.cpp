// A document filter of the product: a library that tells which documents it
// reads. The same source builds Textor (text), Slidor (slide shows) and Gridor
// (tables); TWX_FILTER and TWX_FILTER_EXTENSIONS select which.
#include <windows.h>

#include <cstring>

#include "FilterName.h"

extern "C" {

// The filter's name, as its .ini file and the product's filter list show it.
__declspec(dllexport) const char* TWXFilterName() { return TWX_FILTER_NAME; }

// 1 when the filter reads a document of this file name (by its extension).
__declspec(dllexport) int TWXFilterAccepts(const char* fileName) {
  const char* dot = fileName ? std::strrchr(fileName, '.') : nullptr;
  if (!dot || std::strchr(dot, '\\')) return 0;
  const char* list = TWX_FILTER_EXTENSIONS;  // "ext,ext,..."
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
