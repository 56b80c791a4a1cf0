#include "FaultCampaign.h"

#include <algorithm>
#include <random>
#include <vector>

#include "sim/SimController.h"
#include "upgrade/UpgradeExchange.h"

namespace apdesk::campaign {
namespace {

constexpr std::int64_t kTickMs = 100;

std::vector<std::uint8_t> Image(const RunPlan& plan) {
  std::mt19937 rng(plan.imageSeed);
  std::vector<std::uint8_t> image(static_cast<std::size_t>(plan.imageSize));
  for (auto& b : image) b = static_cast<std::uint8_t>(rng());
  return image;
}

// Counts the reports in one direction and applies a report fault to the one
// at the chosen index: what to deliver, zero to two copies.
class Wire {
 public:
  Wire(Fault fault, std::uint64_t at) : m_fault(fault), m_at(at) {}
  int Pass(std::uint8_t* report) {
    if (m_count++ != m_at) return 1;
    switch (m_fault) {
      case Fault::Drop:
        return 0;
      case Fault::Corrupt:
        report[7 + m_at % 50] ^= 0x5A;
        return 1;
      case Fault::Duplicate:
        return 2;
      default:
        return 1;
    }
  }
  std::uint64_t Count() const { return m_count; }

 private:
  Fault m_fault;
  std::uint64_t m_at;
  std::uint64_t m_count = 0;
};

// Telemetry of a controller in flight, cut into reports: most plain text,
// some whose first byte is a step's code and whose last byte sums the rest.
// Fed to the exchange before any boot loader is there; true when one of them
// moved the exchange or drew an answer.
bool LookalikesMoveTheExchange(UpgradeExchange& exchange, std::uint32_t seed) {
  std::mt19937 rng(seed);
  static const std::uint8_t kCodes[] = {kUpgradeErase, kUpgradeBlock, kUpgradeVerifyStart, kUpgradeReadBack};
  const std::int32_t position = exchange.ProgressPosition();
  for (int i = 0; i < 400; ++i) {
    std::uint8_t report[kUpgradeReportSize];
    for (auto& b : report) b = static_cast<std::uint8_t>(0x20 + rng() % 0x5F);
    if (i % 4 == 0) {
      report[0] = kCodes[(i / 4) % 4];
      report[kUpgradeReportSize - 1] = UpgradeChecksum(report);
    }
    const UpgradeResult r = exchange.HandleReport(report);
    if (r.replyCount != 0 || r.succeeded || exchange.State() != UpgradeState::Loaded ||
        exchange.ProgressPosition() != position || std::string(exchange.Status()) != "Ready")
      return true;
    if (i % 20 == 0) exchange.Tick();
  }
  return false;
}

bool IsReportFault(Fault f) {
  return f == Fault::Drop || f == Fault::Corrupt || f == Fault::Duplicate;
}

}  // namespace

const char* FaultName(Fault fault) {
  switch (fault) {
    case Fault::None:
      return "none";
    case Fault::Drop:
      return "drop";
    case Fault::Corrupt:
      return "corrupt";
    case Fault::Duplicate:
      return "duplicate";
    case Fault::CorruptReadBack:
      return "corrupt-read-back";
    case Fault::WrongReadBack:
      return "wrong-read-back";
    case Fault::DropBlockRequest:
      return "drop-block-request";
    case Fault::Stall:
      return "stall";
    case Fault::Vanish:
      return "vanish";
    case Fault::LookalikeTelemetry:
      return "lookalike-telemetry";
  }
  return "?";
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Succeeded:
      return "succeeded";
    case Outcome::VerifyFailed:
      return "verify-failed";
    case Outcome::DeviceGone:
      return "device-gone";
    case Outcome::NoEnd:
      return "no-end";
  }
  return "?";
}

