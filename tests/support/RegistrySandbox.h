// Redirects the machine-wide registry roots of this process into a scratch key,
// so registry tests neither depend on nor change the Wine prefix's registry.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <string>

namespace twxtest {

// While an instance lives, HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER,
// HKEY_CLASSES_ROOT and HKEY_USERS of this process open empty scratch keys;
// the destructor restores the real roots and deletes the scratch tree.
class RegistrySandbox {
 public:
  RegistrySandbox();
  ~RegistrySandbox();
  RegistrySandbox(const RegistrySandbox&) = delete;
  RegistrySandbox& operator=(const RegistrySandbox&) = delete;

  // False when a root could not be redirected (the test must not go on).
  bool Active() const { return active_; }

 private:
  std::string scratch_;
  HKEY keys_[4] = {};
  bool active_ = false;
};

// Small readers for assertions. ReadRegRaw gives the stored bytes exactly (a
// terminating NUL included) and, where asked, their type; ReadRegString drops
// one terminating NUL. Both give "" when the value is missing (and the type
// (DWORD)-1). RegKeyExists looks in the view that rights name (KEY_WOW64_...).
std::string ReadRegRaw(HKEY root, const std::string& key, const std::string& value, DWORD* type = nullptr);
std::string ReadRegString(HKEY root, const std::string& key, const std::string& value);
bool RegKeyExists(HKEY root, const std::string& key, REGSAM view = 0);
bool WriteRegString(HKEY root, const std::string& key, const std::string& value, const std::string& data);
// Sets a value (the key's unnamed one for an empty name) of any type to exactly these bytes.
bool WriteRegValue(HKEY root, const std::string& key, const std::string& value, DWORD type, const std::string& data);

}  // namespace twxtest

#endif
