#include "cli/CliArgs.h"

#include <algorithm>

#include "cli/CommandHelp.h"
#include "cli/ExitStatus.h"
#include "cmdline/NearName.h"
#include "protocol/ParameterCodec.h"

namespace apdesk::cli {

const char* ExitStatusTable() {
  return "  0  success\n"
         "  1  other failure\n"
         "  2  bad command line\n"
         "  3  no device, it could not be opened, or it went away (unplugged)\n"
         "  4  no answer from the controller (asked three times)\n"
         "  5  value out of range or unknown; nothing was sent\n"
         "  6  read back, the controller reports other values than were written\n"
         "  7  a file cannot be read or written, or is damaged\n"
         "  8  compass-check: the compass is wrong (heading turns the other way)\n"
         "  9  compass-check: no verdict in the time given\n"
         " 10  upgrade: verify error, the read-back differs from the image\n"
         " 11  upgrade: no boot loader announced itself in time\n"
         "130  interrupted (Ctrl+C) before the command was done; monitor ends with 0\n";
}

std::string HelpText(const std::vector<Command>& commands) {
  return "usage: apctl [--connect " + ConnectFormsChoice() + "] [--json] COMMAND ...\n\n" +
         CommandsHelp(commands) + HelpAfterCommands();
}

const char* HelpAfterCommands() {
  return "\n"
         "--connect defaults to usb (the first device 0483:5750); sim is the simulated controller\n"
         "built into apctl (for upgrade it plays the boot loader). --json prints JSON instead of text.\n"
         "Without an answer a command asks again, three times in about three seconds.\n"
         "\n"
         "parameter names and values:\n"
         "  failsafe                  return-land, land, hover\n"
         "  sway_compensation         0 to 255\n"
         "  roll_sensitivity          0 to 255\n"
         "  pitch_sensitivity         0 to 255\n"
         "  gimbal_roll_sensitivity   -127 to 128\n"
         "  gimbal_pitch_sensitivity  -127 to 128\n"
         "  servo_frequency           50, 250, 333, 400\n"
         "  max_speed                 3.6, 4.8, 6.0, 8.0, 10.2, or any other value from 0 to 10.2\n"
         "  vertical_speed            2, 4, 5\n"
         "  volt_alert                3.55, 3.60, 3.65, 3.70\n"
         "  cell_count                0 to 15\n"
         "  altitude_limit            0 to 1500 (metres, kept in steps of 10)\n"
         "  distance_limit            0 to 1500 (metres, kept in steps of 10)\n"
         "  aircraft_type             quad-cross, quad-x, hex-cross, hex-x, or a code 0 to 8 or 10\n"
         "  A value the controller holds that the tool cannot name reads as code:N.\n"
         "\n"
         "exit status:\n";
}

bool ParseGlobalOptions(const std::vector<std::string>& args, CliOptions* options, std::string* error) {
  std::size_t i = 0;
  for (; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--json") {
      options->json = true;
    } else if (a == "--help" || a == "-h") {
      options->help = true;
    } else if (a == "--connect" || a.rfind("--connect=", 0) == 0) {
      std::string value;
      if (a == "--connect") {
        if (i + 1 >= args.size()) {
          *error = "--connect needs a value: " + ConnectFormsText();
          return false;
        }
        value = args[++i];
      } else {
        value = a.substr(10);
      }
      const std::optional<ConnectSpec> target = ParseConnectTarget(value);
      if (!target) {
        *error = "unknown connection \"" + value + "\": use " + ConnectFormsText();
        return false;
      }
      options->connect = *target;
    } else if (a == "--version") {
      options->version = true;
    } else if (a.size() > 1 && a[0] == '-') {
      *error = "unknown option " + a + DidYouMean(a, {"--json", "--help", "--connect", "--version"});
      return false;
    } else {
      break;
    }
  }
  options->command.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (!options->help && !options->version && options->command.empty()) {
    *error = "no command given (apctl --help lists them)";
    return false;
  }
  return true;
}

namespace {

// Finds "--name VALUE" or "--name=VALUE" (or the short name), removes it and
// gives the value. found=false when absent.
bool TakeValue(std::vector<std::string>& args, const std::string& name, const std::string& shortName,
               bool* found, std::string* value, std::string* error) {
  *found = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool exact = a == name || (!shortName.empty() && a == shortName);
    const bool joined = a.rfind(name + "=", 0) == 0;
    if (!exact && !joined) continue;
    if (exact) {
      if (i + 1 >= args.size()) {
        *error = name + " needs a value";
        return false;
      }
      *value = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                 args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    } else {
      *value = a.substr(name.size() + 1);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    }
    *found = true;
    return true;
  }
  return true;
}

}  // namespace

bool TakeIntOption(std::vector<std::string>& args, const std::string& name, int lowest, int highest,
                   std::optional<int>* value, std::string* error) {
  bool found = false;
  std::string text;
  if (!TakeValue(args, name, "", &found, &text, error)) return false;
  if (!found) return true;
  const std::optional<long long> n = ParseInteger(text);
  if (!n || *n < lowest || *n > highest) {
    *error = name + " takes a whole number from " + std::to_string(lowest) + " to " +
             std::to_string(highest) + ", not \"" + text + "\"";
    return false;
  }
  *value = static_cast<int>(*n);
  return true;
}

bool TakeStringOption(std::vector<std::string>& args, const std::string& name, const std::string& shortName,
                      std::optional<std::string>* value, std::string* error) {
  bool found = false;
  std::string text;
  if (!TakeValue(args, name, shortName, &found, &text, error)) return false;
  if (found) *value = text;
  return true;
}

bool TakeFlag(std::vector<std::string>& args, const std::string& name) {
  auto it = std::find(args.begin(), args.end(), name);
  if (it == args.end()) return false;
  args.erase(it);
  return true;
}

}  // namespace apdesk::cli
