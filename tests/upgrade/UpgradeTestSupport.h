#pragma once
// Shared by the upgrade window tests and benchmarks: the language texts, the
// upgrade window wired to the receive path as in the main window, report
// helpers and event pumping.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "common/WaitUntil.h"
#include "link/CommUart.h"
#include "link/ControllerLink.h"
#include "link/HidLink.h"
#include "upgrade/CUpgradeDlg.h"

namespace apdesk::upgradetest {

inline const char kDefaultIni[] =
    "[public]\n"
    "LID_PUB_UPGRADE_CAPTION=Upgrade Firmware\n"
    "LID_PUB_UPGRADE_ERASE=Erasing the flash...\n"
    "LID_PUB_UPGRADE_DOWNLOAD=Downloading the firmware...\n"
    "LID_PUB_UPGRADE_VERIFY=Verifying...\n"
    "LID_PUB_UPGRADE_VERIFYERR=Verification failed! Please upgrade again.\n"
    "LID_PUB_UPGRADE_SUCCESS=Upgrade succeeded! Please power the AP off and on.\n"
    "[upgrade]\n"
    "1033=Connect the AP in upgrade mode over USB: this window opens by itself. "
    "Choose the firmware file, then wait until the upgrade has succeeded.\n"
    "1008=Choose...\n"
    "1019=Close\n";

inline const char kChineseIni[] =
    "[public]\n"
    "LID_PUB_UPGRADE_CAPTION=固件升级\n"
    "LID_PUB_UPGRADE_ERASE=正在擦除...\n"
    "LID_PUB_UPGRADE_DOWNLOAD=正在下载固件...\n"
    "LID_PUB_UPGRADE_VERIFY=正在校验...\n"
    "LID_PUB_UPGRADE_VERIFYERR=校验失败！请重新升级。\n"
    "LID_PUB_UPGRADE_SUCCESS=升级成功！请重新上电。\n"
    "LID_PUB_UPGRADE_CLOSE_ENDS=关闭将退出 apdesk。\n"
    "[upgrade]\n"
    "1033=用USB连接处于升级模式的飞控，本窗口会自动打开。选择固件文件，然后等待升级成功。\n"
    "1008=选择...\n"
    "1032=就绪\n"
    "1019=关闭\n";

// The upgrade window on the one receive path, wired as the main window wires
// it: every USB report the link hands out goes to the window.
class MainWindowStandIn {
 public:
  MainWindowStandIn(CHidLink& link, CUpgradeDlg& dlg) : m_link(m_uart, link) {
    QObject::connect(&m_link, &ControllerLink::UsbReport, [this, &dlg](const std::uint8_t* report) {
      ++received;
      dlg.HandleReport(report);
      if (afterReport) afterReport(report);
    });
  }

  std::uint64_t received = 0;
  std::function<void(const std::uint8_t*)> afterReport;

 private:
  CCommUart m_uart;  // unused: the upgrade runs over USB
  ControllerLink m_link;
};

// Runs the event loop until cond holds or timeoutMs passes; tells whether it
// held. It sleeps between events (a 5 ms timer wakes it to look at cond), so
// a waiting test leaves the processor to the link's threads.
inline bool PumpUntil(const std::function<bool()>& cond, int timeoutMs = 10000) {
  return testsupport::WaitUntil(cond, timeoutMs);
}

using testsupport::PumpFor;

inline std::vector<std::uint8_t> RandomImage(std::size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<std::uint8_t> image(size);
  for (auto& b : image) b = static_cast<std::uint8_t>(rng());
  return image;
}

using Report = std::array<std::uint8_t, 64>;

// A device report with its checksum.
inline Report DeviceReport(std::uint8_t code, std::int32_t arg = 0, const std::uint8_t* payload56 = nullptr) {
  Report r{};
  r[0] = code;
  const auto v = static_cast<std::uint32_t>(arg);
  for (int i = 0; i < 4; ++i) r[2 + i] = static_cast<std::uint8_t>(v >> (8 * i));
  if (payload56 != nullptr) {
    for (int i = 0; i < 56; ++i) r[6 + i] = payload56[i];
  }
  unsigned sum = 0;
  for (int i = 0; i < 63; ++i) sum += r[i];
  r[63] = static_cast<std::uint8_t>(sum);
  return r;
}

inline Report Announcement() {
  const std::uint8_t tag[56] = {'$', 'Z', 'E', 'R', 'O'};
  return DeviceReport(0x30, 0, tag);
}

inline std::int32_t ArgOf(const Report& r) {
  return static_cast<std::int32_t>(std::uint32_t{r[2]} | std::uint32_t{r[3]} << 8 |
                                   std::uint32_t{r[4]} << 16 | std::uint32_t{r[5]} << 24);
}

}  // namespace apdesk::upgradetest
