#pragma once
// apctl doctor: what stands between this user on this machine and the
// controller. GatherDoctorFacts looks at the system (under `root`, "/" but
// for tests): the USB device and its hidraw node, the udev rule, the group of
// the serial ports, ModemManager, and the processes holding the port.
// Diagnose judges the facts; a finding that blocks carries the command that
// fixes it when one does (a program holding the port is named, never killed). Plain C++ over POSIX and /proc,
// /sys.

#include <string>
#include <vector>

#include "link/PortProblem.h"

namespace apdesk::cli {

struct DoctorFacts {
  std::string user;
  unsigned uid = 0;

  struct HidNode {
    std::string node;  // /dev/hidraw3
    std::string name;  // as the device calls itself
    bool readWrite = false;
  };
  std::vector<HidNode> devices;  // with id 0483:5750

  std::string rulePath;  // the installed rule for 0483:5750; empty when none
  bool ruleUaccess = false;
  bool ruleModemManagerIgnore = false;

  std::string serialGroup;           // owning group of the serial ports; empty when none found
  bool inSerialGroupNow = false;     // this process has the group
  bool inSerialGroupListed = false;  // /etc/group lists the user (takes effect at the next login)

  std::vector<int> modemManagerPids;

  std::string port;        // the port to check: given, or remembered in the settings
  std::string portSource;  // "given" or "remembered in FILE"
  bool portPresent = false;
  // Only a real serial device has holders worth naming: a pseudo-terminal's
  // other user is the program that serves it, /dev/null's are everyone.
  PortNodeKind portKind = PortNodeKind::SerialDevice;
  struct Holder {
    int pid = 0;
    std::string name;
  };
  std::vector<Holder> portHolders;  // other processes with the port open
  bool someProcessesUnreadable = false;
};

// port: the port given with --connect serial:PORT, else empty; settingsPath:
// the settings file whose "Settings1" COMPORT is the remembered one.
DoctorFacts GatherDoctorFacts(const std::string& root, const std::string& port,
                              const std::string& settingsPath);

struct Finding {
  enum class Level { Ok, Note, Blocks };
  std::string check;  // a short name, for --json
  Level level = Level::Ok;
  std::string text;
  std::string fix;  // for Blocks: the command that fixes it
};

// installRule: the command that installs the udev rule.
std::vector<Finding> Diagnose(const DoctorFacts& facts, const std::string& installRule);
bool AnyBlocks(const std::vector<Finding>& findings);
std::string FormatFindings(const DoctorFacts& facts, const std::vector<Finding>& findings);
std::string FindingsJson(const DoctorFacts& facts, const std::vector<Finding>& findings);

}  // namespace apdesk::cli
