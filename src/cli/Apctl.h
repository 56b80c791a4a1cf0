#pragma once
// apctl: every operation of the tool from the command line. RunApctl is the
// whole program after QCoreApplication is made, so tests run it in-process.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/HidBackend.h"

namespace apdesk::cli {

struct CliHooks {
  // The simulated controller of --connect sim; `bootloader` asks for the boot
  // loader (upgrade) instead of the flight software. Default: the built-in one.
  std::function<std::unique_ptr<IHidBackend>(bool bootloader)> makeSim;
  // Where `defaults` reads its confirmation; default std::cin.
  std::istream* input = nullptr;
  // Whether input and output are terminals; default: isatty of 0 and 1.
  std::optional<bool> inputIsTerminal;
  std::optional<bool> outputIsTerminal;
  // How long `upgrade` waits for the boot loader and for each step.
  int bootLoaderWaitMs = 10000;
};

// args without the program name. Returns the exit status (cli/ExitStatus.h).
int RunApctl(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
             const CliHooks& hooks = {});

}  // namespace apdesk::cli
