#ifdef _WIN32
#include "LinkReader.h"

#include <objidl.h>
#include <shlobj.h>

namespace twxtest {

TLinkInfo ReadLink(const std::string& file) {
  TLinkInfo info;
  if (FAILED(CoInitialize(nullptr))) return info;
  IShellLinkA* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      WCHAR wide[MAX_PATH];
      MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
      if (SUCCEEDED(persist->Load(wide, STGM_READ))) {
        char text[MAX_PATH];
        info.loaded = true;
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH))) info.target = text;
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH))) info.workingFolder = text;
        if (SUCCEEDED(link->GetDescription(text, MAX_PATH))) info.description = text;
        link->GetHotkey(&info.hotKey);
      }
      persist->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return info;
}

}  // namespace twxtest
#endif
