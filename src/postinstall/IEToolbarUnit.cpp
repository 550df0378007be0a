#include "IEToolbarUnit.h"

#include <vector>

#include "FileUtils.h"
#include "Global.h"

namespace {

const char kCommandMappingKey[] = "Software\\Microsoft\\Internet Explorer\\Extensions\\CmdMapping";
const char kToolbarKey[] = "Software\\Microsoft\\Internet Explorer\\Toolbar";
const char kNextId[] = "NextId";

// A key name can be 255 characters; one more for the zero.
const DWORD kKeyNameBuffer = 261;

// The product's command identifier in this user's mapping: the one it got
// before, or the mapping's next free one, which is then taken. 0 when the
// mapping has neither.
DWORD CommandIdentifier(HKEY mapping) {
  DWORD identifier = 0;
  DWORD size = sizeof identifier;
  if (RegQueryValueExA(mapping, kExtensionGuid, nullptr, nullptr, reinterpret_cast<BYTE*>(&identifier), &size) ==
      ERROR_SUCCESS)
    return identifier;
  DWORD next = 0, type = 0;
  size = sizeof next;
  if (RegQueryValueExA(mapping, kNextId, nullptr, &type, reinterpret_cast<BYTE*>(&next), &size) != ERROR_SUCCESS)
    return 0;
  identifier = next;
  ++next;
  RegSetValueExA(mapping, kNextId, 0, type, reinterpret_cast<const BYTE*>(&next), sizeof next);
  RegSetValueExA(mapping, kExtensionGuid, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&identifier),
                 sizeof identifier);
  return identifier;
}

// Adds the button to the open toolbar key's layout, which has the given type
// and size.
void InsertIntoLayout(HKEY toolbar, DWORD type, DWORD size, DWORD identifier) {
  std::vector<uint8_t> layout(size + kToolbarRecordSize);
  DWORD read = static_cast<DWORD>(layout.size());
  if (RegQueryValueExA(toolbar, kToolbarLayoutGuid, nullptr, nullptr, layout.data(), &read) != ERROR_SUCCESS) return;
  layout.resize(read);
  if (InsertToolbarButton(&layout, identifier) != kButtonInserted) return;
  RegSetValueExA(toolbar, kToolbarLayoutGuid, 0, type, layout.data(), static_cast<DWORD>(layout.size()));
}

}  // namespace

bool RegisterBrowserExtension(const std::string& executable) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kExtensionKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return false;
  const OSVERSIONINFOA version = QueryWindowsVersion();
  bool all = true;
  for (const TNameValue& value : ComposeExtensionValues(executable, version.dwMajorVersion, version.dwMinorVersion)) {
    if (RegSetValueExA(key, value.Name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.Value.c_str()),
                       static_cast<DWORD>(value.Value.size() + 1)) != ERROR_SUCCESS)
      all = false;
  }
  RegCloseKey(key);
  return all;
}

namespace {

// Gives the user behind userRoot (HKEY_CURRENT_USER or a key of HKEY_USERS) a
// command identifier for the product and the button in his toolbar layout,
// once.
void AddToolbarButton(HKEY userRoot) {
  HKEY toolbar;
  if (RegOpenKeyExA(userRoot, kToolbarKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &toolbar) != ERROR_SUCCESS) return;
  DWORD type = 0, size = 0;
  // A layout this setup does not know is left alone before anything of the
  // user's is touched, so no identifier is spent on him either.
  if (RegQueryValueExA(toolbar, kToolbarLayoutGuid, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_BINARY || !IsKnownToolbarLayoutSize(size)) {
    RegCloseKey(toolbar);
    return;
  }
  HKEY mapping;
  if (RegOpenKeyExA(userRoot, kCommandMappingKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &mapping) != ERROR_SUCCESS) {
    RegCloseKey(toolbar);
    return;
  }
  const DWORD identifier = CommandIdentifier(mapping);
  RegCloseKey(mapping);
  if (identifier != 0) InsertIntoLayout(toolbar, type, size, identifier);
  RegCloseKey(toolbar);
}

}  // namespace

bool InstallBrowserButton(const std::string& executable) {
  if (!RegisterBrowserExtension(executable)) return false;
  AddToolbarButton(HKEY_CURRENT_USER);
  // Every profile that is loaded now, the current user's included (found there
  // a second time, it already has the button).
  for (DWORD index = 0;; ++index) {
    char name[kKeyNameBuffer];
    DWORD length = kKeyNameBuffer;
    const LONG result = RegEnumKeyExA(HKEY_USERS, index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS) break;
    // The profile new users are made from; it is nobody's toolbar.
    if (UpperAscii(std::string(name, length)) == ".DEFAULT") continue;
    HKEY user;
    if (RegOpenKeyExA(HKEY_USERS, name, 0, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_ENUMERATE_SUB_KEYS, &user) !=
        ERROR_SUCCESS)
      continue;
    AddToolbarButton(user);
    RegCloseKey(user);
  }
  return true;
}
