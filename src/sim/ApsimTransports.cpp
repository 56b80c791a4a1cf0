#include "sim/ApsimTransports.h"

#include <fcntl.h>
#include <linux/input.h>
#include <linux/uhid.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/HidBackend.h"
#include "sim/SimController.h"

namespace apdesk::sim {
namespace {

std::int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Waits for the descriptors or until the controller has something due.
// Signals get through only here, so a stop request ends the wait at once.
int Wait(pollfd* fds, nfds_t count, const SimController& c) {
  const std::int64_t due = c.NextDueMs();
  const std::int64_t now = NowMs();
  const std::int64_t ms = due == INT64_MAX ? 1000 : std::clamp<std::int64_t>(due - now, 0, 1000);
  timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  sigset_t none;
  sigemptyset(&none);
  return ::ppoll(fds, count, &ts, &none);
}

// Writes the received image once, when the upgrade has completed.
class ImageOut {
 public:
  explicit ImageOut(std::string path) : m_path(std::move(path)) {}
  void Check(const SimController& c) {
    if (m_done || m_path.empty() || !c.UpgradeComplete()) return;
    m_done = true;
    const std::vector<std::uint8_t> image = c.ReceivedImage();
    const std::string temp = m_path + ".part";
    std::FILE* f = std::fopen(temp.c_str(), "wb");
    bool ok = f != nullptr;
    if (ok && !image.empty()) ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
    if (f != nullptr && std::fclose(f) != 0) ok = false;
    // Renamed into place only when whole, so a reader never sees half an image.
    if (ok && std::rename(temp.c_str(), m_path.c_str()) != 0) ok = false;
    if (!ok) {
      std::fprintf(stderr, "apsim: cannot write the image to %s: %s\n", m_path.c_str(), std::strerror(errno));
      std::remove(temp.c_str());
      return;
    }
    std::fprintf(stderr, "apsim: upgrade complete, %zu bytes written to %s\n", image.size(), m_path.c_str());
  }

