#include "cli/CommandContext.h"

#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <ostream>

#include "cli/ExitStatus.h"
#include "cli/FdOutput.h"
#include "core/AppFolder.h"
#include "files/RegularFile.h"
#include "sim/SimHidBackend.h"

namespace apdesk::cli {

int Context::Fail(int status, const std::string& message) {
  err << "apctl: " << message << "\n";
  return status;
}

int Context::NoAnswer(const CliLink& link, bool afterWrite) {
  const std::string sent = afterWrite ? "; the values were sent but are not confirmed" : "";
  if (g_interrupted.load()) return Fail(kExitInterrupted, "interrupted" + sent);
  if (link.Lost()) return Fail(kExitNoDevice, std::string(kGone) + sent);
  return Fail(kExitNoAnswer,
              std::string(afterWrite ? "no answer to the read-back" : "no answer from the controller") +
                  " (asked " + std::to_string(kAnswerTries) + " times in " +
                  std::to_string(kAnswerTries * kAnswerWaitMs / 1000) + " s)" + sent);
}

int Context::Lost() {
  return Fail(kExitNoDevice, kGone);
}

bool Context::Terminal() const {
  return hooks.outputIsTerminal.value_or(isatty(1) != 0);
}

bool OutputWritten(std::ostream& out) {
  errno = 0;
  out.flush();
  if (out) return true;
  if (const auto* fd = dynamic_cast<const FdOutput*>(out.rdbuf()); fd != nullptr && fd->FirstError() != 0)
    errno = fd->FirstError();
  if (errno == 0) errno = EIO;
  return false;
}

bool ReadTextFile(const std::string& path, std::size_t maxBytes, std::string* text, std::string* error) {
  RegularFileOptions options;
  options.maxBytes = maxBytes;
  std::string why;
  if (ReadRegularFile(path, options, text, &why) == FileOpen::Ok) return true;
  *error = "cannot read " + path + ": " + why;
  return false;
}

std::unique_ptr<IHidBackend> MakeSim(const Context& c, bool bootloader) {
  if (c.hooks.makeSim) return c.hooks.makeSim(bootloader);
  sim::SimOptions options;
  options.bootloader = bootloader;
  options.startUtc = static_cast<std::int64_t>(std::time(nullptr));  // the GPS clock is the present
  return sim::MakeSimHidBackend(options);
}

bool OpenLink(Context& c, CliLink& link, bool bootloader, int* status) {
  std::unique_ptr<IHidBackend> sim;
  if (c.options.connect.kind == ConnectSpec::Kind::Sim) sim = MakeSim(c, bootloader);
  std::string error;
  if (!link.Open(c.options.connect, std::move(sim), &error)) {
    *status = c.Fail(kExitNoDevice, error);
    return false;
  }
  return true;
}

bool NoExtraArgs(Context& c, int* status) {
  if (c.args.empty()) return true;
  *status = c.Fail(kExitUsage, "unexpected argument \"" + c.args.front() + "\"");
  return false;
}

bool WaitForTelemetry(CliLink& link) {
  bool seen = false;
  auto previous = link.onStatus;
  link.onStatus = [&seen](const std::uint8_t*) { seen = true; };
  for (int attempt = 0; attempt < kAnswerTries && !seen && !g_interrupted.load(); ++attempt) {
    link.Commands().SendGetParameters();
    link.WaitUntil([&seen] { return seen; }, kAnswerWaitMs);
  }
  link.onStatus = previous;
  return seen;
}

std::string WindowsSettingsPath() {
  char self[4096] = {};
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  return n > 0 ? ResolveSettingsPath(
                     AppFolderFromExecutablePath(std::string(self, static_cast<std::size_t>(n))))
               : std::string();
}

}  // namespace apdesk::cli
