// apctl: the tool's operations from the command line (apctl --help).
#include <QCoreApplication>

#include <iostream>

#include "cli/Apctl.h"
#include "cli/CliLink.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  apdesk::cli::InstallInterruptHandler();
  std::vector<std::string> args(argv + 1, argv + argc);
  return apdesk::cli::RunApctl(args, std::cout, std::cerr);
}
