#include "cli/Apctl.h"

#include <ostream>

#include "cli/CliArgs.h"
#include "cli/CliLink.h"
#include "cli/CommandContext.h"
#include "cli/CommandHelp.h"
#include "cli/ExitStatus.h"
#include "cmdline/BuildVersion.h"
#include "cmdline/NearName.h"
#include "files/WholeFile.h"

namespace apdesk::cli {

namespace {

// Every command: the dispatch, --help, the manual page and the completion
// are made from this table.
const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"ports", CmdPorts, {{"ports", "serial ports, and HID devices with id 0483:5750", ""}}},
      {"monitor",
       CmdMonitor,
       {{"monitor [--count N] [--record] [--follow] [--alerts]",
         "one line per valid telemetry record (Ctrl+C ends);\n"
         "--record also writes them to Hj/<start time>.hj;\n"
         "--follow waits for a device that goes away and\n"
         "goes on when it returns (a line on stderr for each)",
         "Print one line per valid telemetry record until Ctrl+C, or until N records were printed. --record "
         "also writes every record to Hj/<start time>.hj under the current directory. --follow keeps going "
         "when the device goes away: monitor says so on standard error, looks for the same device (or serial "
         "port) once a second, and goes on, in the same record file, when it returns. --alerts reads the "
         "parameters first and prints an alert line among the records whenever one of the controller's "
         "limits is passed or no longer passed (low_voltage, critical_voltage, gps_lost, distance_limit, "
         "altitude_limit, link_lost, link_back, telemetry_stale, recording_stopped); with --json each alert "
         "is an object with alert, state, level, value, limit and time."}},
       "",
       true},
      {"inspect",
       CmdInspect,
       {{"inspect [--seconds N]",
         "the link for N seconds (default 5): sentences by tag,\n"
         "bad sums, stray bytes, USB reports, the last of each",
         "Watch the link for N seconds (default 5) and print what arrived: sentences by tag, bad sums, stray "
         "bytes, USB reports, and the last sentence of each tag."}}},
      {"params",
       CmdParams,
       {{"params get [--verbose]",
         "read the parameters and print them by name\n"
         "(--verbose: label, unit, range, description)",
         "Read the parameters and print them by name; --verbose adds each one's label, unit, allowed values "
         "and what it does."},
        {"params set NAME=VALUE ...", "read, change, check, write, read back and confirm",
         "Read the parameters, change the named ones, check every value, write them, read them back and "
         "confirm that the controller holds what was written. A value out of range is refused and nothing "
         "is sent."},
        {"params save FILE", "back up the parameters to a file", ""},
        {"params load FILE", "restore them from a file, then read back and confirm", ""},
        {"params diff FILE", "the names that differ (exit 0 equal, 1 different)",
         "Print the parameters whose values differ between the controller and FILE, with both values. Exit "
         "status 0 when they are equal, 1 when they differ."},
        {"params history", "the snapshots taken before writes, newest first", ""},
        {"params restore SNAPSHOT|FILE [--only NAME,...]",
         "write a snapshot or file back (or only those names)",
         "Write a snapshot (by the name params history shows) or a parameter file back, or only the named "
         "parameters of it, then read back and confirm."}},
       "Every write (set, load, restore, defaults) first stores a snapshot in\n"
       "$XDG_DATA_HOME/apdesk/parameters/; --no-snapshot writes without one."},
      {"defaults",
       CmdDefaults,
       {{"defaults [--yes]", "restore the controller's defaults, then read back",
         "Restore the controller's defaults, then read the parameters back. Without --yes it asks for "
         "confirmation on the terminal, and refuses when there is none."}}},
      {"calibrate", CmdCalibrate, {{"calibrate", "start the transmitter stick calibration", ""}}},
      {"install-error",
       CmdInstallError,
       {{"install-error", "capture the installation error, print the two values", ""}}},
      {"compass-check",
       CmdCompassCheck,
       {{"compass-check [--seconds N]",
         "compass check mode on, judge the heading, mode off\n"
         "(turn the aircraft clockwise; default 30 s)",
         "Switch the compass check mode on, judge the heading while the aircraft is turned clockwise, and "
         "switch the mode off again. N is the time allowed for a verdict (default 30 seconds)."}}},
      {"upgrade", CmdUpgrade, {{"upgrade FILE.bin", "serve the image to the boot loader", ""}}},
      {"record",
       CmdRecord,
       {{"record info FILE", "records, time span, positions, altitude, voltage",
         "Show what a flight record holds: its records, time span, positions, altitude and voltage."},
        {"record export FILE --format csv|jsonl|gpx|kml [-o OUT]", "",
         "Convert a flight record to CSV, JSON Lines, GPX or KML, written to OUT or to standard output."},
        {"record export FILE|DIR... --format F --out-dir OUT",
         "one export per record file in OUT;\n"
         "csv and jsonl rows name their record file",
         ""}}},
      {"doctor",
       CmdDoctor,
       {{"doctor",
         "check this machine for the controller: device, access,\n"
         "udev rule, serial group, ModemManager, port held;\n"
         "each finding that blocks with its fix (exit 1 if any)",
         "Check this machine for the controller, for the user running it: is a 0483:5750 device present and "
         "its hidraw node readable and writable; is the udev rule installed; is the user in the group of the "
         "serial ports; is ModemManager running; is the given or remembered serial port held by another "
         "process (named). Each finding that blocks is followed by the one command that fixes it. Exit "
         "status 0 when nothing blocks, 1 otherwise."},
        {"doctor --udev-rule", "print the udev rule (for the fix it names)",
         "Print the udev rule, for the command that installs it."}}},
      {"share",
       CmdShare,
       {{"share nmea [--listen HOST:PORT] [--pty]",
         "the position as NMEA 0183 (GGA, RMC, VTG) for gpsd and\n"
         "other programs, on 127.0.0.1:10110 unless --listen\n"
         "names another address; --pty on a pseudo-terminal\n"
         "instead (its path on stderr); follows the device\n"
         "until Ctrl+C",
         ""}}},
      {"map",
       CmdMap,
       {{"map prefetch (--bbox S,W,N,E | --record FILE...) --zoom A[-B] [--source S] [--dry-run]",
         "fetch map tiles into the tile store, resumable",
         "Fetch map tiles into the tile store (resumable). Refused for the built-in OpenStreetMap source, "
         "whose tile policy forbids bulk downloads."},
        {"map export OUT.mbtiles (--bbox ... | --record FILE...) --zoom A-B [--source S]",
         "write stored tiles into an MBTiles file, no network", ""},
        {"map info", "where the tile store is, its size, tiles per source", ""}}},
  };
  return commands;
}

