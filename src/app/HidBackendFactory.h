#pragma once
// The one factory of the USB back end a --connect target names.

#include <memory>
#include <string>

#include "core/ConnectTarget.h"
#include "core/HidBackend.h"

namespace apdesk {

namespace sim {
class SimHandle;
struct SimOptions;
}  // namespace sim

// The USB back end for `target`: hidapi for usb, hidapi limited to the one
// path for usb:PATH, the socket peer, the simulated controller with
// `simOptions` (its handle into `simHandle` when given), and no device at all
// for serial:PORT. Null with a message when hidapi cannot be started.
std::unique_ptr<IHidBackend> MakeHidBackend(const ConnectTarget& target, const sim::SimOptions& simOptions,
                                            std::string* error,
                                            std::shared_ptr<sim::SimHandle>* simHandle = nullptr);

// A back end with no device: the HID link of a serial connection.
std::unique_ptr<IHidBackend> MakeNoDeviceBackend();

}  // namespace apdesk
