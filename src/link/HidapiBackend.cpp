#include "link/HidapiBackend.h"

#include <hidapi.h>

#include <cstring>
#include <cwchar>

namespace apdesk {
namespace {

// hid_init and hid_exit once per process: the first back end initialises,
// the end of the process shuts hidapi down.
struct HidapiLibrary {
  HidapiLibrary() : ok(hid_init() == 0) {}
  ~HidapiLibrary() {
    if (ok) hid_exit();
  }
  const bool ok;
};

bool HidapiReady() {
  static HidapiLibrary library;
  return library.ok;
}

std::string ToUtf8(const wchar_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (; *text != L'\0'; ++text) {
    const auto c = static_cast<std::uint32_t>(*text);
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// hidraw lets one thread read while another writes on the same device, which
// is all the link does concurrently.
class HidapiDevice final : public IHidDevice {
 public:
  explicit HidapiDevice(hid_device* device) : m_device(device) {}
  ~HidapiDevice() override { hid_close(m_device); }

  int ReadReport(std::uint8_t* report, int timeoutMs) override {
    std::uint8_t buffer[kHidReportSize + 1];
    const int n = hid_read_timeout(m_device, buffer, kHidReportSize, timeoutMs);
    if (n < 0) return -1;
    if (n == 0) return 0;
    // A device with shorter reports gets its report padded with zeros.
    std::memset(report, 0, kHidReportSize);
    std::memcpy(report, buffer, static_cast<std::size_t>(n));
    return static_cast<int>(kHidReportSize);
  }

  int WriteReport(const std::uint8_t* report) override {
    std::uint8_t buffer[kHidReportSize + 1];
    buffer[0] = 0;  // unnumbered reports
    std::memcpy(buffer + 1, report, kHidReportSize);
    return hid_write(m_device, buffer, sizeof(buffer)) < 0 ? -1 : static_cast<int>(kHidReportSize);
  }

 private:
  hid_device* const m_device;
};

class HidapiBackend final : public IHidBackend {
 public:
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    hid_device_info* list = hid_enumerate(vendorId, productId);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
      // hid_enumerate treats 0 as "any"; the link asks for exact ids.
      if (d->vendor_id != vendorId || d->product_id != productId || d->path == nullptr) continue;
      found.push_back(
          {d->path, d->vendor_id, d->product_id, ToUtf8(d->product_string), ToUtf8(d->serial_number)});
    }
    hid_free_enumeration(list);
    return found;
  }

  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    hid_device* device = hid_open_path(path.c_str());
    if (device == nullptr) return nullptr;
    return std::make_unique<HidapiDevice>(device);
  }
};

}  // namespace

std::unique_ptr<IHidBackend> MakeHidapiBackend() {
  if (!HidapiReady()) return nullptr;
  return std::make_unique<HidapiBackend>();
}

}  // namespace apdesk
