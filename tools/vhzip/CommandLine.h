// The command-line front end of vhzip: a table of subcommands, each with its
// usage text, its options and a function that does the work. Adding a
// subcommand means adding one row and one function.
#pragma once

#include <map>
#include <string>
#include <vector>

// Exit codes shared by every subcommand.
enum { kExitOk = 0, kExitBadData = 1, kExitUsage = 2 };

struct TOptionSpec {
  const char* longName;   // "--level"
  const char* shortName;  // "-o", or null
  const char* valueName;  // "N"; every option takes a value
  const char* help;
};

struct TArguments {
  std::vector<std::string> positional;
  std::map<std::string, std::string> options;  // by long name
  bool Has(const char* longName) const { return options.count(longName) != 0; }
  std::string Get(const char* longName, const std::string& fallback = std::string()) const {
    auto it = options.find(longName);
    return it == options.end() ? fallback : it->second;
  }
};

struct TCommand {
  const char* name;
  const char* arguments;  // positional part of the synopsis, e.g. "DIR"
  size_t positionalCount;
  const char* summary;    // one line for the command list
  const char* description;
  std::vector<TOptionSpec> options;
  std::vector<const char*> requiredOptions;
  int (*run)(const TArguments& arguments);
};

// The subcommands, in the order --help lists them.
const std::vector<TCommand>& Commands();

// Parses argv and runs the subcommand; returns the process's exit code.
int RunCommandLine(int argc, char** argv);

// "vhzip COMMAND: message" on standard error; returns code.
int Fail(const char* command, int code, const std::string& message);
