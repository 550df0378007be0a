#include "EntryNames.h"

namespace {

bool IsDeviceName(const std::string& component, TLeadByteRule lead) {
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
  // Windows drops blanks before the extension too: "NUL .txt" is NUL.
  std::string stem = UpperAscii(component.substr(0, component.find('.')), lead);
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (const char* device : kDevices) {
    if (stem == device) return true;
  }
  if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
  // Digits 0 to 9, and the superscript one, two and three of the ANSI code page.
  const unsigned char digit = static_cast<unsigned char>(stem[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

}  // namespace

bool IsSafeEntryName(const std::string& name, TLeadByteRule lead) {
  if (name.empty() || name[0] == '\\') return false;
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ':' || c == '/') return false;
  }
  size_t start = 0;
  for (;;) {
    const size_t end = FindSeparator(name, start, lead);
    const std::string component = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // Windows drops trailing dots and blanks, so "..", ". ." and "... " all
    // lead to the parent or to the folder itself.
    if (component.find_first_not_of(". ") == std::string::npos) return false;
    if (IsDeviceName(component, lead)) return false;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return true;
}
