// apctl doctor: the facts read from a made-up system tree, and the judgement
// of each check with the fix of every finding that blocks.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "cli/Doctor.h"

namespace apdesk::cli {
namespace {

namespace fs = std::filesystem;

void Write(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

TEST(Doctor, GathersDeviceRuleModemManagerAndWhoHoldsThePort) {
  char tmpl[] = "/tmp/doctor-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const fs::path root = tmpl;
  Write(root / "sys/class/hidraw/hidraw3/device/uevent",
        "DRIVER=hid-generic\nHID_ID=0003:00000483:00005750\nHID_NAME=STM Flight AP\n");
  Write(root / "sys/class/hidraw/hidraw0/device/uevent", "HID_ID=0003:0000046D:0000C52B\nHID_NAME=Mouse\n");
  Write(root / "dev/hidraw3", "");
  Write(root / "dev/hidraw0", "");
  Write(root / "dev/ttyUSB0", "");
  Write(root / "usr/lib/udev/rules.d/60-other.rules", "SUBSYSTEM==\"usb\", ATTRS{idVendor}==\"1234\"\n");
  Write(root / "etc/udev/rules.d/70-apdesk.rules",
        "SUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"0483\", ATTRS{idProduct}==\"5750\", TAG+=\"uaccess\"\n");
  Write(root / "proc/77/comm", "ModemManager\n");
  Write(root / "proc/4242/comm", "minicom\n");
  fs::create_directories(root / "proc/4242/fd");
  fs::create_symlink(fs::canonical(root / "dev/ttyUSB0"), root / "proc/4242/fd/5");
  fs::create_symlink("/dev/null", root / "proc/4242/fd/0");
  Write(root / "proc/99/comm", "bash\n");
  fs::create_directories(root / "proc/99/fd");

  DoctorFacts f = GatherDoctorFacts(root.string(), "ttyUSB0", "");
  ASSERT_EQ(f.devices.size(), 1u);
  EXPECT_EQ(f.devices[0].node, "/dev/hidraw3");
  EXPECT_EQ(f.devices[0].name, "STM Flight AP");
  EXPECT_EQ(f.rulePath, "/etc/udev/rules.d/70-apdesk.rules");
  EXPECT_TRUE(f.ruleUaccess);
  EXPECT_FALSE(f.ruleModemManagerIgnore);
  EXPECT_FALSE(f.serialGroup.empty());
  EXPECT_EQ(f.modemManagerPids, std::vector<int>{77});
  EXPECT_TRUE(f.portPresent);
  EXPECT_EQ(f.portSource, "given");
  ASSERT_EQ(f.portHolders.size(), 1u);
  EXPECT_EQ(f.portHolders[0].pid, 4242);
  EXPECT_EQ(f.portHolders[0].name, "minicom");

  // Without a given port, the one remembered in the settings file.
  Write(root / "MPCFG.ini", "[Settings1]\r\nCOMPORT=ttyUSB0\r\n");
  f = GatherDoctorFacts(root.string(), "", (root / "MPCFG.ini").string());
  EXPECT_EQ(f.port, "ttyUSB0");
  EXPECT_EQ(f.portSource, "remembered in " + (root / "MPCFG.ini").string());
  EXPECT_EQ(f.portHolders.size(), 1u);
  f = GatherDoctorFacts(root.string(), "", (root / "absent.ini").string());
  EXPECT_TRUE(f.port.empty());
  fs::remove_all(root);
}

// A user at a desk: each check in turn goes wrong, and only that finding
// blocks, with its fix.
TEST(Doctor, EachBlockingFindingNamesItsFix) {
  DoctorFacts good;
  good.user = "ann";
  good.uid = 1000;
  good.devices = {{"/dev/hidraw3", "AP", true}};
  good.rulePath = "/usr/lib/udev/rules.d/70-apdesk.rules";
  good.ruleUaccess = good.ruleModemManagerIgnore = true;
  good.serialGroup = "dialout";
  good.inSerialGroupNow = good.inSerialGroupListed = true;
  good.port = "ttyUSB0";
  good.portSource = "given";
  good.portPresent = true;
  const std::string install = "INSTALL";
  ASSERT_FALSE(AnyBlocks(Diagnose(good, install)));

  struct Case {
    const char* what;
    std::function<void(DoctorFacts&)> change;
    const char* check;
    std::string fix;
  };
  const Case cases[] = {
      {"no access, rule missing",
       [](DoctorFacts& f) {
         f.devices[0].readWrite = false;
         f.rulePath.clear();
       },
       "usb-access", install},
      {"no access, rule there", [](DoctorFacts& f) { f.devices[0].readWrite = false; }, "usb-access",
       "sudo udevadm trigger --action=change /dev/hidraw3"},
      {"no rule", [](DoctorFacts& f) { f.rulePath.clear(); }, "udev-rule", install},
      {"old rule", [](DoctorFacts& f) { f.ruleModemManagerIgnore = false; }, "udev-rule", install},
      {"not in group", [](DoctorFacts& f) { f.inSerialGroupNow = f.inSerialGroupListed = false; },
       "serial-group", "sudo usermod -aG dialout ann"},
      {"added, not yet logged in", [](DoctorFacts& f) { f.inSerialGroupNow = false; }, "serial-group",
       "newgrp dialout"},
      {"ModemManager without the rule",
       [](DoctorFacts& f) {
         f.modemManagerPids = {77};
         f.ruleModemManagerIgnore = false;
       },
       "modemmanager", "sudo systemctl stop ModemManager"},
      {"port held",
       [](DoctorFacts& f) {
         f.portHolders = {{4242, "minicom"}, {4243, "screen"}};
       },
       "serial-port", ""},
      // Joining root's group is never the advice.
      {"ports of root's group",
       [](DoctorFacts& f) {
         f.serialGroup = "root";
         f.inSerialGroupNow = f.inSerialGroupListed = false;
       },
       "serial-group", ""},
      // Not a serial port: said first; whoever else has /dev/null open is no reason.
      {"not a terminal",
       [](DoctorFacts& f) {
         f.port = "/dev/null";
         f.portKind = PortNodeKind::NotTerminal;
         f.portHolders = {{1, "init"}, {99, "bash"}};
       },
       "serial-port", "apctl ports"},
      {"port held by ModemManager",
       [](DoctorFacts& f) {
         f.portHolders = {{77, "ModemManager"}};
       },
       "serial-port", "sudo systemctl stop ModemManager"},
  };
  for (const Case& c : cases) {
    DoctorFacts f = good;
    c.change(f);
    const std::vector<Finding> findings = Diagnose(f, install);
    ASSERT_TRUE(AnyBlocks(findings)) << c.what;
    bool found = false;
    for (const Finding& x : findings) {
      if (x.level != Finding::Level::Blocks || x.check != c.check) continue;
      found = true;
      EXPECT_EQ(x.fix, c.fix) << c.what;
    }
    EXPECT_TRUE(found) << c.what;
    const std::string json = FindingsJson(f, findings);
    EXPECT_NE(json.find("\"blocking\":true"), std::string::npos) << c.what;
    const std::string text = FormatFindings(f, findings);
    if (!c.fix.empty()) {
      EXPECT_NE(text.find("fix: " + c.fix), std::string::npos) << c.what;
    }
    // Holders are named, never to be killed; root's group is never to be joined.
    EXPECT_EQ(text.find("kill"), std::string::npos) << c.what << "\n" << text;
    EXPECT_EQ(text.find("usermod -aG root"), std::string::npos) << c.what << "\n" << text;
    EXPECT_EQ(text.find("(pid 99)"), std::string::npos) << c.what << "\n" << text;
  }

  // A pseudo-terminal (a simulator's) is only noted; its server is no holder to blame.
  DoctorFacts pty = good;
  pty.port = "/dev/pts/4";
  pty.portKind = PortNodeKind::PseudoTerminal;
  pty.portHolders = {{4000, "apsim"}};
  EXPECT_FALSE(AnyBlocks(Diagnose(pty, install)));
  EXPECT_EQ(FormatFindings(pty, Diagnose(pty, install)).find("apsim"), std::string::npos);
  // The installed rule's reach is said: the id is shared by other boards.
  EXPECT_NE(FormatFindings(good, Diagnose(good, install)).find("other boards use that id too"),
            std::string::npos);

  // Not blocking: no device, ModemManager kept away by the rule, root, no port.
  DoctorFacts quiet = good;
  quiet.devices.clear();
  quiet.modemManagerPids = {77};
  quiet.uid = 0;
  quiet.inSerialGroupNow = quiet.inSerialGroupListed = false;
  quiet.port.clear();
  const std::vector<Finding> findings = Diagnose(quiet, install);
  EXPECT_FALSE(AnyBlocks(findings));
  EXPECT_NE(FindingsJson(quiet, findings).find("\"blocking\":false"), std::string::npos);
  EXPECT_NE(FormatFindings(quiet, findings).find("nothing blocks"), std::string::npos);
}

}  // namespace
}  // namespace apdesk::cli
