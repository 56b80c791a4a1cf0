#include "cli/InspectCommand.h"

#include <algorithm>
#include <optional>

#include "cli/CliArgs.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordFile.h"

namespace apdesk::cli {

namespace {

constexpr int kStepMs = 250;

double PerSecond(std::uint64_t n, double seconds) {
  return seconds > 0 ? static_cast<double>(n) / seconds : 0.0;
}

}  // namespace

bool TakeInspectOptions(std::vector<std::string>& args, InspectOptions* options, std::string* error) {
  std::optional<int> seconds;
  if (!TakeIntOption(args, "--seconds", 1, 3600, &seconds, error)) return false;
  if (seconds) options->seconds = *seconds;
  return true;
}

InspectOutcome RunInspect(const InspectOptions& options, InspectFeed& feed, std::ostream& out) {
  LinkStats stats;
  // Counted from now: what arrived before (the answer to an open) is not ours.
  stats.OnCounters(feed.Counters(), 0);
  stats.Reset();
  const std::uint64_t reportsAtStart = feed.Reports();
  std::uint64_t reportsSeen = reportsAtStart;

  InspectOutcome outcome;
  const std::int64_t totalMs = static_cast<std::int64_t>(options.seconds) * 1000;
  std::int64_t elapsed = 0;
  bool running = true;
  while (running && elapsed < totalMs) {
    const int step = static_cast<int>(std::min<std::int64_t>(kStepMs, totalMs - elapsed));
    running = feed.Run(step);
    elapsed += step;
    for (const std::uint64_t now = feed.Reports(); reportsSeen < now; ++reportsSeen) stats.OnReport();
    stats.OnCounters(feed.Counters(), elapsed);
  }
  outcome.ranFull = running;
  outcome.seconds = static_cast<double>(elapsed) / 1000.0;
  out << (options.json ? InspectJson(stats, outcome.seconds) : InspectText(stats, outcome.seconds))
      << std::flush;
  return outcome;
}

std::string InspectText(const LinkStats& stats, double seconds) {
  std::string text = FormatText("%-8s %10s %10s %9s\n", "sentence", "count", "per s", "bad sums");
  for (std::size_t i = 0; i < kTagCount; ++i) {
    const SentenceInfo& info = kSentenceTable[i];
    const std::uint64_t n = stats.Count(info.tag);
    const std::string bad = info.summed ? std::to_string(stats.BadSums(info.tag)) : "-";
    text += FormatText("%-8s %10llu %10.1f %9s\n", std::string(info.text).c_str(),
                       static_cast<unsigned long long>(n), PerSecond(n, seconds), bad.c_str());
  }
  text += FormatText(
      "bytes received %llu, dropped as garbage %llu; USB reports %llu (%.1f per s); over %.1f s\n",
      static_cast<unsigned long long>(stats.BytesReceived()),
      static_cast<unsigned long long>(stats.BytesDropped()), static_cast<unsigned long long>(stats.Reports()),
      PerSecond(stats.Reports(), seconds), seconds);
  return text;
}

std::string InspectJson(const LinkStats& stats, double seconds) {
  std::string json = FormatText("{\"seconds\":%.3f,\"sentences\":{", seconds);
  for (std::size_t i = 0; i < kTagCount; ++i) {
    const SentenceInfo& info = kSentenceTable[i];
    const std::uint64_t n = stats.Count(info.tag);
    json += (i ? "," : "") + JsonString(info.text) +
            FormatText(":{\"count\":%llu,\"per_second\":%.3f", static_cast<unsigned long long>(n),
                       PerSecond(n, seconds));
    if (info.summed)
      json += FormatText(",\"bad_sums\":%llu", static_cast<unsigned long long>(stats.BadSums(info.tag)));
    json += "}";
  }
  json += FormatText(
      "},\"bytes_received\":%llu,\"bytes_dropped\":%llu,\"reports\":%llu,\"reports_per_second\":%.3f}\n",
      static_cast<unsigned long long>(stats.BytesReceived()),
      static_cast<unsigned long long>(stats.BytesDropped()), static_cast<unsigned long long>(stats.Reports()),
      PerSecond(stats.Reports(), seconds));
  return json;
}

}  // namespace apdesk::cli
