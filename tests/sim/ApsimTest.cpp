#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <termios.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>

#include "StreamDecoder.h"
#include "UpgradeToolScript.h"
#include "common/ChildProcess.h"
#include "link/HidSockBackend.h"

using namespace simtest;
using namespace testsupport;

namespace {

const std::string kApsim = APSIM_PATH;

using Clock = std::chrono::steady_clock;

// Everything readable from fd for ms milliseconds.
std::vector<std::uint8_t> ReadFor(int fd, int ms) {
  std::vector<std::uint8_t> bytes;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buf[512];
    const ssize_t n = ::read(fd, buf, sizeof(buf));
    if (n <= 0) break;
    bytes.insert(bytes.end(), buf, buf + n);
  }
  return bytes;
}

std::size_t GoodCount(const Decoded& d, const char* tag) {
  std::size_t n = 0;
  for (const Sentence& s : d.sentences) n += s.tag == tag && SumOk(s.bytes);
  return n;
}

struct TempDir {
  TempDir() {
    char t[] = "/tmp/apsimXXXXXX";
    path = ::mkdtemp(t) != nullptr ? t : "";
  }
  ~TempDir() {
    if (!path.empty()) std::system(("rm -rf " + path).c_str());
  }
  std::string path;
};

int Connect(const std::string& path) {
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::snprintf(addr.sun_path, sizeof(addr.sun_path), "%s", path.c_str());
  const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
  if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Packets for ms milliseconds; every one must be one whole report.
std::vector<std::uint8_t> ReceiveReports(int fd, int ms, std::size_t* wrongSized) {
  std::vector<std::uint8_t> bytes;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 20) <= 0) continue;
    std::uint8_t buf[64];
    const ssize_t n = ::recv(fd, buf, sizeof(buf), MSG_TRUNC);
    if (n <= 0) break;
    if (n != 64) ++*wrongSized;
    bytes.insert(bytes.end(), buf, buf + std::min<ssize_t>(n, 64));
  }
  return bytes;
}

}  // namespace

TEST(Apsim, OptionsAreChecked) {
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"--help"}, 0},
      {{}, 2},
      {{"--serial", "--rate", "0"}, 2},
      {{"--serial", "--rate", "ten"}, 2},
      {{"--serial", "--drop", "1.5"}, 2},
      {{"--serial", "--uhid"}, 2},
      {{"--hidsock"}, 2},
      {{"--serial", "--seed", "-1"}, 2},
      {{"--serial", "--frobnicate"}, 2},
      // A file that cannot be read is a failure, not a bad command line.
      {{"--serial", "--replay", "/nonexistent/f.hj"}, 1},
      {{"--serial", "--replay", "/tmp"}, 1},
      {{"--version"}, 0},
      {{"--serial", "--start", "2024-13-01T00:00:00Z"}, 2},
      {{"--serial", "--start", "1999-12-31T23:59:59Z"}, 2},
      {{"--serial", "--start", "2024-04-31T08:00:00Z"}, 2},
      {{"--serial", "--start", "yesterday"}, 2},
      {{"--serial", "--replay"}, 2},
      {{"--serial", "--replay", "/dev/null", "--speed", "20"}, 2},
      {{"--serial", "--speed", "0.05"}, 2},
      {{"--serial", "--speed", "2"}, 2},  // a speed without a replay is refused, not ignored
      {{"--serial", "--replay", "/dev/null"}, 1},
  };
  for (const Case& k : cases) {
    std::vector<std::string> argv{kApsim};
    argv.insert(argv.end(), k.args.begin(), k.args.end());
    ChildProcess p(argv);
    ASSERT_TRUE(p.Started());
    EXPECT_EQ(p.Wait(5000), k.status) << (k.args.empty() ? "" : k.args.back());
  }
}

TEST(Apsim, SerialServesTelemetryAndAnswersOnThePrintedPath) {
  ChildProcess sim({kApsim, "--serial", "--rate", "20"});
  ASSERT_TRUE(sim.Started());
  const std::string path = sim.ReadLine(5000);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  ::tcflush(fd, TCIFLUSH);

  std::vector<std::uint8_t> bytes = ReadFor(fd, 1500);
  const auto get = Command(0x68);  // a serial line carries the bare 30 bytes
  ASSERT_EQ(::write(fd, get.data(), get.size()), 30);
  const auto more = ReadFor(fd, 700);
  bytes.insert(bytes.end(), more.begin(), more.end());
  ::close(fd);

  const Decoded d = Decode(bytes);
  EXPECT_GE(GoodCount(d, "$STP"), 25u);
  EXPECT_EQ(GoodCount(d, "$PAR"), 1u);
  EXPECT_EQ(sim.Stop(), 0);
}

