// apctl: the tool's operations from the command line (apctl --help).
#include <QCoreApplication>

#include <iostream>

#include "cli/Apctl.h"
#include "cli/CliLink.h"
#include "cli/FdOutput.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  apdesk::cli::InstallInterruptHandler();
  std::vector<std::string> args(argv + 1, argv + argc);
  // Standard output through a buffer that keeps why a write failed.
  apdesk::cli::FdOutput buffer(STDOUT_FILENO);
  std::ostream out(&buffer);
  return apdesk::cli::RunApctl(args, out, std::cerr);
}
