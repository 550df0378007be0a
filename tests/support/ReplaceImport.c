/* Points the running program's import of library!function, which its code
   calls through, at replacement; what it held, or null. Tests put failing or
   watching versions of system functions into the code under test this way,
   from a test program or from a library loaded into the program. In C for
   the scenarios' recording library. */
#include <windows.h>

#include <string.h>

void* ReplaceImport(const char* library, const char* function, void* replacement) {
  BYTE* base = (BYTE*)GetModuleHandleA(NULL);
  const IMAGE_NT_HEADERS* headers = (const IMAGE_NT_HEADERS*)(base + ((IMAGE_DOS_HEADER*)base)->e_lfanew);
  const IMAGE_DATA_DIRECTORY* imports = &headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  IMAGE_IMPORT_DESCRIPTOR* entry;
  for (entry = (IMAGE_IMPORT_DESCRIPTOR*)(base + imports->VirtualAddress); entry->Name; ++entry) {
    IMAGE_THUNK_DATA* name = (IMAGE_THUNK_DATA*)(base + entry->OriginalFirstThunk);
    IMAGE_THUNK_DATA* slot = (IMAGE_THUNK_DATA*)(base + entry->FirstThunk);
    if (lstrcmpiA((const char*)(base + entry->Name), library) != 0) continue;
    for (; name->u1.AddressOfData; ++name, ++slot) {
      DWORD protection = 0;
      void* previous;
      if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) ||
          strcmp((const char*)((IMAGE_IMPORT_BY_NAME*)(base + name->u1.AddressOfData))->Name, function) != 0)
        continue;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &protection);
      previous = (void*)slot->u1.Function;
      slot->u1.Function = (ULONG_PTR)replacement;
      VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, protection, &protection);
      return previous;
    }
  }
  return NULL;
}