RunResult RunUpgrade(const RunPlan& plan, std::int64_t limitMs) {
  const std::vector<std::uint8_t> image = Image(plan);
  const std::int32_t blocks = plan.imageSize / kUpgradeBlockSize + 1;
  const auto block = static_cast<int>(std::clamp(plan.moment, 0.0, 1.0) * (blocks - 1));

  sim::SimOptions options;
  options.bootloader = true;
  options.faults.garbage = false;
  RunResult clean;
  if (plan.fault != Fault::None) {
    // The clean run places the moment: which report, or what time.
    RunPlan plain = plan;
    plain.fault = Fault::None;
    clean = RunUpgrade(plain, limitMs);
  }
  const auto timeAt = static_cast<std::int64_t>(plan.moment * static_cast<double>(clean.endMs));
  switch (plan.fault) {
    case Fault::CorruptReadBack:
      options.faults.corruptReadBackBlock = block;
      break;
    case Fault::WrongReadBack:
      options.faults.wrongReadBackBlock = block;
      break;
    case Fault::DropBlockRequest:
      options.faults.dropBlockRequest = block;
      break;
    case Fault::Stall:
      if (!plan.towardDevice) {
        options.faults.stallAtMs = timeAt;
        options.faults.stallForMs = plan.stallMs;
      }
      break;
    case Fault::Vanish:
      options.faults.vanishAtMs = timeAt;
      break;
    default:
      break;
  }
  const std::uint64_t cleanReports = plan.towardDevice ? clean.toolReports : clean.deviceReports;
  const auto reportAt = static_cast<std::uint64_t>(plan.moment * static_cast<double>(cleanReports));
  Wire fromDevice(plan.towardDevice || !IsReportFault(plan.fault) ? Fault::None : plan.fault, reportAt);
  Wire toDevice(plan.towardDevice && IsReportFault(plan.fault) ? plan.fault : Fault::None, reportAt);

  sim::SimController device(options, 0);
  UpgradeExchange exchange;
  exchange.LoadImage(image);
  RunResult result;
  if (plan.fault == Fault::LookalikeTelemetry)
    result.falseProgress = LookalikesMoveTheExchange(exchange, plan.imageSeed);
  std::int64_t now = 0;
  std::int64_t nextTick = kTickMs;
  auto ended = [&] {
    if (result.outcome == Outcome::Succeeded) return exchange.FinishAcknowledged() || device.Vanished();
    return result.outcome != Outcome::NoEnd;
  };
  while (now <= limitMs && !ended()) {
    device.Advance(now);
    // The tool's side busy elsewhere: the device's reports (and its repeats
    // of an unanswered request) wait for it.
    const bool toolBusy =
        plan.fault == Fault::Stall && plan.towardDevice && now >= timeAt && now < timeAt + plan.stallMs;
    std::uint8_t report[kUpgradeReportSize];
    while (!ended() && !toolBusy && device.TakeReport(report)) {
      const int copies = fromDevice.Pass(report);
      for (int c = 0; c < copies; ++c) {
        const UpgradeResult r = exchange.HandleReport(report);
        if (r.succeeded && result.outcome == Outcome::NoEnd) {
          result.outcome = Outcome::Succeeded;
          result.endMs = now;
          result.falseSuccess = device.ReceivedImage() != image;
        }
        for (std::size_t i = 0; i < r.replyCount; ++i) {
          UpgradeReport reply = r.replies[i];
          const int out = toDevice.Pass(reply.data());
          for (int k = 0; k < out; ++k) device.Write(reply.data(), reply.size(), now);
        }
      }
      device.Advance(now);
    }
    if (result.outcome == Outcome::NoEnd && exchange.Status() == std::string(kUpgradeStatusVerifyError)) {
      result.outcome = Outcome::VerifyFailed;
      result.endMs = now;
    }
    // An unplugged device fails the link's next read: the tool learns of it.
    if (result.outcome == Outcome::NoEnd && device.Vanished()) {
      result.outcome = Outcome::DeviceGone;
      result.endMs = now;
    }
    if (now >= nextTick) {
      exchange.Tick();
      nextTick += kTickMs;
    }
    std::int64_t next = std::min(device.NextDueMs(), nextTick);
    if (toolBusy) next = std::min(next, timeAt + plan.stallMs);
    now = std::max(now + 1, next);
  }
  result.finishAcknowledged = exchange.FinishAcknowledged();
  result.deviceReports = fromDevice.Count();
  result.toolReports = toDevice.Count();
  return result;
}

}  // namespace apdesk::campaign
