// NMEA on a pseudo-terminal: a reader that comes late gets the newest lines
// whole, and the writer never waits for it.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "nmea/NmeaSentences.h"
#include "nmea/PtyOutputLinux.h"

namespace apdesk::nmea {
namespace {

std::string Line(int n) {
  return Framed("GPTXT,01,01,02," + std::to_string(n));
}

TEST(PtyOutput, ALateReaderGetsTheNewestLinesAndNeverBlocksTheWriter) {
  PtyOutput pty;
  std::string error;
  ASSERT_TRUE(pty.Open(&error)) << error;
  ASSERT_EQ(pty.Path().rfind("/dev/pts/", 0), 0u) << pty.Path();
  // Far more than a terminal buffers, with nobody reading: returns every time.
  const int total = 5000;
  for (int n = 0; n < total; ++n) pty.Send(Line(n));
  EXPECT_GT(pty.Flushes(), 0u);

  const int fd = ::open(pty.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::write(fd, "$PSRF100,0,4800,8,1,0*0F\r\n", 26), 26);  // a probe, dropped
  pty.Send(Line(total));
  std::string got;
  char buffer[4096];
  pollfd p{fd, POLLIN, 0};
  // The terminal hands bytes on from a kernel worker: under load they come late.
  while (got.find(Line(total)) == std::string::npos && ::poll(&p, 1, 3000) > 0) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  ASSERT_GE(got.size(), Line(total).size());
  EXPECT_EQ(got.substr(got.size() - Line(total).size()), Line(total)) << "the newest line comes last, whole";
  EXPECT_EQ(got.find(Line(0)), std::string::npos) << "the oldest lines went";
  // What the terminal still held: its buffers (a few KiB, more on some
  // kernels), never the hundreds of KiB written.
  EXPECT_LT(got.size(), 64u * 1024u);
}

}  // namespace
}  // namespace apdesk::nmea
