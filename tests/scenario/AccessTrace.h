// Access lists as the programs of a machine asked for them. Wine stores none,
// but a wine server started with -d1 prints every request: each file or
// folder created with a security descriptor, each list set, each deletion.
// Replayed, they give every object's own entries; what it inherits, and so
// what users may do with it, is worked out as Windows 2000 and later do: the
// entries of its folder meant for files or folders below, unless its own list
// is protected.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace twxtest {

struct TAce {
  std::string sid;  // "S-1-1-0"
  bool allow;
  uint32_t flags;  // OBJECT_INHERIT 1, CONTAINER_INHERIT 2, NO_PROPAGATE 4, INHERIT_ONLY 8
  uint32_t mask;
};
struct TOwnAccess {
  bool isProtected = false;
  std::vector<TAce> aces;  // the object's own entries, none inherited
};

struct TAccessReplay {
  // By path in upper case ("C:\PROGRAM FILES", "C:" for a drive's root).
  std::map<std::string, TOwnAccess> own;
  std::map<std::string, std::string> handles;  // "thread handle" -> path
  std::map<std::string, std::string> pending;  // thread -> its request awaiting the reply
  // Descriptors handed to an opening that may find the object there (the
  // system then ignores them): they cannot be placed.
  std::vector<std::string> unplaced;
};

std::string AccessKey(std::string path);
// One line of the server's output; lines of other requests change nothing.
void Feed(TAccessReplay* replay, const std::string& line);
// The rights the union of the groups holds on the file or folder.
uint32_t Rights(const TAccessReplay& replay, const std::string& path, bool folder, const std::set<std::string>& sids);

}  // namespace twxtest
