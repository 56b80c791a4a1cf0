#pragma once
// The "hidsock:" back end: the USB device played by a peer process over a
// Unix-domain socket, so a simulator (or a test written in any language) can
// stand in for the controller.
//
// Wire:
//   - The peer (the device side) creates an AF_UNIX socket of type
//     SOCK_SEQPACKET, binds it to PATH and listens. The tool connects.
//   - Every packet carries exactly one 64-byte report, no report id and no
//     other framing. Packets from the tool are output reports; packets from
//     the peer are input reports.
//   - A packet of any other length is a protocol error: the tool treats the
//     device as failed, as it does when the peer closes the connection.
//   - Listing devices makes one probe connection that is closed at once
//     without sending anything; the peer should then simply wait for the next
//     connection. Opening the device makes a new connection that lasts until
//     the tool closes the device.
//   - The device is listed as path "hidsock:" + PATH, ids 0483:5750, whatever
//     ids the caller asks for are then matched against these.

#include <memory>
#include <string>

#include "core/ConnectTarget.h"
#include "core/HidBackend.h"

namespace apdesk {

inline constexpr std::uint16_t kHidSockVendorId = kControllerVendorId;
inline constexpr std::uint16_t kHidSockProductId = kControllerProductId;

std::unique_ptr<IHidBackend> MakeHidSockBackend(const std::string& socketPath);

}  // namespace apdesk
