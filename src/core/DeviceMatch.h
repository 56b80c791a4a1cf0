#pragma once
// Which present device is the one that went away. Plain C++.

#include <optional>
#include <vector>

#include "core/HidBackend.h"

namespace apdesk {

// Among `present`, the device to reopen for `previous`: one with the same ids
// and serial number when the previous device gave one, else one at the same
// path, else the first with the same ids (a controller that came back on
// another port, or as its boot loader, which may give another serial number
// or none). nullopt when no present device has the ids.
std::optional<HidDeviceInfo> ChooseReturningDevice(const std::vector<HidDeviceInfo>& present,
                                                   const HidDeviceInfo& previous);

}  // namespace apdesk
