// Upgrades against the simulated boot loader, each with one fault of a
// random kind at a random moment, on a simulated clock. Prints what came of
// them (per fault kind: outcomes, the worst time against the clean upgrade
// and the most device reports beyond it) and checks the targets: no false success, no progress shown
// before the boot loader announced itself, every run ends, and every
// success takes at most three times the same upgrade without the fault.
//
//   upgrade_fault_campaign [--runs N] [--seed S] [--min-size B] [--max-size B]
//
// Exit status 0 when the targets hold, 1 when one does not, 2 on misuse.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "FaultCampaign.h"

using apdesk::campaign::Fault;
using apdesk::campaign::Outcome;

namespace {

bool ParseCount(const char* text, long max, long* out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || v < 1 || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  long runs = 1000, seed = 1, minSize = 1000, maxSize = 64000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::printf("usage: %s [--runs N] [--seed S] [--min-size B] [--max-size B]\n", argv[0]);
      return 0;
    }
    long* target = nullptr;
    long max = 1000000;
    if (std::strcmp(argv[i], "--runs") == 0) target = &runs;
    if (std::strcmp(argv[i], "--seed") == 0) target = &seed;
    if (std::strcmp(argv[i], "--min-size") == 0) target = &minSize, max = 917503;
    if (std::strcmp(argv[i], "--max-size") == 0) target = &maxSize, max = 917503;
    if (target == nullptr || i + 1 >= argc || !ParseCount(argv[i + 1], max, target)) {
      std::fprintf(stderr, "usage: %s [--runs N] [--seed S] [--min-size B] [--max-size B]\n", argv[0]);
      return 2;
    }
    ++i;
  }
  if (minSize > maxSize) std::swap(minSize, maxSize);

  std::mt19937 rng(static_cast<std::uint32_t>(seed));
  std::uniform_real_distribution<double> share(0.0, 1.0);
  struct Tally {
    std::map<Outcome, int> outcomes;
    int falseSuccesses = 0, falseProgress = 0, noEnds = 0, slow = 0, unacknowledged = 0;
    double worstRatio = 0;
    long long worstExtraReports = 0;  // device reports beyond the clean upgrade's
  };
  std::map<Fault, Tally> tallies;
  std::vector<double> ratios;
  for (long run = 0; run < runs; ++run) {
    apdesk::campaign::RunPlan plan;
    plan.fault = static_cast<Fault>(1 + rng() % (apdesk::campaign::kFaultKinds - 1));
    plan.imageSize = static_cast<std::int32_t>(minSize + rng() % (maxSize - minSize + 1));
    plan.imageSeed = static_cast<std::uint32_t>(rng());
    plan.moment = share(rng);
    plan.towardDevice = rng() % 2 == 1;
    plan.stallMs = 50 + static_cast<std::int64_t>(rng() % 451);  // 50 to 500 ms

    apdesk::campaign::RunPlan plain = plan;
    plain.fault = Fault::None;
    const auto clean = apdesk::campaign::RunUpgrade(plain, 600000);
    if (clean.outcome != Outcome::Succeeded) {
      std::fprintf(stderr, "run %ld: the clean upgrade of %d bytes did not succeed (%s)\n", run,
                   plan.imageSize, apdesk::campaign::OutcomeName(clean.outcome));
      return 1;
    }
    // Long enough for the device to give up on any lost report many times over.
    const std::int64_t limit = 20 * clean.endMs + plan.stallMs + 60000;
    const auto r = apdesk::campaign::RunUpgrade(plan, limit);
    Tally& t = tallies[plan.fault];
    ++t.outcomes[r.outcome];
    const bool noEnd = r.outcome == Outcome::NoEnd || (r.outcome == Outcome::Succeeded &&
                                                       !r.finishAcknowledged && plan.fault != Fault::Vanish);
    t.falseSuccesses += r.falseSuccess;
    t.falseProgress += r.falseProgress;
    t.noEnds += noEnd;
    t.unacknowledged += r.outcome == Outcome::Succeeded && !r.finishAcknowledged;
    if (r.outcome == Outcome::Succeeded) {
      const double ratio = static_cast<double>(r.endMs) / static_cast<double>(clean.endMs);
      ratios.push_back(ratio);
      t.worstRatio = std::max(t.worstRatio, ratio);
      t.slow += ratio > 3.0;
      t.worstExtraReports = std::max(t.worstExtraReports, static_cast<long long>(r.deviceReports) -
                                                              static_cast<long long>(clean.deviceReports));
    }
    if (r.falseSuccess || r.falseProgress || noEnd ||
        (r.outcome == Outcome::Succeeded && r.endMs > 3 * clean.endMs)) {
      std::printf("run %ld: %s %s at %.3f, %d bytes: %s after %lld ms (clean %lld ms)%s%s\n", run,
                  apdesk::campaign::FaultName(plan.fault), plan.towardDevice ? "to device" : "from device",
                  plan.moment, plan.imageSize, apdesk::campaign::OutcomeName(r.outcome),
                  static_cast<long long>(r.endMs), static_cast<long long>(clean.endMs),
                  r.falseSuccess ? " FALSE SUCCESS" : "", r.falseProgress ? " FALSE PROGRESS" : "");
    }
  }

  int falseSuccesses = 0, falseProgress = 0, noEnds = 0, slow = 0;
  std::printf("%-19s %5s %9s %13s %11s %6s %6s %8s %5s %6s %12s\n", "fault", "runs", "succeeded",
              "verify-failed", "device-gone", "no-end", "false", "progress", "slow", "worst", "most-reports");
  for (const auto& [fault, t] : tallies) {
    int n = 0;
    for (const auto& [o, c] : t.outcomes) n += c;
    auto count = [&](Outcome o) {
      const auto it = t.outcomes.find(o);
      return it == t.outcomes.end() ? 0 : it->second;
    };
    std::printf("%-19s %5d %9d %13d %11d %6d %6d %8d %5d %5.2fx %+12lld\n",
                apdesk::campaign::FaultName(fault), n, count(Outcome::Succeeded),
                count(Outcome::VerifyFailed), count(Outcome::DeviceGone), t.noEnds, t.falseSuccesses,
                t.falseProgress, t.slow, t.worstRatio, t.worstExtraReports);
    falseSuccesses += t.falseSuccesses;
    falseProgress += t.falseProgress;
    noEnds += t.noEnds;
    slow += t.slow;
  }
  std::sort(ratios.begin(), ratios.end());
  if (!ratios.empty()) {
    std::printf("successes: %zu; time against the clean upgrade: median %.2fx, p99 %.2fx, worst %.2fx\n",
                ratios.size(), ratios[ratios.size() / 2], ratios[ratios.size() * 99 / 100], ratios.back());
  }
  std::printf(
      "runs %ld: false successes %d, false progress %d, runs without an end %d, successes over 3x the clean "
      "time %d\n",
      runs, falseSuccesses, falseProgress, noEnds, slow);
  return falseSuccesses == 0 && falseProgress == 0 && noEnds == 0 && slow == 0 ? 0 : 1;
}