// The --connect forms for a manual page, in roff.
std::string ConnectFormsManual() {
  std::string out;
  for (const ConnectForm& f : ConnectForms()) {
    const std::string form = f.form;
    const std::size_t colon = form.find(':');
    out += colon == std::string::npos
               ? ".TP\n.B " + form + "\n"
               : ".TP\n.BI " + form.substr(0, colon + 1) + " " + form.substr(colon + 1) + "\n";
    out += RoffText(f.meaning) + "\n";
  }
  return out;
}

// For the build and the shell, not for people: `--commands` lists the names,
// `--help-man commands|connect` prints a section of the manual pages.
bool BuildQuery(const std::vector<std::string>& args, std::ostream& out, int* status) {
  if (args.size() == 1 && args[0] == "--commands") {
    out << CommandNames(Commands());
    *status = kExitOk;
    return true;
  }
  if (args.size() != 2 || args[0] != "--help-man") return false;
  if (args[1] == "commands") {
    out << CommandsManual(Commands());
  } else if (args[1] == "connect") {
    out << ConnectFormsManual();
  } else {
    return false;
  }
  *status = kExitOk;
  return true;
}

int UnknownCommand(Context& c, const std::string& command) {
  std::vector<std::string> names = {"help"};
  for (const Command& known : Commands()) names.push_back(known.name);
  const std::string near = NearestName(command, names);
  return c.Fail(kExitUsage, "unknown command \"" + command + "\"" +
                                (near.empty() ? std::string(" (apctl --help lists them)")
                                              : " (did you mean \"" + near + "\"?)"));
}

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
               const CliHooks& hooks, bool* readerMayLeave) {
  g_interrupted.store(false);
  int status = kExitOk;
  if (BuildQuery(args, out, &status)) return status;
  Context c{{}, {}, out, err, hooks};
  std::string error;
  if (!ParseGlobalOptions(args, &c.options, &error)) {
    err << "apctl: " << error << "\n";
    return kExitUsage;
  }
  const std::string command = c.options.command.empty() ? std::string() : c.options.command.front();
  if (c.options.help || (!c.options.version && command == "help")) {
    out << HelpText(Commands()) << ExitStatusTable();
    return kExitOk;
  }
  if (c.options.version) {
    out << "apctl " << kBuildVersion << "\n";
    return kExitOk;
  }
  c.args.assign(c.options.command.begin() + 1, c.options.command.end());
  for (const Command& known : Commands()) {
    if (command != known.name) continue;
    *readerMayLeave = known.readerMayLeave;
    return known.run(c);
  }
  return UnknownCommand(c, command);
}

}  // namespace

int RunApctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const CliHooks& hooks) {
  bool readerMayLeave = false;
  const int status = RunCommand(args, out, err, hooks, &readerMayLeave);
  // The result that did not reach its reader (a full disk, a closed pipe) is
  // a failure, whatever the command made of it.
  if (!OutputWritten(out) && !readerMayLeave) {
    // Said whatever the command's own status: a doctor's findings or a diff
    // lost on a full disk would otherwise end without a word.
    err << "apctl: cannot write the output: " << FileErrorReason(errno) << "\n";
    return status != kExitOk ? status : kExitFileError;
  }
  return status;
}

}  // namespace apdesk::cli
