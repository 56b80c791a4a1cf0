// Arbitrary report sequences against the exchange with a random image. ASan
// catches any read outside the image buffer; the harness keeps its own record
// of which blocks the device has read back correctly and fails if success is
// reported before every block up to the one past the end has matched.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "upgrade/UpgradeExchange.h"

namespace {

std::uint8_t Sum63(const std::uint8_t* r) {
  unsigned s = 0;
  for (int i = 0; i < 63; ++i) s += r[i];
  return static_cast<std::uint8_t>(s);
}

std::int32_t Arg(const std::uint8_t* r) {
  return static_cast<std::int32_t>(std::uint32_t{r[2]} | std::uint32_t{r[3]} << 8 |
                                   std::uint32_t{r[4]} << 16 | std::uint32_t{r[5]} << 24);
}

void Check(bool ok) {
  if (!ok) std::abort();
}

// The harness's own view of block n: image bytes, zero elsewhere.
bool BlockMatches(const std::vector<std::uint8_t>& image, std::int64_t n, const std::uint8_t* payload) {
  for (std::int64_t i = 0; i < 56; ++i) {
    const std::int64_t at = n * 56 + i;
    const std::uint8_t want = (n >= 0 && at < static_cast<std::int64_t>(image.size())) ? image[at] : 0;
    if (payload[i] != want) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // Two bytes choose the image size (up to 64 KiB), one seeds its contents.
  const std::size_t imageSize = (std::size_t{data[0]} | std::size_t{data[1]} << 8);
  std::vector<std::uint8_t> image(imageSize);
  std::uint32_t seed = data[2] * 2654435761u + 1;
  for (auto& b : image) {
    seed = seed * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(seed >> 16);
  }
  data += 3;
  size -= 3;

  apdesk::UpgradeExchange ex;
  Check(ex.LoadImage(image));
  const std::int64_t lastBlock = static_cast<std::int64_t>(imageSize) / 56 + 1;
  std::vector<bool> matched(static_cast<std::size_t>(lastBlock) + 1, false);
  bool failed = false;     // a read-back of the asked-for block differed
  std::int32_t asked = 0;  // the block the tool last asked to read back
  // Steps count only after a boot loader announced itself, until an upgrade
  // succeeds; before that the exchange ignores them, and so does the harness.
  bool heard = false;

  // Each report takes 1 control byte and up to 64 report bytes; control bit 0
  // repairs the checksum so that most reports reach the state machine, bit 1
  // ticks the clock, bit 2 makes the payload the correct block (so that long
  // verifications do occur).
  while (size > 0) {
    const std::uint8_t control = data[0];
    ++data;
    --size;
    std::uint8_t report[64] = {};
    const std::size_t n = size < 64 ? size : 64;
    std::memcpy(report, data, n);
    data += n;
    size -= n;
    if (control & 4) {
      const std::int32_t block = Arg(report);
      for (std::int64_t i = 0; i < 56; ++i) {
        const std::int64_t at = std::int64_t{block} * 56 + i;
        report[6 + i] = (block >= 0 && at < static_cast<std::int64_t>(imageSize)) ? image[at] : 0;
      }
    }
    if (control & 1) report[63] = Sum63(report);
    if (control & 2) ex.Tick();

    const bool valid = Sum63(report) == report[63];
    if (valid && report[0] == 0x30 && std::memcmp(report + 6, "$ZERO", 5) == 0) heard = true;
    if (valid && heard && report[0] == 0x50) {
      std::fill(matched.begin(), matched.end(), false);
      failed = false;
      asked = 0;
    }
    if (valid && heard && report[0] == 0x51 && !failed && Arg(report) == asked) {
      if (BlockMatches(image, asked, report + 6)) {
        if (asked >= 0 && asked <= lastBlock) matched[static_cast<std::size_t>(asked)] = true;
      } else {
        failed = true;
      }
    }

    const apdesk::UpgradeResult r = ex.HandleReport(report);
    Check(r.replyCount <= 2);
    if (!valid) Check(r.replyCount == 0 && !r.succeeded && !r.showWindow);
    for (std::size_t i = 0; i < r.replyCount; ++i) {
      const std::uint8_t* out = r.replies[i].data();
      Check(out[63] == Sum63(out));
      Check(out[1] == 0 && out[62] == 0);
      if (out[0] == 0x32 || out[0] == 0x33) Check(BlockMatches(image, Arg(out), out + 6));
      if (out[0] == 0x51) asked = Arg(out);
    }
    if (r.succeeded) {
      Check(!failed);
      for (bool m : matched) Check(m);
      Check(ex.State() == apdesk::UpgradeState::Idle);
      heard = false;
    }
    Check(ex.Announcements() >= 0 && ex.Announcements() <= 50);
  }
  return 0;
}
