#include "link/PortProblem.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace apdesk::cli {
namespace {

TEST(SerialPortProblem, SaysWhyAPortCannotBeOpened) {
  int master = -1, slave = -1;
  char name[128] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  close(slave);  // only the other process holds the port
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const int fd = open(name, O_RDWR | O_NOCTTY);
    char c = fd >= 0 ? 'y' : 'n';
    if (write(ready[1], &c, 1) != 1 || read(release[0], &c, 1) != 1) _exit(2);
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  const std::pair<std::string, std::string> cases[] = {
      {"ttyNoSuchPort9", "no such port (/dev/ttyNoSuchPort9 does not exist)"},
      {"/etc/hostname", "it is not a serial port (/etc/hostname is no device)"},
      // /dev/null and a pseudo-terminal are not serial devices: no holder is
      // named for them (a pty's holder is the program serving it).
      {"/dev/null", "it is not a serial port (/dev/null is no terminal device)"},
      {name, ""},
  };
  for (const auto& [port, says] : cases) {
    const std::string problem = SerialPortProblem(port);
    EXPECT_EQ(says.empty() ? problem : problem.substr(0, says.size()), says) << port;
  }
  ASSERT_EQ(write(release[1], "g", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(SerialPortProblem(name), "") << "nobody holds it any more";
  struct stat st {};
  ASSERT_EQ(stat(name, &st), 0);
  EXPECT_EQ(ClassifyPortNode("", S_ISCHR(st.st_mode), st.st_rdev), PortNodeKind::PseudoTerminal);
  for (int fd : {master, ready[0], ready[1], release[0], release[1]}) close(fd);
}

}  // namespace
}  // namespace apdesk::cli
