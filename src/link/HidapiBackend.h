#pragma once
// Real USB HID devices through hidapi (hidraw on Linux). Reports carry no
// report id on the device; hidapi wants id 0 in front of every output report.

#include <memory>

#include "core/HidBackend.h"

namespace apdesk {

// hidapi is initialised on the first call and shut down at process exit.
// Returns nullptr when hidapi cannot be initialised.
std::unique_ptr<IHidBackend> MakeHidapiBackend();

}  // namespace apdesk
