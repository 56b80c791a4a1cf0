#include "cli/Doctor.h"

#include <dirent.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "core/SettingsStore.h"
#include "files/RegularFile.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {

namespace {

std::string ReadSmallFile(const std::string& path) {
  RegularFileOptions options;
  options.maxBytes = 64 * 1024;
  std::string text, why;
  if (ReadRegularFile(path, options, &text, &why) != FileOpen::Ok) return {};
  return text;
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* d = ::opendir(folder.c_str());
  if (d == nullptr) return names;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string Resolved(const std::string& path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) != nullptr ? std::string(buffer) : path;
}

// The device node a port name stands for, as the serial port opens it.
std::string PortNode(const std::string& port) {
  return port.find('/') != std::string::npos ? port : "/dev/" + port;
}

void FindDevices(const std::string& root, DoctorFacts& facts) {
  const std::string sys = root + "/sys/class/hidraw/";
  for (const std::string& entry : Entries(sys)) {
    std::istringstream uevent(ReadSmallFile(sys + entry + "/device/uevent"));
    bool ours = false;
    std::string name;
    for (std::string line; std::getline(uevent, line);) {
      // HID_ID=BUS:VENDOR:PRODUCT, each in hexadecimal, zero-padded.
      if (line.rfind("HID_ID=", 0) == 0) ours = Lower(line).find(":00000483:00005750") != std::string::npos;
      if (line.rfind("HID_NAME=", 0) == 0) name = line.substr(9);
    }
    if (!ours) continue;
    DoctorFacts::HidNode node;
    node.node = "/dev/" + entry;
    node.name = name;
    node.readWrite = ::access((root + node.node).c_str(), R_OK | W_OK) == 0;
    facts.devices.push_back(node);
  }
}

void FindRule(const std::string& root, DoctorFacts& facts) {
  // In udev's order of precedence: a file in /etc overrides the others.
  for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
                             "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
    for (const std::string& name : Entries(root + folder)) {
      if (name.size() < 6 || name.compare(name.size() - 6, 6, ".rules") != 0) continue;
      const std::string text = ReadSmallFile(root + folder + "/" + name);
      if (text.find("0483") == std::string::npos || text.find("5750") == std::string::npos) continue;
      facts.rulePath = std::string(folder) + "/" + name;
      facts.ruleUaccess = text.find("uaccess") != std::string::npos;
      facts.ruleModemManagerIgnore = text.find("ID_MM_DEVICE_IGNORE") != std::string::npos;
      return;
    }
  }
}

void FindSerialGroup(const std::string& root, DoctorFacts& facts) {
  std::vector<std::string> nodes;
  // The port to check first: its group is the one that matters.
  if (facts.portPresent && facts.portKind == PortNodeKind::SerialDevice) {
    const std::string node = PortNode(facts.port);
    if (node.rfind("/dev/", 0) == 0) nodes.push_back(node.substr(5));
  }
  for (const std::string& name : Entries(root + "/dev")) {
    if (name.rfind("ttyUSB", 0) == 0 || name.rfind("ttyACM", 0) == 0) nodes.push_back(name);
  }
  nodes.push_back("ttyS0");
  for (const std::string& name : nodes) {
    struct stat st {};
    if (::stat((root + "/dev/" + name).c_str(), &st) != 0) continue;
    const group* g = ::getgrgid(st.st_gid);
    facts.serialGroup = g != nullptr ? g->gr_name : std::to_string(st.st_gid);
    bool listed = false;
    if (g != nullptr) {
      for (char** member = g->gr_mem; *member != nullptr; ++member) listed = listed || facts.user == *member;
    }
    const passwd* pw = ::getpwuid(facts.uid);
    facts.inSerialGroupListed = listed || (pw != nullptr && pw->pw_gid == st.st_gid);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)) + 1);
    const int n = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    facts.inSerialGroupNow =
        ::getegid() == st.st_gid || std::find(groups.begin(), groups.end(), st.st_gid) != groups.end();
    return;
  }
}

void FindProcesses(const std::string& root, DoctorFacts& facts) {
  const std::string proc = root + "/proc/";
  const std::string self = std::to_string(::getpid());
  const std::string port = facts.portPresent ? Resolved(root + PortNode(facts.port)) : std::string();
  for (const std::string& pid : Entries(proc)) {
    if (!IsNumber(pid)) continue;
    std::string name = ReadSmallFile(proc + pid + "/comm");
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r')) name.pop_back();
    if (name == "ModemManager") facts.modemManagerPids.push_back(std::atoi(pid.c_str()));
    if (port.empty() || pid == self) continue;
    DIR* fds = ::opendir((proc + pid + "/fd").c_str());
    if (fds == nullptr) {
      facts.someProcessesUnreadable = true;
      continue;
    }
    bool holds = false;
    while (const dirent* e = ::readdir(fds)) {
      char target[PATH_MAX];
      const ssize_t n = ::readlink((proc + pid + "/fd/" + e->d_name).c_str(), target, sizeof target - 1);
      if (n > 0 && port == std::string(target, static_cast<std::size_t>(n))) holds = true;
    }
    ::closedir(fds);
    if (holds) facts.portHolders.push_back({std::atoi(pid.c_str()), name});
  }
}

