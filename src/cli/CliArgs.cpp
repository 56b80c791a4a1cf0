#include "cli/CliArgs.h"

#include <algorithm>

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

const char* HelpText() {
  return "usage: apctl [--connect usb|usb:PATH|serial:PORT|hidsock:PATH|sim] [--json] COMMAND ...\n"
         "\n"
         "commands:\n"
         "  ports                               serial ports, and HID devices with id 0483:5750\n"
         "  monitor [--count N] [--record] [--follow] [--alerts]\n"
         "                                      one line per valid telemetry record (Ctrl+C ends);\n"
         "                                      --record also writes them to Hj/<start time>.hj;\n"
         "                                      --follow waits for a device that goes away and\n"
         "                                      goes on when it returns (a line on stderr for each)\n"
         "  inspect [--seconds N]               the link for N seconds (default 5): sentences by tag,\n"
         "                                      bad sums, stray bytes, USB reports, the last of each\n"
         "  params get [--verbose]              read the parameters and print them by name\n"
         "                                      (--verbose: label, unit, range, description)\n"
         "  params set NAME=VALUE ...           read, change, check, write, read back and confirm\n"
         "  params save FILE                    back up the parameters to a file\n"
         "  params load FILE                    restore them from a file, then read back and confirm\n"
         "  params diff FILE                    the names that differ (exit 0 equal, 1 different)\n"
         "  params history                      the snapshots taken before writes, newest first\n"
         "  params restore SNAPSHOT|FILE [--only NAME,...]\n"
         "                                      write a snapshot or file back (or only those names)\n"
         "  Every write (set, load, restore, defaults) first stores a snapshot in\n"
         "  $XDG_DATA_HOME/apdesk/parameters/; --no-snapshot writes without one.\n"
         "  defaults [--yes]                    restore the controller's defaults, then read back\n"
         "  calibrate                           start the transmitter stick calibration\n"
         "  install-error                       capture the installation error, print the two values\n"
         "  compass-check [--seconds N]         compass check mode on, judge the heading, mode off\n"
         "                                      (turn the aircraft clockwise; default 30 s)\n"
         "  upgrade FILE.bin                    serve the image to the boot loader\n"
         "  record info FILE                    records, time span, positions, altitude, voltage\n"
         "  record export FILE --format csv|jsonl|gpx|kml [-o OUT]\n"
         "  record export FILE|DIR... --format F --out-dir OUT   one export per record file in OUT;\n"
         "                                      csv and jsonl rows name their record file\n"
         "  doctor                              check this machine for the controller: device, access,\n"
         "                                      udev rule, serial group, ModemManager, port held;\n"
         "                                      each finding that blocks with its fix (exit 1 if any)\n"
         "  doctor --udev-rule                  print the udev rule (for the fix it names)\n"
         "  share nmea [--listen HOST:PORT] [--pty]\n"
         "                                      the position as NMEA 0183 (GGA, RMC, VTG) for gpsd and\n"
         "                                      other programs, on 127.0.0.1:10110 unless --listen\n"
         "                                      names another address; --pty on a pseudo-terminal\n"
         "                                      instead (its path on stderr); follows the device\n"
         "                                      until Ctrl+C\n"
         "  map prefetch (--bbox S,W,N,E | --record FILE...) --zoom A[-B] [--source S] [--dry-run]\n"
         "                                      fetch map tiles into the tile store, resumable\n"
         "  map export OUT.mbtiles (--bbox ... | --record FILE...) --zoom A-B [--source S]\n"
         "                                      write stored tiles into an MBTiles file, no network\n"
         "  map info                            where the tile store is, its size, tiles per source\n"
         "\n"
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
          *error = "--connect needs a value: usb, usb:PATH, serial:PORT, hidsock:PATH or sim";
          return false;
        }
        value = args[++i];
      } else {
        value = a.substr(10);
      }
      const std::optional<ConnectSpec> target = ParseConnectTarget(value);
      if (!target) {
        *error = "unknown connection \"" + value + "\": use usb, usb:PATH, serial:PORT, hidsock:PATH or sim";
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
