// vhzip: builds and inspects the setup's payload archives and delta patches.
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kVersion[] = "vhzip 5.3";

const char kUsage[] =
    "Usage: vhzip COMMAND [ARGS...]\n"
    "       vhzip --help | --version\n"
    "\n"
    "Builds and inspects the payload archives of the Trawlmark 5.3 setup.\n"
    "\n"
    "Exit status: 0 on success, 1 when the data is bad, 2 for a usage error.\n";

// Exit codes shared by every subcommand.
enum { kExitOk = 0, kExitBadData = 1, kExitUsage = 2 };

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("%s\n", kVersion);
    return kExitOk;
  }
  std::fprintf(stderr, "vhzip: unknown command '%s' (try 'vhzip --help')\n", command.c_str());
  return kExitUsage;
}
