#ifdef _WIN32
#include "RegistrySandbox.h"

namespace twxtest {

namespace {

const char kSandboxParent[] = "Software\\TrawlixTests";

const HKEY kRoots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, HKEY_USERS};
const char* const kRootNames[] = {"HKLM", "HKCU", "HKCR", "HKU"};

}  // namespace

RegistrySandbox::RegistrySandbox() {
  static unsigned counter = 0;
  scratch_ = std::string(kSandboxParent) + "\\Sandbox-" + std::to_string(GetCurrentProcessId()) + "-" +
             std::to_string(++counter);
  // A sandbox of an earlier, crashed run with the same name would not be empty.
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
  active_ = true;
  for (int i = 0; i < 4; ++i) {
    const std::string path = scratch_ + "\\" + kRootNames[i];
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys_[i],
                        nullptr) != ERROR_SUCCESS)
      active_ = false;
  }
  for (int i = 0; i < 4 && active_; ++i)
    if (RegOverridePredefKey(kRoots[i], keys_[i]) != ERROR_SUCCESS) active_ = false;
}

RegistrySandbox::~RegistrySandbox() {
  for (int i = 0; i < 4; ++i) {
    RegOverridePredefKey(kRoots[i], nullptr);
    if (keys_[i]) RegCloseKey(keys_[i]);
  }
  RegDeleteTreeA(HKEY_CURRENT_USER, scratch_.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, kSandboxParent);  // fails while another sandbox is in it
}

std::string ReadRegRaw(HKEY root, const std::string& key, const std::string& value, DWORD* type) {
  char data[65536];
  DWORD size = sizeof data - 1, found = static_cast<DWORD>(-1);
  HKEY handle;
  LONG rc = RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &handle);
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExA(handle, value.c_str(), nullptr, &found, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
  }
  if (type) *type = rc == ERROR_SUCCESS ? found : static_cast<DWORD>(-1);
  return rc == ERROR_SUCCESS ? std::string(data, size) : std::string();
}

std::string ReadRegString(HKEY root, const std::string& key, const std::string& value) {
  std::string data = ReadRegRaw(root, key, value);
  if (!data.empty() && data.back() == '\0') data.pop_back();
  return data;
}

bool RegKeyExists(HKEY root, const std::string& key, REGSAM view) {
  HKEY handle;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

bool WriteRegValue(HKEY root, const std::string& key, const std::string& value, DWORD type, const std::string& data) {
  HKEY handle;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
    return false;
  const LONG rc = RegSetValueExA(handle, value.empty() ? nullptr : value.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
  RegCloseKey(handle);
  return rc == ERROR_SUCCESS;
}

bool WriteRegString(HKEY root, const std::string& key, const std::string& value, const std::string& data) {
  return WriteRegValue(root, key, value, REG_SZ, data + std::string(1, '\0'));
}

}  // namespace twxtest
#endif
