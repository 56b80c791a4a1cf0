#include "core/DeviceMatch.h"

#include <algorithm>

namespace apdesk {

std::optional<HidDeviceInfo> ChooseReturningDevice(const std::vector<HidDeviceInfo>& present,
                                                   const HidDeviceInfo& previous) {
  std::vector<const HidDeviceInfo*> same;
  for (const HidDeviceInfo& d : present) {
    if (d.vendorId == previous.vendorId && d.productId == previous.productId) same.push_back(&d);
  }
  if (same.empty()) return std::nullopt;
  const auto find = [&](auto predicate) -> const HidDeviceInfo* {
    const auto it = std::find_if(same.begin(), same.end(), predicate);
    return it == same.end() ? nullptr : *it;
  };
  const HidDeviceInfo* chosen = nullptr;
  if (!previous.serialNumber.empty()) {
    chosen = find([&](const HidDeviceInfo* d) { return d->serialNumber == previous.serialNumber; });
  }
  if (chosen == nullptr) chosen = find([&](const HidDeviceInfo* d) { return d->path == previous.path; });
  if (chosen == nullptr) chosen = same.front();
  return *chosen;
}

}  // namespace apdesk