std::string Join(const std::vector<int>& pids) {
  std::string out;
  for (int pid : pids) out += (out.empty() ? "" : ", ") + std::to_string(pid);
  return out;
}

}  // namespace

DoctorFacts GatherDoctorFacts(const std::string& root, const std::string& port,
                              const std::string& settingsPath) {
  DoctorFacts facts;
  facts.uid = ::geteuid();
  const passwd* pw = ::getpwuid(facts.uid);
  facts.user = pw != nullptr ? pw->pw_name : std::to_string(facts.uid);
  FindDevices(root, facts);
  FindRule(root, facts);
  facts.port = port;
  facts.portSource = "given";
  struct stat st {};
  if (port.empty() && !settingsPath.empty() && ::stat(settingsPath.c_str(), &st) == 0) {
    facts.port = SettingsStore(settingsPath).GetSettingString("Settings1", "COMPORT");
    facts.portSource = "remembered in " + settingsPath;
  }
  facts.portPresent = !facts.port.empty() && ::stat((root + PortNode(facts.port)).c_str(), &st) == 0;
  if (facts.portPresent) facts.portKind = ClassifyPortNode(root, S_ISCHR(st.st_mode), st.st_rdev);
  FindSerialGroup(root, facts);
  FindProcesses(root, facts);
  return facts;
}

namespace {

// Each check adds its findings, in the order the report shows them.
void CheckUsb(const DoctorFacts& facts, bool ruleWhole, const std::string& installRule,
              std::vector<Finding>& out) {
  using L = Finding::Level;
  if (facts.devices.empty()) {
    out.push_back({"usb-device", L::Note,
                   "no USB device 0483:5750 is connected (plug the controller in to check its access)", ""});
  }
  for (const DoctorFacts::HidNode& d : facts.devices) {
    out.push_back({"usb-device", L::Ok,
                   "USB device 0483:5750" + (d.name.empty() ? "" : " \"" + d.name + "\"") + " at " + d.node,
                   ""});
    if (d.readWrite) {
      out.push_back({"usb-access", L::Ok, d.node + " is readable and writable for " + facts.user, ""});
    } else {
      out.push_back({"usb-access", L::Blocks, d.node + " is not readable and writable for " + facts.user,
                     ruleWhole ? "sudo udevadm trigger --action=change " + d.node : installRule});
    }
  }
}

void CheckRule(const DoctorFacts& facts, bool ruleWhole, const std::string& installRule,
               std::vector<Finding>& out) {
  using L = Finding::Level;
  if (facts.rulePath.empty()) {
    out.push_back(
        {"udev-rule", L::Blocks,
         "no udev rule for 0483:5750 is installed (it gives the logged-in user the device and keeps "
         "ModemManager away)",
         installRule});
  } else if (!ruleWhole) {
    out.push_back({"udev-rule", L::Blocks,
                   facts.rulePath + " is an older rule: it lacks " +
                       (facts.ruleUaccess ? "ID_MM_DEVICE_IGNORE" : "uaccess"),
                   installRule});
  } else {
    out.push_back({"udev-rule", L::Ok, "udev rule installed: " + facts.rulePath, ""});
  }

  if (ruleWhole) {
    out.push_back(
        {"udev-rule-scope", L::Note,
         "the rule gives the logged-in user every USB device with the id 0483:5750, and other boards "
         "use that id too",
         ""});
  }
}

void CheckSerialGroup(const DoctorFacts& facts, std::vector<Finding>& out) {
  using L = Finding::Level;
  if (facts.serialGroup.empty()) {
    out.push_back(
        {"serial-group", L::Note, "no serial port found (/dev/ttyUSB*, /dev/ttyACM*, /dev/ttyS0)", ""});
  } else if (facts.uid == 0) {
    out.push_back({"serial-group", L::Ok, "root opens every serial port", ""});
  } else if (facts.serialGroup == "root" || facts.serialGroup == "0") {
    // Joining root's group would hand the user far more than a port.
    out.push_back(
        {"serial-group", L::Blocks,
         "the serial ports belong to root's group, which no user should join: the port's owner must "
         "change (a udev rule that gives it the group dialout, or the logged-in user)",
         ""});
  } else if (facts.inSerialGroupNow) {
    out.push_back({"serial-group", L::Ok,
                   facts.user + " is in " + facts.serialGroup + ", the serial ports' group", ""});
  } else if (facts.inSerialGroupListed) {
    out.push_back({"serial-group", L::Blocks,
                   facts.user + " was added to " + facts.serialGroup +
                       " but this login does not have it yet (or log out and in again)",
                   "newgrp " + facts.serialGroup});
  } else {
    out.push_back({"serial-group", L::Blocks,
                   facts.user + " is not in " + facts.serialGroup +
                       ", the group of the serial ports (then log out and in again)",
                   "sudo usermod -aG " + facts.serialGroup + " " + facts.user});
  }
}

void CheckModemManager(const DoctorFacts& facts, bool ruleWhole, std::vector<Finding>& out) {
  using L = Finding::Level;
  if (facts.modemManagerPids.empty()) {
    out.push_back({"modemmanager", L::Ok, "ModemManager is not running", ""});
  } else if (ruleWhole) {
    out.push_back({"modemmanager", L::Note,
                   "ModemManager is running (pid " + Join(facts.modemManagerPids) +
                       "); the udev rule keeps it away from the controller, not from other serial adapters",
                   ""});
  } else {
    out.push_back({"modemmanager", L::Blocks,
                   "ModemManager is running (pid " + Join(facts.modemManagerPids) +
                       ") and may probe and hold the controller's port",
                   "sudo systemctl stop ModemManager"});
  }
}

void CheckPort(const DoctorFacts& facts, std::vector<Finding>& out) {
  using L = Finding::Level;
  if (facts.port.empty()) {
    out.push_back({"serial-port", L::Note, "no serial port given (--connect serial:PORT) or remembered", ""});
  } else if (!facts.portPresent) {
    out.push_back({"serial-port", L::Note, facts.port + " (" + facts.portSource + ") is not present", ""});
  } else if (facts.portKind == PortNodeKind::NotDevice || facts.portKind == PortNodeKind::NotTerminal) {
    out.push_back({"serial-port", L::Blocks,
                   facts.port + " (" + facts.portSource + ") is not a serial port (" +
                       (facts.portKind == PortNodeKind::NotDevice ? "no device" : "no terminal device") + ")",
                   "apctl ports"});
  } else if (facts.portKind == PortNodeKind::PseudoTerminal) {
    out.push_back(
        {"serial-port", L::Note,
         facts.port + " (" + facts.portSource +
             ") is a pseudo-terminal: a program (a simulator, for one) serves it, so it has no serial "
             "device behind it to check",
         ""});
  } else if (facts.portKind == PortNodeKind::OtherTerminal) {
    out.push_back({"serial-port", L::Note,
                   facts.port + " (" + facts.portSource + ") is a terminal without a serial device behind it",
                   ""});
  } else if (!facts.portHolders.empty()) {
    // Named, never to be killed: the operator knows which of them to close.
    std::string who;
    bool modemManager = false;
    for (const DoctorFacts::Holder& h : facts.portHolders) {
      who += (who.empty() ? "" : ", ") + h.name + " (pid " + std::to_string(h.pid) + ")";
      modemManager = modemManager || h.name == "ModemManager";
    }
    out.push_back({"serial-port", L::Blocks,
                   facts.port + " (" + facts.portSource + ") is open in another program: " + who +
                       "; close it there first",
                   modemManager ? "sudo systemctl stop ModemManager" : ""});
  } else {
    out.push_back({"serial-port", L::Ok,
                   facts.port + " (" + facts.portSource + ") is held by no other process" +
                       (facts.someProcessesUnreadable ? " this user may look at" : ""),
                   ""});
  }
}

}  // namespace

