// A document filter of the product: a library that tells which documents it
// reads. The same source builds Textor (text), Slidor (slide shows) and Gridor
// (tables); TWX_FILTER and TWX_FILTER_EXTENSIONS select which. The work is
// done by the shared engine beside the filters (FilterEngine.cpp).
#include <windows.h>

#include "FilterName.h"

extern "C" {

__declspec(dllimport) int TWXMatchesExtension(const char* list, const char* fileName);

// The filter's name, as its .ini file and the product's filter list show it.
__declspec(dllexport) const char* TWXFilterName() { return TWX_FILTER_NAME; }

// 1 when the filter reads a document of this file name (by its extension).
__declspec(dllexport) int TWXFilterAccepts(const char* fileName) {
  return TWXMatchesExtension(TWX_FILTER_EXTENSIONS, fileName);
}

}  // extern "C"

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
