#pragma once
// apctl inspect: counts what the link receives for a while, then prints per
// sentence tag the count, the rate and the bad sums, the bytes dropped as
// garbage and the USB reports per second. Plain C++: the link comes in
// through InspectFeed, so the same body runs over a device, the simulated
// controller or a test's bytes.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "inspector/LinkStats.h"
#include "protocol/SentenceParser.h"

namespace apdesk::cli {

class InspectFeed {
 public:
  virtual ~InspectFeed() = default;
  // The receive path's parser counters (they only grow).
  virtual const ParserCounters& Counters() const = 0;
  // USB reports received so far (0 over a serial port).
  virtual std::uint64_t Reports() const = 0;
  // Lets the link run for up to `ms`; false when it ended early (the device
  // went away, Ctrl+C), after which nothing more will be counted.
  virtual bool Run(int ms) = 0;
};

struct InspectOptions {
  int seconds = 5;
  bool json = false;
};

// Takes "--seconds N" (1 to 3600) out of args; false with a message when it
// is invalid. The caller refuses what is left.
bool TakeInspectOptions(std::vector<std::string>& args, InspectOptions* options, std::string* error);

struct InspectOutcome {
  bool ranFull = false;  // the whole time passed
  double seconds = 0;    // how long it counted
};

// Counts for options.seconds (in steps of a quarter second) and prints the
// result to `out`, also when the feed ended early.
InspectOutcome RunInspect(const InspectOptions& options, InspectFeed& feed, std::ostream& out);

// The printed forms, from the counts of `stats` over `seconds`.
std::string InspectText(const LinkStats& stats, double seconds);
std::string InspectJson(const LinkStats& stats, double seconds);

}  // namespace apdesk::cli
