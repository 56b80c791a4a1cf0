#pragma once
// The firmware-upgrade exchange with the controller's boot loader, without
// any window or transport. The device drives it: every report it sends goes
// into HandleReport, which answers with zero, one or two reports for the
// caller to write, and moves the state, progress and status on. The tool
// never sends anything on its own.
//
// Typical use (the upgrade window and `apctl upgrade` do this):
//
//   UpgradeExchange ex;
//   std::string error;
//   if (!ex.LoadImageFile(path, &error)) { report error; }
//   every 100 ms:            ex.Tick();
//   for every inbound report: UpgradeResult r = ex.HandleReport(report);
//                             write r.replies[0 .. r.replyCount) in order;
//                             show the window if r.showWindow;
//   display ex.Status(), ex.ProgressPosition(), ex.ProgressMaximum().
//
// Report layout (64 bytes, both directions): byte 0 command code, byte 1
// zero, bytes 2-5 a little-endian signed argument (image size, block number
// or erase step), bytes 6-61 a 56-byte payload (a block, or "$ZERO"), byte 62
// zero, byte 63 the sum of bytes 0-62 modulo 256.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace apdesk {

inline constexpr std::size_t kUpgradeReportSize = 64;
inline constexpr std::int32_t kUpgradeBlockSize = 56;
// Images of this size or more are loaded but never offered to the device.
inline constexpr std::int32_t kUpgradeImageLimit = 917504;  // 0xE0000
// Zero bytes kept after the image, so the blocks just past its end read as 0.
inline constexpr std::int32_t kUpgradeImageTail = 4096;
// Erase progress is shown against this maximum, whatever the device sends.
inline constexpr std::int32_t kUpgradeEraseSteps = 7;
// Announcements within one tick up to which the window stays hidden.
inline constexpr std::int32_t kUpgradeAnnouncementLimit = 50;

// Command codes of the exchange.
enum UpgradeCode : std::uint8_t {
  kUpgradeAnnounce = 0x30,   // device: boot loader present; tool: image offer
  kUpgradeAck = 0x10,        // device: finish report acknowledged
  kUpgradeErase = 0x31,      // device: erase progress
  kUpgradeBlock = 0x32,      // device: block request; tool: a block
  kUpgradeLastBlock = 0x33,  // tool: the block past the end of the image
  kUpgradeVerifyStart = 0x50,
  kUpgradeReadBack = 0x51,  // device: a block read back; tool: read-back request
  kUpgradeFinish = 0xFF,    // tool: upgrade done
};

// Where the exchange stands.
enum class UpgradeState : std::int32_t {
  Idle = 0,    // no image, image too large, finished, failed or closed
  Loaded = 1,  // image loaded, waiting for the boot loader
  Erasing = 10,
  Downloading = 20,
  VerifyStarted = 30,
  Verifying = 40,
};

using UpgradeReport = std::array<std::uint8_t, kUpgradeReportSize>;

// What one inbound report produced.
struct UpgradeResult {
  // Replies to write, in this order. One call can produce two (for example
  // the finish report and then a block).
  std::array<UpgradeReport, 2> replies{};
  std::size_t replyCount = 0;
  // More than the announcement limit arrived within one tick: show the window.
  bool showWindow = false;
  // This report completed the verification: the upgrade has succeeded.
  bool succeeded = false;
};

// Sum of bytes 0-62 modulo 256: what byte 63 of every report must hold.
std::uint8_t UpgradeChecksum(const std::uint8_t* report);

class UpgradeExchange {
 public:
  UpgradeExchange() = default;
  UpgradeExchange(const UpgradeExchange&) = delete;
  UpgradeExchange& operator=(const UpgradeExchange&) = delete;

  // Reads the whole file as the image. On failure returns false, puts the
  // reason into *error (when given) and keeps no image (state Idle). On
  // success the state is Loaded if the image is below kUpgradeImageLimit,
  // else Idle (loaded but never offered).
  bool LoadImageFile(const std::string& path, std::string* error);
  // The same from bytes in memory. Fails only when memory runs out.
  bool LoadImage(std::span<const std::uint8_t> image, std::string* error = nullptr);

  // Handles one 64-byte inbound report (all of them: it ignores those whose
  // checksum is wrong, and every step but the announcement until a boot
  // loader has announced itself).
  UpgradeResult HandleReport(const std::uint8_t* report);

  // The 100 ms tick: clears the announcement counter.
  void Tick() { m_announcements = 0; }

  // The operator ends the exchange (the window's Close): the finish report is
  // sent again until acknowledged, the state goes to Idle.
  void Close();

  UpgradeState State() const { return m_state; }
  // "Ready" until the first step, then one of the "LID_PUB_UPGRADE_..." keys
  // of the step that last began. The caller looks the key up in its texts.
  const char* Status() const { return m_status; }
  std::int32_t ProgressPosition() const { return m_progressPosition; }
  std::int32_t ProgressMaximum() const { return m_progressMaximum; }
  std::int32_t Announcements() const { return m_announcements; }
  bool FinishAcknowledged() const { return m_finishAcknowledged; }
  std::int32_t VerifyIndex() const { return m_verifyIndex; }
  std::int32_t ImageSize() const { return m_imageSize; }
  bool HasImage() const { return m_image != nullptr; }

  // Copies block n of the image into out (56 bytes). Bytes past the image
  // and its zero tail, and all bytes of negative blocks, read as zero.
  void CopyBlock(std::int64_t block, std::uint8_t* out) const;

 private:
  void HandleReadBack(const std::uint8_t* report, std::uint8_t* reply, UpgradeResult& result);

  UpgradeState m_state = UpgradeState::Idle;
  std::int32_t m_announcements = 0;
  // A boot loader has announced itself since the last upgrade ended. Until
  // then a report that only looks like a step of the exchange (telemetry of
  // a controller in flight can) moves nothing and is not answered.
  bool m_bootLoaderHeard = false;
  bool m_finishAcknowledged = true;
  // A read-back differed: further read-backs go unanswered until the device
  // starts a new verification.
  bool m_verifyFailed = false;
  std::int32_t m_progressPosition = 0;
  std::int32_t m_progressMaximum = 100;
  const char* m_status = "Ready";
  std::int32_t m_verifyIndex = 0;
  // Requests for the block m_verifyIndex beyond the first, and, once it has
  // been read back, the copies of its read-back still to come.
  std::int32_t m_extraRequests = 0;
  std::int32_t m_lateCopies = 0;
  std::int32_t m_imageSize = 0;
  std::unique_ptr<std::uint8_t[]> m_image;  // m_imageSize + kUpgradeImageTail bytes
};

// Status keys, as Status() returns them.
inline constexpr const char* kUpgradeStatusReady = "Ready";
inline constexpr const char* kUpgradeStatusErase = "LID_PUB_UPGRADE_ERASE";
inline constexpr const char* kUpgradeStatusDownload = "LID_PUB_UPGRADE_DOWNLOAD";
inline constexpr const char* kUpgradeStatusVerify = "LID_PUB_UPGRADE_VERIFY";
inline constexpr const char* kUpgradeStatusVerifyError = "LID_PUB_UPGRADE_VERIFYERR";
inline constexpr const char* kUpgradeStatusSuccess = "LID_PUB_UPGRADE_SUCCESS";

}  // namespace apdesk
