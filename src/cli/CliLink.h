#pragma once
// apctl's side of the link: one session with the controller (as in the
// windows), its signals turned into the command's callbacks, and waiting
// with a time limit while Qt's loop runs.

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/CliArgs.h"
#include "link/ControllerSession.h"
#include "protocol/ParameterCodec.h"

namespace apdesk::cli {

// Set by the Ctrl+C handler; every wait ends early when it is set.
extern std::atomic<bool> g_interrupted;
void InstallInterruptHandler();

class CliLink {
 public:
  // simBackend is used for --connect sim (and replaced by tests).
  CliLink();
  ~CliLink();

  // Opens the connection; false with a message for the user.
  bool Open(const ConnectSpec& target, std::unique_ptr<IHidBackend> simBackend, std::string* error);
  void Close();

  CCommandLink& Commands() { return m_session.Commands(); }
  CHidLink& Hid() { return m_session.Usb(); }
  bool IsSerial() const { return m_session.IsSerial(); }
  // The device went away after it was opened (unplugged, its port or socket
  // closed): nothing more will come from it. Never while following.
  bool Lost() const { return !Follower() && (m_serialFailed || m_session.Usb().ReadFailed()); }
  // What the parser has taken out and thrown away so far (apctl inspect).
  const ParserCounters& Counters() const { return m_session.Link().Counters(); }

  // From now on a device that goes away is looked for and reopened
  // (link/LinkFollower.h); onChange(true) when it went, onChange(false) when
  // it is back, after the parameters were asked for again.
  void Follow(std::function<void(bool lost)> onChange);
  // Following and the device is away.
  bool Away() const { return Follower() && Follower()->Looking(); }
  const LinkFollower* Follower() const { return m_session.Follower(); }

  // Runs the event loop until done() holds, the time is up, Ctrl+C or the
  // device is lost; says whether done() held.
  bool WaitUntil(const std::function<bool()>& done, int timeoutMs);
  void Sleep(int ms) {
    WaitUntil([] { return false; }, ms);
  }
  // Lets what was just sent leave before the link closes, even after Ctrl+C
  // (the frame that ends a mode must reach the controller).
  void LetSendsLeave(int ms);

  // Receivers of what the parser takes out (each may be empty).
  std::function<void(const std::uint8_t*)> onStatus;
  std::function<void(const ParameterView&)> onParameters;
  std::function<void(const std::uint8_t*)> onInstallError;
  // Every raw 64-byte HID report, before it is parsed (the upgrade exchange).
  std::function<void(const std::uint8_t*)> onHidReport;

  // Asks for the parameters and waits for a sentence with a right sum, up to
  // three times in about three seconds.
  std::optional<ParameterView> ReadParameters();

  ControllerLink& Link() { return m_session.Link(); }
  ControllerSession& Session() { return m_session; }

 private:
  ControllerSession m_session;
  bool Wait(const std::function<bool()>& done, int timeoutMs, bool stopOnInterrupt);

  std::string m_hidFailure;
  bool m_serialFailed = false;
};

// One attempt to read takes this long; three are made.
inline constexpr int kAnswerWaitMs = 1000;
inline constexpr int kAnswerTries = 3;

}  // namespace apdesk::cli