// The GPS clock starts at the present, so the record a session writes is
// named and timed alike; --start fixes it for tests.
TEST(Apsim, GpsClockStartsNowOrAtStart) {
  struct Case {
    std::vector<std::string> extra;
    std::time_t expected;  // 0: the present
  } cases[] = {
      {{}, 0}, {{"--start", "2024-05-01T08:00:00Z"}, 1714550400}, {{"--start", "1714550400"}, 1714550400}};
  for (const Case& c : cases) {
    std::vector<std::string> argv{kApsim, "--serial", "--rate", "20", "--no-garbage"};
    argv.insert(argv.end(), c.extra.begin(), c.extra.end());
    const std::time_t before = c.expected != 0 ? c.expected : std::time(nullptr);
    ChildProcess sim(argv);
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.ReadLine(5000);
    ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
    const Decoded d = Decode(ReadFor(fd, 700));
    ::close(fd);
    EXPECT_EQ(sim.Stop(), 0);
    const auto status = std::find_if(d.sentences.begin(), d.sentences.end(),
                                     [](const Sentence& s) { return s.tag == "$STP"; });
    ASSERT_NE(status, d.sentences.end());
    const std::vector<std::uint8_t>& b = status->bytes;
    std::tm utc{};
    utc.tm_year = b[25] + 100;
    utc.tm_mon = b[26] - 1;
    utc.tm_mday = b[27];
    utc.tm_hour = b[28];
    utc.tm_min = b[29];
    utc.tm_sec = b[30];
    const std::time_t sent = ::timegm(&utc);
    EXPECT_GE(sent, before) << (c.extra.empty() ? "now" : c.extra.back());
    EXPECT_LE(sent, before + 10) << (c.extra.empty() ? "now" : c.extra.back());
  }
}

// A record file played back: what comes out is the file's records, in order,
// with none left out, among the other sentences of the flight software.
TEST(Apsim, SerialReplaysARecordFileInOrder) {
  char name[] = "/tmp/apsim-replay-XXXXXX";
  const int file = ::mkstemp(name);
  ASSERT_GE(file, 0);
  std::vector<std::vector<std::uint8_t>> records;
  for (int i = 0; i < 200; ++i) {  // ten a second, numbered in the altitude field
    std::vector<std::uint8_t> r(99, 0);
    std::memcpy(r.data(), "$STP", 4);
    r[25] = 24, r[26] = 5, r[27] = 1, r[28] = 8, r[29] = static_cast<std::uint8_t>(i / 600);
    r[30] = static_cast<std::uint8_t>(i / 10 % 60);
    r[48] = static_cast<std::uint8_t>(i), r[49] = static_cast<std::uint8_t>(i >> 8);
    unsigned sum = 0;
    for (int k = 0; k < 98; ++k) sum += r[static_cast<std::size_t>(k)];
    r[98] = static_cast<std::uint8_t>(sum);
    ASSERT_EQ(::write(file, r.data(), r.size()), 99);
    records.push_back(r);
  }
  ::close(file);
  ChildProcess sim({kApsim, "--serial", "--replay", name, "--speed", "2", "--no-garbage"});
  ASSERT_TRUE(sim.Started());
  const std::string path = sim.ReadLine(5000);
  ASSERT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  termios t{};
  ::tcgetattr(fd, &t);
  ::cfmakeraw(&t);
  ::tcsetattr(fd, TCSANOW, &t);
  const Decoded d = Decode(ReadFor(fd, 1500));
  ::close(fd);
  std::vector<std::vector<std::uint8_t>> got;
  for (const Sentence& s : d.sentences)
    if (s.tag == "$STP") got.push_back(s.bytes);
  ASSERT_GE(got.size(), 10u);
  // Some may have gone before the port was opened; from the first one seen, every one follows in order.
  const auto first = std::find(records.begin(), records.end(), got.front());
  ASSERT_NE(first, records.end());
  for (std::size_t i = 0; i < got.size(); ++i) {
    ASSERT_LT(static_cast<std::size_t>(first - records.begin()) + i, records.size());
    EXPECT_EQ(got[i], *(first + static_cast<std::ptrdiff_t>(i))) << "sentence " << i;
  }
  EXPECT_LT(got.size(), 100u) << "played at its pace, not all at once";
  EXPECT_EQ(sim.Stop(), 0);
  ::unlink(name);
}