std::vector<Finding> Diagnose(const DoctorFacts& facts, const std::string& installRule) {
  std::vector<Finding> out;
  const bool ruleWhole = !facts.rulePath.empty() && facts.ruleUaccess && facts.ruleModemManagerIgnore;
  CheckUsb(facts, ruleWhole, installRule, out);
  CheckRule(facts, ruleWhole, installRule, out);
  CheckSerialGroup(facts, out);
  CheckModemManager(facts, ruleWhole, out);
  CheckPort(facts, out);
  return out;
}

bool AnyBlocks(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.level == Finding::Level::Blocks; });
}

std::string FormatFindings(const DoctorFacts& facts, const std::vector<Finding>& findings) {
  std::string out = "apctl doctor: user " + facts.user + " (uid " + std::to_string(facts.uid) + ")\n";
  int blocking = 0;
  for (const Finding& f : findings) {
    const char* level = f.level == Finding::Level::Ok     ? "ok    "
                        : f.level == Finding::Level::Note ? "note  "
                                                          : "BLOCKS";
    out += std::string("  ") + level + "  " + f.text + "\n";
    if (!f.fix.empty()) out += "          fix: " + f.fix + "\n";
    blocking += f.level == Finding::Level::Blocks;
  }
  out += blocking == 0 ? "nothing blocks\n"
                       : std::to_string(blocking) + (blocking == 1 ? " finding blocks" : " findings block") +
                             "; the fix commands above mend them\n";
  return out;
}

std::string FindingsJson(const DoctorFacts& facts, const std::vector<Finding>& findings) {
  std::string out = "{\"user\":" + JsonString(facts.user) + ",\"uid\":" + std::to_string(facts.uid) +
                    ",\"blocking\":" + (AnyBlocks(findings) ? "true" : "false") + ",\"findings\":[";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    const char* level = f.level == Finding::Level::Ok     ? "ok"
                        : f.level == Finding::Level::Note ? "note"
                                                          : "blocks";
    out += std::string(i == 0 ? "" : ",") + "{\"check\":" + JsonString(f.check) + ",\"level\":\"" + level +
           "\",\"text\":" + JsonString(f.text) + ",\"fix\":" + JsonString(f.fix) + "}";
  }
  return out + "]}";
}

}  // namespace apdesk::cli
