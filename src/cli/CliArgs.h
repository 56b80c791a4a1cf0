#pragma once
// apctl's command line: the global options, the connection and the command
// with its own arguments. Plain C++ so it is tested without a device.

#include <optional>
#include <string>
#include <vector>

#include "cli/CommandHelp.h"
#include "core/ConnectTarget.h"

namespace apdesk::cli {

using ConnectSpec = ConnectTarget;

struct CliOptions {
  ConnectSpec connect;
  bool json = false;
  bool help = false;
  bool version = false;
  std::vector<std::string> command;  // the command and its arguments
};

// Parses everything before the command; false with a message on a bad option.
bool ParseGlobalOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error);

// What apctl --help prints before the exit statuses: the usage, the
// commands of the table, the connections and the parameter names.
std::string HelpText(const std::vector<Command>& commands);
const char* HelpAfterCommands();

// "--count 5" / "--count=5" style options of one command. Takes the value of
// `name` out of args; false with a message when it is present but invalid.
bool TakeIntOption(std::vector<std::string>& args, const std::string& name, int lowest, int highest,
                   std::optional<int>* value, std::string* error);
bool TakeStringOption(std::vector<std::string>& args, const std::string& name, const std::string& shortName,
                      std::optional<std::string>* value, std::string* error);
bool TakeFlag(std::vector<std::string>& args, const std::string& name);

}  // namespace apdesk::cli
