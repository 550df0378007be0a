// twxmklnk TARGET FOLDER NAME HOTKEY: writes one shortcut with the setup's own
// code, so that a host-side script can read the file with other tools.
#include <cstdio>
#include <cstdlib>

#include "ShellLinks.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fputs("usage: twxmklnk TARGET FOLDER NAME HOTKEY\n", stderr);
    return 2;
  }
  const WORD hotKey = static_cast<WORD>(std::strtoul(argv[4], nullptr, 0));
  if (!CreateShellShortcut(argv[1], argv[2], argv[3], false, hotKey)) {
    std::fputs("twxmklnk: the shortcut was not written\n", stderr);
    return 1;
  }
  return 0;
}
