#include "CommandLine.h"

#include <cstdio>
#include <cstring>

namespace {

const char kVersion[] = "vhzip 5.3";

void PrintCommandHelp(const TCommand& c, FILE* out) {
  std::string synopsis = std::string("vhzip ") + c.name + " " + c.arguments;
  for (const TOptionSpec& o : c.options) {
    bool required = false;
    for (const char* r : c.requiredOptions) required = required || std::strcmp(r, o.longName) == 0;
    std::string form = std::string(o.shortName ? o.shortName : o.longName) + " " + o.valueName;
    synopsis += required ? " " + form : " [" + form + "]";
  }
  std::fprintf(out, "Usage: %s\n\n%s\n", synopsis.c_str(), c.description);
  if (!c.options.empty()) std::fprintf(out, "\nOptions:\n");
  for (const TOptionSpec& o : c.options) {
    std::string names = o.shortName ? std::string(o.shortName) + ", " + o.longName : std::string(o.longName);
    names += std::string(" ") + o.valueName;
    std::fprintf(out, "  %-26s %s\n", names.c_str(), o.help);
  }
  std::fprintf(out, "  %-26s %s\n", "-h, --help", "show this text");
  std::fprintf(out, "\nExit status: 0 on success, 1 when the data is bad, 2 for a usage error.\n");
}

void PrintUsage(FILE* out) {
  std::fprintf(out,
               "Usage: vhzip COMMAND [ARGS...]\n"
               "       vhzip --help | --version\n"
               "\n"
               "Builds and inspects the payload archives of the Trawlmark 5.3 setup.\n"
               "\n"
               "Commands:\n");
  for (const TCommand& c : Commands()) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n'vhzip COMMAND --help' describes a command.\n"
               "Exit status: 0 on success, 1 when the data is bad, 2 for a usage error.\n");
}

int UsageError(const TCommand& c, const std::string& message) {
  std::fprintf(stderr, "vhzip %s: %s (try 'vhzip %s --help')\n", c.name, message.c_str(), c.name);
  return kExitUsage;
}

const TOptionSpec* FindOption(const TCommand& c, const std::string& name) {
  for (const TOptionSpec& o : c.options)
    if (name == o.longName || (o.shortName && name == o.shortName)) return &o;
  return nullptr;
}

int RunCommand(const TCommand& c, int argc, char** argv) {
  TArguments args;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      args.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      PrintCommandHelp(c, stdout);
      return kExitOk;
    }
    std::string name = arg;
    std::string value;
    bool inlineValue = false;
    size_t eq = arg.find('=');
    if (arg.compare(0, 2, "--") == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      inlineValue = true;
    }
    const TOptionSpec* o = FindOption(c, name);
    if (o == nullptr) return UsageError(c, "unknown option '" + name + "'");
    if (!inlineValue) {
      if (i + 1 >= argc) return UsageError(c, "option '" + name + "' needs a value");
      value = argv[++i];
    }
    args.options[o->longName] = value;
  }
  if (args.positional.size() != c.positionalCount) {
    return UsageError(c, args.positional.size() < c.positionalCount ? std::string("expected ") + c.arguments
                                                                       : "too many arguments");
  }
  for (const char* r : c.requiredOptions) {
    if (!args.Has(r)) {
      const TOptionSpec* o = FindOption(c, r);
      return UsageError(c, std::string("missing ") + (o->shortName ? o->shortName : o->longName) + " " +
                               o->valueName);
    }
  }
  return c.run(args);
}

}  // namespace

int Fail(const char* command, int code, const std::string& message) {
  std::fprintf(stderr, "vhzip %s: %s\n", command, message.c_str());
  return code;
}

int RunCommandLine(int argc, char** argv) {
  if (argc < 2) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  const std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "help") {
    PrintUsage(stdout);
    return kExitOk;
  }
  if (command == "--version") {
    std::printf("%s\n", kVersion);
    return kExitOk;
  }
  for (const TCommand& c : Commands())
    if (command == c.name) return RunCommand(c, argc - 2, argv + 2);
  std::fprintf(stderr, "vhzip: unknown command '%s' (try 'vhzip --help')\n", command.c_str());
  return kExitUsage;
}
