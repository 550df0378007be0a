#include "AccessTrace.h"

#include <cstdlib>

namespace twxtest {

namespace {

const uint32_t kObjectInherit = 1, kContainerInherit = 2, kNoPropagate = 4, kInheritOnly = 8, kInherited = 0x10;
const uint32_t kDaclInformation = 4, kProtectedDacl = 0x80000000u, kUnprotectedDacl = 0x20000000u;
const uint32_t kDaclProtectedControl = 0x1000, kDeleteOnClose = 0x1000;
const int kCreate = 2;  // the disposition that always makes a new object

// The text after "name=" up to the next ",", " " or "}".
std::string Field(const std::string& text, const std::string& name) {
  const size_t at = text.find(name + "=");
  if (at == std::string::npos) return "";
  const size_t from = at + name.size() + 1;
  return text.substr(from, text.find_first_of(", }", from) - from);
}
uint32_t HexField(const std::string& text, const std::string& name) {
  return static_cast<uint32_t>(std::strtoul(Field(text, name).c_str(), nullptr, 16));
}

// The braced value after "name={", without its braces; "" when absent.
std::string Braced(const std::string& text, const std::string& name) {
  const size_t at = text.find(name + "={");
  size_t depth = 0;
  for (size_t i = at == std::string::npos ? text.size() : at + name.size() + 1; i < text.size(); ++i) {
    if (text[i] == '{') ++depth;
    if (text[i] == '}' && --depth == 0) return text.substr(at + name.size() + 2, i - at - name.size() - 2);
  }
  return "";
}

// L"\\??\\C:\\x" as the server prints a name: backslashes doubled.
std::string Name(const std::string& text) {
  const size_t at = text.find("name=L\"");
  std::string name;
  for (size_t i = at == std::string::npos ? text.size() : at + 7; i < text.size() && text[i] != '"'; ++i)
    name += text[i] == '\\' ? text[++i] : text[i];
  return name;
}

TOwnAccess OwnAccessOf(const std::string& sd, uint32_t info) {
  TOwnAccess access;
  access.isProtected = (info & kProtectedDacl) != 0 ||
                       ((info & kUnprotectedDacl) == 0 && (HexField(sd, "control") & kDaclProtectedControl) != 0);
  const std::string dacl = Braced(sd, "dacl");
  for (size_t at = dacl.find("{type="); at != std::string::npos; at = dacl.find("{type=", at + 1)) {
    const std::string ace = dacl.substr(at, dacl.find('}', at) - at);
    const TAce entry = {Field(ace, "sid"), Field(ace, "{type") == "ACCESS_ALLOWED", HexField(ace, "flags"),
                        HexField(ace, "mask")};
    // Entries marked inherited are worked out again from the parent, as the
    // system does; what the caller handed in counts only for its own.
    if (!(entry.flags & kInherited)) access.aces.push_back(entry);
  }
  return access;
}

std::string ParentOf(const std::string& key) {
  const size_t cut = key.rfind('\\');
  return cut == std::string::npos ? "" : key.substr(0, cut);
}

// Every entry of the object's list, its own first, with the flags that pass
// it on; only those without INHERIT_ONLY apply to the object itself.
std::vector<TAce> ListOf(const TAccessReplay& replay, const std::string& key, bool folder) {
  const auto found = replay.own.find(key);
  std::vector<TAce> aces;
  if (found != replay.own.end()) aces = found->second.aces;
  if ((found != replay.own.end() && found->second.isProtected) || ParentOf(key).empty()) return aces;
  for (TAce ace : ListOf(replay, ParentOf(key), true)) {
    const bool once = (ace.flags & kNoPropagate) != 0;
    if (!folder && (ace.flags & kObjectInherit)) ace.flags = 0;
    else if (folder && (ace.flags & kContainerInherit)) ace.flags = once ? 0 : ace.flags & ~kInheritOnly;
    else if (folder && (ace.flags & kObjectInherit) && !once) ace.flags = kObjectInherit | kInheritOnly;
    else continue;
    aces.push_back(ace);
  }
  return aces;
}

}  // namespace

std::string AccessKey(std::string path) {
  if (path.compare(0, 4, "\\??\\") == 0) path.erase(0, 4);
  for (char& c : path) c = c == '/' ? '\\' : c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

void Feed(TAccessReplay* replay, const std::string& line) {
  const size_t colon = line.find(": ");
  const std::string thread = line.substr(0, colon), text = colon == std::string::npos ? "" : line.substr(colon + 2);
  const std::string request = text.substr(0, text.find('('));
  if (request != "create_file" && request != "set_security_object") return;
  if (text.compare(request.size(), 3, "() ") != 0) {
    replay->pending[thread] = text;  // answered by the thread's next line of this request
    return;
  }
  const std::string asked = replay->pending[thread];
  replay->pending.erase(thread);
  if (asked.compare(0, request.size(), request) != 0 || text.compare(request.size(), 6, "() = 0") != 0) return;
  if (request == "set_security_object") {
    const std::string key = replay->handles[thread + " " + Field(asked, "( handle")];
    const uint32_t info = HexField(asked, "security_info");
    if (!key.empty() && (info & kDaclInformation)) replay->own[key] = OwnAccessOf(Braced(asked, "sd"), info);
    return;
  }
  const std::string key = AccessKey(Name(asked)), sd = Braced(asked, "sd");
  replay->handles[thread + " " + Field(text, "{ handle")] = key;
  if (std::atoi(Field(asked, "create").c_str()) == kCreate || (HexField(asked, "options") & kDeleteOnClose)) {
    replay->own.erase(key);  // made new, or gone when closed
    if (!sd.empty()) replay->own[key] = OwnAccessOf(sd, 0);
  } else if (!sd.empty()) {
    replay->unplaced.push_back(key);
  }
}

uint32_t Rights(const TAccessReplay& replay, const std::string& path, bool folder, const std::set<std::string>& sids) {
  uint32_t granted = 0, denied = 0;
  for (const TAce& ace : ListOf(replay, AccessKey(path), folder)) {
    if ((ace.flags & kInheritOnly) || !sids.count(ace.sid)) continue;
    // The generic rights as the file system maps them.
    const uint32_t rights = (ace.mask & 0x0FFFFFFF) | (ace.mask & 0x10000000 ? 0x1F01FF : 0) |
                            (ace.mask & 0x80000000u ? 0x120089 : 0) | (ace.mask & 0x40000000 ? 0x120116 : 0) |
                            (ace.mask & 0x20000000 ? 0x1200A0 : 0);
    if (ace.allow) granted |= rights & ~denied;
    else denied |= rights & ~granted;
  }
  return granted;
}

}  // namespace twxtest
