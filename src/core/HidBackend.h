#pragma once
// The seam between the USB HID link and whatever plays the device: hidapi for
// real hardware, the in-process simulated controller, or a socket peer.
// Plain C++ so the simulator and the command-line tool share it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace apdesk {

// The controller's USB ids.
inline constexpr std::uint16_t kControllerVendorId = 0x0483;
inline constexpr std::uint16_t kControllerProductId = 0x5750;

// Reports carry no report id on the wire; these are the 64 report bytes.
inline constexpr std::size_t kHidReportSize = 64;

struct HidDeviceInfo {
  std::string path;  // what OpenPath takes
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string product;            // for listings only
  std::string serialNumber = {};  // empty when the device gives none
};

// One open device. ReadReport and WriteReport may be called from two
// different threads at once (the link's reader and writer); implementations
// must allow that. Destruction happens only after both have returned.
class IHidDevice {
 public:
  virtual ~IHidDevice() = default;

  // Waits up to timeoutMs for one input report and copies its 64 bytes.
  // Returns 64 for a report, 0 on time-out, -1 when the device failed or
  // vanished (it will not come back; the caller stops reading).
  virtual int ReadReport(std::uint8_t* report, int timeoutMs) = 0;

  // Writes one 64-byte output report. Returns 64 on success, -1 on failure.
  virtual int WriteReport(const std::uint8_t* report) = 0;

  // Called from another thread when the device is being closed: a ReadReport
  // waiting now, or called later, returns 0 at once, so closing never waits
  // for a read's time-out. A device that cannot be woken ignores it.
  virtual void CancelRead() {}
};

class IHidBackend {
 public:
  virtual ~IHidBackend() = default;

  // Present devices with the given ids, in enumeration order.
  virtual std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) = 0;

  // Opens a device for reading and writing; nullptr when that fails.
  virtual std::unique_ptr<IHidDevice> OpenPath(const std::string& path) = 0;
};

}  // namespace apdesk