 private:
  std::string m_path;
  bool m_done = false;
};

// The controller being served, after the first line of output says where
// (the line a test or a script waits for).
struct Served {
  Served(const ServeOptions& options, bool reports, const std::string& where)
      : controller(WithReports(options.sim, reports), NowMs()), image(options.imageOut) {
    std::printf("%s\n", where.c_str());
    std::fflush(stdout);
  }
  static SimOptions WithReports(SimOptions sim, bool reports) {
    sim.reports = reports;
    return sim;
  }
  SimController controller;
  ImageOut image;
};

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

int ServeSerial(const ServeOptions& options, const volatile std::sig_atomic_t* stop) {
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
    std::fprintf(stderr, "apsim: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return 1;
  }
  termios t{};
  ::tcgetattr(slave, &t);
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, B115200);
  ::cfsetospeed(&t, B115200);
  ::tcsetattr(slave, TCSANOW, &t);
  ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
  ::fcntl(master, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave, F_SETFD, FD_CLOEXEC);
  // Our own slave descriptor stays open, so the master never hangs up while
  // the tool has the port closed; what it misses then is simply lost.
  const char* name = ::ttyname(slave);
  const std::string slavePath = name != nullptr ? name : "";
  if (!options.serialLink.empty()) {
    struct stat st {};
    // Only a link is replaced (the one a previous run left); never a file.
    if (::lstat(options.serialLink.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
      ::unlink(options.serialLink.c_str());
    if (::symlink(slavePath.c_str(), options.serialLink.c_str()) != 0) {
      std::fprintf(stderr, "apsim: cannot make the link %s: %s\n", options.serialLink.c_str(),
                   std::strerror(errno));
      CloseFd(master);
      CloseFd(slave);
      return 1;
    }
  }
  Served served(options, false, slavePath);
  SimController& c = served.controller;
  ImageOut& image = served.image;
  std::uint8_t buf[4096];
  while (!*stop) {
    c.Advance(NowMs());
    std::size_t n;
    while ((n = c.TakeBytes(buf, sizeof(buf))) > 0) {
      if (master >= 0) {
        const ssize_t w = ::write(master, buf, n);
        (void)w;  // a full line drops the rest, as a serial line would
      }
    }
    image.Check(c);
    if (c.Vanished() && master >= 0) {
      CloseFd(master);
      CloseFd(slave);
      std::fprintf(stderr, "apsim: unplugged\n");
    }
    pollfd p{master, POLLIN, 0};
    if (Wait(&p, 1, c) > 0 && (p.revents & POLLIN) != 0) {
      const ssize_t r = ::read(master, buf, sizeof(buf));
      if (r > 0) c.Write(buf, static_cast<std::size_t>(r), NowMs());
    }
  }
  // The link goes with the port, as a device node goes with its device.
  if (!options.serialLink.empty()) {
    char target[256] = {};
    const ssize_t n = ::readlink(options.serialLink.c_str(), target, sizeof(target) - 1);
    if (n > 0 && slavePath == std::string(target, static_cast<std::size_t>(n)))
      ::unlink(options.serialLink.c_str());
  }
  CloseFd(master);
  CloseFd(slave);
  return 0;
}

int ServeHidSock(const ServeOptions& options, const std::string& path,
                 const volatile std::sig_atomic_t* stop) {
  sockaddr_un addr{};
  if (path.empty() || path.size() >= sizeof(addr.sun_path)) {
    std::fprintf(stderr, "apsim: socket path must have 1 to %zu characters\n", sizeof(addr.sun_path) - 1);
    return 2;
  }
  addr.sun_family = AF_UNIX;
  std::memcpy(addr.sun_path, path.data(), path.size());
  int listener = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (listener < 0) {
    std::fprintf(stderr, "apsim: cannot create a socket: %s\n", std::strerror(errno));
    return 1;
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) ::unlink(path.c_str());  // a stale socket
  if (::bind(listener, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0 ||
      ::listen(listener, 8) != 0) {
    std::fprintf(stderr, "apsim: cannot listen on %s: %s\n", path.c_str(), std::strerror(errno));
    CloseFd(listener);
    return 1;
  }
  Served served(options, true, path);
  SimController& c = served.controller;
  ImageOut& image = served.image;
  int client = -1;
  while (!*stop) {
    c.Advance(NowMs());
    std::uint8_t report[kReportSize];
    while (c.TakeReport(report)) {
      if (client < 0) continue;  // nobody listens: the report is lost
      const ssize_t n = ::send(client, report, sizeof(report), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) CloseFd(client);
    }
    image.Check(c);
    if (c.Vanished() && listener >= 0) {
      CloseFd(client);
      CloseFd(listener);
      ::unlink(path.c_str());
      std::fprintf(stderr, "apsim: unplugged\n");
    }
    // One client at a time; the next one waits in the backlog.
    pollfd p[2] = {{client < 0 ? listener : -1, POLLIN, 0}, {client, POLLIN, 0}};
    if (Wait(p, 2, c) <= 0) continue;
    if ((p[0].revents & POLLIN) != 0) {
      client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    }
    if (client >= 0 && (p[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      std::uint8_t packet[kReportSize];
      const ssize_t n = ::recv(client, packet, sizeof(packet), MSG_TRUNC | MSG_DONTWAIT);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
        CloseFd(client);  // the tool closed the device; wait for the next
      } else if (n == static_cast<ssize_t>(kReportSize)) {
        c.Write(packet, kReportSize, NowMs());
      } else if (n > 0) {
        std::fprintf(stderr, "apsim: ignored a packet of %zd bytes\n", n);
      }
    }
  }
  CloseFd(client);
  if (listener >= 0) {
    CloseFd(listener);
    ::unlink(path.c_str());
  }
  return 0;
}

namespace {

// Vendor-defined, 64-byte input and output reports, no report id.
constexpr std::uint8_t kReportDescriptor[] = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor Defined 0xFF00)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x09, 0x02,        //   Usage (2)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x81, 0x02,        //   Input (Data, Var, Abs)
    0x09, 0x03,        //   Usage (3)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x40,        //   Report Count (64)
    0x91, 0x02,        //   Output (Data, Var, Abs)
    0xC0,              // End Collection
};

bool UhidWrite(int fd, const uhid_event& ev) {
  ssize_t n;
  do {
    n = ::write(fd, &ev, sizeof(ev));
  } while (n < 0 && errno == EINTR);
  return n == static_cast<ssize_t>(sizeof(ev));
}

// Makes the kernel's HID device of the controller's ids and descriptor.
bool CreateUhidDevice(int fd) {
  uhid_event ev{};
  ev.type = UHID_CREATE2;
  std::snprintf(reinterpret_cast<char*>(ev.u.create2.name), sizeof(ev.u.create2.name), "apsim AP 0483:5750");
  std::snprintf(reinterpret_cast<char*>(ev.u.create2.phys), sizeof(ev.u.create2.phys), "apsim/input0");
  std::snprintf(reinterpret_cast<char*>(ev.u.create2.uniq), sizeof(ev.u.create2.uniq), "APSIM0001");
  ev.u.create2.rd_size = sizeof(kReportDescriptor);
  std::memcpy(ev.u.create2.rd_data, kReportDescriptor, sizeof(kReportDescriptor));
  ev.u.create2.bus = BUS_USB;
  ev.u.create2.vendor = apdesk::kControllerVendorId;
  ev.u.create2.product = apdesk::kControllerProductId;
  ev.u.create2.version = 0x0200;
  return UhidWrite(fd, ev);
}

// One event from the kernel: hidraw opened or closed, an output report for
// the controller, or a feature request it does not serve.
void AnswerUhidEvent(int fd, const uhid_event& e, SimController& c, bool& opened) {
  switch (e.type) {
    case UHID_OPEN:
      opened = true;
      break;
    case UHID_CLOSE:
      opened = false;
      break;
    case UHID_OUTPUT: {
      const std::uint8_t* d = e.u.output.data;
      std::size_t size = e.u.output.size;
      // hidraw passes report id 0 in front for devices without numbered reports.
      if (size == kReportSize + 1 && d[0] == 0) {
        ++d;
        --size;
      }
      std::uint8_t out[kReportSize] = {};
      std::memcpy(out, d, std::min(size, kReportSize));
      c.Write(out, kReportSize, NowMs());
      break;
    }
    case UHID_GET_REPORT:
    case UHID_SET_REPORT: {
      // The controller has no feature reports: every request is refused.
      uhid_event r{};
      if (e.type == UHID_GET_REPORT) {
        r.type = UHID_GET_REPORT_REPLY;
        r.u.get_report_reply.id = e.u.get_report.id;
        r.u.get_report_reply.err = EIO;
      } else {
        r.type = UHID_SET_REPORT_REPLY;
        r.u.set_report_reply.id = e.u.set_report.id;
        r.u.set_report_reply.err = EIO;
      }
      UhidWrite(fd, r);
      break;
    }
    default:
      break;
  }
}

}  // namespace

int ServeUhid(const ServeOptions& options, const volatile std::sig_atomic_t* stop) {
  int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
  if (fd < 0) {
    std::fprintf(stderr, "apsim: cannot open /dev/uhid: %s\n", std::strerror(errno));
    return 1;
  }
  if (!CreateUhidDevice(fd)) {
    std::fprintf(stderr, "apsim: cannot create the uhid device: %s\n", std::strerror(errno));
    CloseFd(fd);
    return 1;
  }
  Served served(options, true, "uhid 0483:5750");
  SimController& c = served.controller;
  ImageOut& image = served.image;
  bool opened = false;  // input reports reach nobody until hidraw is opened
  bool created = true;
  while (!*stop) {
    c.Advance(NowMs());
    std::uint8_t report[kReportSize];
    while (c.TakeReport(report)) {
      if (!opened || !created) continue;
      uhid_event in{};
      in.type = UHID_INPUT2;
      in.u.input2.size = kReportSize;
      std::memcpy(in.u.input2.data, report, kReportSize);
      UhidWrite(fd, in);
    }
    image.Check(c);
    if (c.Vanished() && created) {
      uhid_event d{};
      d.type = UHID_DESTROY;
      UhidWrite(fd, d);
      created = false;
      std::fprintf(stderr, "apsim: unplugged\n");
    }
    pollfd p{fd, POLLIN, 0};
    if (Wait(&p, 1, c) <= 0 || (p.revents & POLLIN) == 0) continue;
    uhid_event e{};
    if (::read(fd, &e, sizeof(e)) <= 0) continue;
    AnswerUhidEvent(fd, e, c, opened);
  }
  if (created) {
    uhid_event d{};
    d.type = UHID_DESTROY;
    UhidWrite(fd, d);
  }
  CloseFd(fd);
  return 0;
}

}  // namespace apdesk::sim
