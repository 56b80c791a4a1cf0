#pragma once
// What every apctl command runs with: its options and arguments, the output,
// and the helpers that open the link and report failures alike. The commands
// themselves sit one file per group (LinkCommands, ParamsCommands,
// ControllerCommands, ToolCommands); Apctl.cpp's table names them.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "cli/Apctl.h"
#include "cli/CliArgs.h"
#include "cli/CliLink.h"

namespace apdesk::cli {

struct Context {
  CliOptions options;
  std::vector<std::string> args;  // the command's own arguments, after its name(s)
  std::ostream& out;
  std::ostream& err;
  const CliHooks& hooks;

  int Fail(int status, const std::string& message);
  // A wait ended without what it waited for: Ctrl+C, a device that went away,
  // or silence, in that order. After a write the operator must know that the
  // controller may hold the new values, unconfirmed.
  int NoAnswer(const CliLink& link, bool afterWrite = false);
  int Lost();
  static constexpr const char* kGone = "the device is gone (unplugged, or its port closed)";
  bool Terminal() const;
};

// Flushes out and tells whether everything written so far reached it; errno
// then says why not.
bool OutputWritten(std::ostream& out);
// Reads a whole small text file; a pipe or device is refused without waiting.
bool ReadTextFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error);
// The back end of --connect sim: the hook's, else the built-in simulator.
std::unique_ptr<IHidBackend> MakeSim(const Context& c, bool bootloader);
bool OpenLink(Context& c, CliLink& link, bool bootloader, int* status);
bool NoExtraArgs(Context& c, int* status);
// Waits for telemetry, asking for the parameters as the window does after an
// open, so a silent controller is noticed before a command is sent blind.
bool WaitForTelemetry(CliLink& link);
// The windows' settings file, beside the programs or in the user's folder;
// empty when this program's own path cannot be read.
std::string WindowsSettingsPath();

// LinkCommands.cpp: watching the link.
int CmdPorts(Context& c);
int CmdMonitor(Context& c);
int CmdInspect(Context& c);
int CmdShare(Context& c);
// ParamsCommands.cpp: the parameters.
int CmdParams(Context& c);
int CmdDefaults(Context& c);
// ControllerCommands.cpp: making the controller act.
int CmdCalibrate(Context& c);
int CmdInstallError(Context& c);
int CmdCompassCheck(Context& c);
int CmdUpgrade(Context& c);
// ToolCommands.cpp: no controller needed.
int CmdRecord(Context& c);
int CmdDoctor(Context& c);
int CmdMap(Context& c);

}  // namespace apdesk::cli
