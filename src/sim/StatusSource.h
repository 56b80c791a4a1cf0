#pragma once
// Where the simulated flight software takes its "$STP" sentences from when
// they are not made up by its model: a recorded flight played back. The
// controller asks for what is due and sends it as the flight software would,
// with the other sentences around it.

#include <array>
#include <cstdint>
#include <vector>

namespace apdesk::sim {

class StatusSource {
 public:
  using Sentence = std::array<std::uint8_t, 99>;
  virtual ~StatusSource() = default;
  // Appends the sentences due by nowMs (a steady clock in ms), in order.
  virtual void TakeDue(std::int64_t nowMs, std::vector<Sentence>* due) = 0;
  // When the next one falls due; INT64_MAX when none will (paused, or played out).
  virtual std::int64_t NextDueMs() const = 0;
};

}  // namespace apdesk::sim