TEST(Apsim, HidSockServesOneClientAfterAnother) {
  TempDir dir;
  const std::string path = dir.path + "/ap.sock";
  ChildProcess sim({kApsim, "--hidsock", path});
  ASSERT_TRUE(sim.Started());
  ASSERT_EQ(sim.ReadLine(5000), path);

  // A listing probes with a connection it closes at once.
  const int probe = Connect(path);
  ASSERT_GE(probe, 0);
  ::close(probe);

  for (int round = 0; round < 2; ++round) {
    SCOPED_TRACE(round);
    const int fd = Connect(path);
    ASSERT_GE(fd, 0);
    const auto get = Padded(Command(0x68));
    ASSERT_EQ(::send(fd, get.data(), 64, MSG_NOSIGNAL), 64);
    std::size_t wrongSized = 0;
    const auto bytes = ReceiveReports(fd, 1200, &wrongSized);
    ::close(fd);
    EXPECT_EQ(wrongSized, 0u);
    const Decoded d = Decode(bytes);
    EXPECT_GE(GoodCount(d, "$STP"), 8u);
    EXPECT_EQ(GoodCount(d, "$PAR"), 1u);
  }
  EXPECT_EQ(sim.Stop(), 0);
  EXPECT_NE(::access(path.c_str(), F_OK), 0);  // the socket is removed on exit
}

TEST(Apsim, HidSockBootLoaderUpgradeWritesTheImage) {
  TempDir dir;
  const std::string path = dir.path + "/boot.sock";
  const std::string out = dir.path + "/received.bin";
  ChildProcess sim({kApsim, "--hidsock", path, "--bootloader", "--image-out", out, "--drop", "0.02"});
  ASSERT_TRUE(sim.Started());
  ASSERT_EQ(sim.ReadLine(5000), path);
  const int fd = Connect(path);
  ASSERT_GE(fd, 0);

  ScriptedTool tool(TestImage(3000, 9));
  const auto end = Clock::now() + std::chrono::seconds(20);
  const auto loadAt = Clock::now() + std::chrono::milliseconds(200);
  tool.state = 0;
  while (Clock::now() < end && !(tool.success && tool.finishAcked) && !tool.verifyError) {
    if (tool.state == 0 && !tool.success && Clock::now() >= loadAt) tool.state = 1;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) {
      // 2 % of the boot loader's reports are dropped, its answer to the
      // finish among them at times: the finish goes again after a quiet spell.
      for (const Report64& again : tool.FinishAgain()) ::send(fd, again.data(), 64, MSG_NOSIGNAL);
      continue;
    }
    std::uint8_t r[64];
    if (::recv(fd, r, sizeof(r), 0) != 64) break;
    for (const Report64& reply : tool.Handle(r)) ::send(fd, reply.data(), 64, MSG_NOSIGNAL);
  }
  EXPECT_TRUE(tool.success);
  EXPECT_TRUE(tool.finishAcked);
  EXPECT_GT(tool.announcements, 50);

  std::vector<std::uint8_t> written;
  for (int i = 0; i < 100 && written.empty(); ++i) {
    std::ifstream f(out, std::ios::binary);
    written.assign(std::istreambuf_iterator<char>(f), {});
    if (written.empty()) ::usleep(30000);
  }
  EXPECT_EQ(written, std::vector<std::uint8_t>(tool.image.begin(), tool.image.begin() + 3000));
  ::close(fd);
  EXPECT_EQ(sim.Stop(), 0);
}

TEST(Apsim, LinkSocketBackEndListsOpensAndTalks) {
  TempDir dir;
  const std::string path = dir.path + "/link.sock";
  ChildProcess sim({kApsim, "--hidsock", path, "--rate", "20"});
  ASSERT_TRUE(sim.Started());
  ASSERT_EQ(sim.ReadLine(5000), path);
  auto backend = apdesk::MakeHidSockBackend(path);
  ASSERT_NE(backend, nullptr);
  const auto list = backend->Enumerate(0x0483, 0x5750);  // probes with a connection of its own
  ASSERT_EQ(list.size(), 1u);
  auto device = backend->OpenPath(list[0].path);
  ASSERT_NE(device, nullptr);
  ASSERT_EQ(device->WriteReport(Padded(Command(0x68)).data()), 64);
  std::vector<std::uint8_t> bytes;
  const auto end = Clock::now() + std::chrono::milliseconds(1500);
  while (Clock::now() < end) {
    std::uint8_t r[64];
    const int n = device->ReadReport(r, 50);
    ASSERT_GE(n, 0);
    if (n == 64) bytes.insert(bytes.end(), r, r + 64);
  }
  const Decoded d = Decode(bytes);
  EXPECT_GE(GoodCount(d, "$STP"), 15u);
  EXPECT_EQ(GoodCount(d, "$PAR"), 1u);
  device.reset();
  EXPECT_EQ(sim.Stop(), 0);
}
