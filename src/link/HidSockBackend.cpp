#include "link/HidSockBackend.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace apdesk {
namespace {

// A write the peer does not take within this time counts as a failure, so the
// link's writer can never hang on a peer that stopped reading.
constexpr int kWriteTimeoutMs = 2000;

int ConnectTo(const std::string& path) {
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof(addr.sun_path)) return -1;
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  int rc;
  do {
    rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr));
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

class HidSockDevice final : public IHidDevice {
 public:
  explicit HidSockDevice(int fd) : m_fd(fd), m_cancelFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~HidSockDevice() override {
    ::close(m_fd);
    if (m_cancelFd >= 0) ::close(m_cancelFd);
  }

  void CancelRead() override {
    if (m_cancelFd < 0) return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_cancelFd, &one, sizeof one);
  }

  int ReadReport(std::uint8_t* report, int timeoutMs) override {
    if (m_failed.load()) return -1;
    pollfd p[2] = {{m_fd, POLLIN, 0}, {m_cancelFd, POLLIN, 0}};
    const int ready = ::poll(p, m_cancelFd >= 0 ? 2 : 1, timeoutMs);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return 0;
    if (ready > 0 && p[1].revents != 0) return 0;  // closing: the link asked us to stop waiting
    if (ready < 0) return Fail();
    std::uint8_t packet[kHidReportSize];
    // MSG_TRUNC makes recv tell the packet's real length, so an oversized
    // packet is caught instead of silently cut.
    const ssize_t n = ::recv(m_fd, packet, sizeof(packet), MSG_TRUNC | MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
    if (n != static_cast<ssize_t>(kHidReportSize)) return Fail();  // closed peer or bad packet
    std::memcpy(report, packet, kHidReportSize);
    return static_cast<int>(kHidReportSize);
  }

  int WriteReport(const std::uint8_t* report) override {
    if (m_failed.load()) return -1;
    pollfd p{m_fd, POLLOUT, 0};
    int ready;
    do {
      ready = ::poll(&p, 1, kWriteTimeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0 || (p.revents & (POLLERR | POLLHUP)) != 0) return Fail();
    ssize_t n;
    do {
      n = ::send(m_fd, report, kHidReportSize, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n != static_cast<ssize_t>(kHidReportSize)) return Fail();
    return static_cast<int>(kHidReportSize);
  }

 private:
  int Fail() {
    m_failed.store(true);
    return -1;
  }

  const int m_fd;
  const int m_cancelFd;  // readable once CancelRead was called
  std::atomic<bool> m_failed{false};
};

class HidSockBackend final : public IHidBackend {
 public:
  explicit HidSockBackend(std::string socketPath) : m_socketPath(std::move(socketPath)) {}

  std::vector<HidDeviceInfo> Enumerate(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    if (vendorId != kHidSockVendorId || productId != kHidSockProductId) return found;
    const int probe = ConnectTo(m_socketPath);
    if (probe < 0) return found;
    ::close(probe);
    found.push_back(
        {kHidSockPrefix + m_socketPath, kHidSockVendorId, kHidSockProductId, "socket peer " + m_socketPath});
    return found;
  }

  std::unique_ptr<IHidDevice> OpenPath(const std::string& path) override {
    const std::string prefix = kHidSockPrefix;
    if (path.compare(0, prefix.size(), prefix) != 0) return nullptr;
    const int fd = ConnectTo(path.substr(prefix.size()));
    if (fd < 0) return nullptr;
    return std::make_unique<HidSockDevice>(fd);
  }

 private:
  const std::string m_socketPath;
};

}  // namespace

std::unique_ptr<IHidBackend> MakeHidSockBackend(const std::string& socketPath) {
  return std::make_unique<HidSockBackend>(socketPath);
}

}  // namespace apdesk
