#include "app/HidBackendFactory.h"

#include "link/HidSockBackend.h"
#include "link/HidapiBackend.h"
#include "sim/SimHidBackend.h"
#include "sim/SimOptions.h"

namespace apdesk {
namespace {

class NoDeviceBackend : public IHidBackend {
 public:
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t, std::uint16_t) override { return {}; }
  std::unique_ptr<IHidDevice> OpenPath(const std::string&) override { return nullptr; }
};

// usb:PATH: only the device at that path, whatever else is plugged in.
class OnePathBackend : public IHidBackend {
 public:
  OnePathBackend(std::unique_ptr<IHidBackend> inner, std::string path)
      : m_inner(std::move(inner)), m_path(std::move(path)) {}
  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    for (HidDeviceInfo& d : m_inner->Enumerate(vendorId, productId))
      if (d.path == m_path) found.push_back(std::move(d));
    return found;
  }
  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    return path == m_path ? m_inner->OpenPath(path) : nullptr;
  }

 private:
  std::unique_ptr<IHidBackend> m_inner;
  std::string m_path;
};

}  // namespace

std::unique_ptr<IHidBackend> MakeHidBackend(const ConnectTarget& target, const sim::SimOptions& simOptions,
                                            std::string* error, std::shared_ptr<sim::SimHandle>* simHandle) {
  std::unique_ptr<IHidBackend> backend;
  switch (target.kind) {
    case ConnectTarget::Kind::Usb:
      backend = MakeHidapiBackend();
      break;
    case ConnectTarget::Kind::UsbPath:
      if (auto inner = MakeHidapiBackend())
        backend = std::make_unique<OnePathBackend>(std::move(inner), target.path);
      break;
    case ConnectTarget::Kind::HidSock:
      return MakeHidSockBackend(target.path);
    case ConnectTarget::Kind::Sim:
      return sim::MakeSimHidBackend(simOptions, simHandle);
    case ConnectTarget::Kind::Serial:
      return MakeNoDeviceBackend();
  }
  if (!backend) *error = "the USB HID library (hidapi) could not be started";
  return backend;
}

std::unique_ptr<IHidBackend> MakeNoDeviceBackend() {
  return std::make_unique<NoDeviceBackend>();
}

}  // namespace apdesk
