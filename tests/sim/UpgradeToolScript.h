#pragma once
// The tool's side of the firmware upgrade, scripted from the exchange's rules
// for the tests: it answers each valid device report as the upgrade window
// does and records what it saw.

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace simtest {

using Report64 = std::array<std::uint8_t, 64>;

inline bool ReportOk(const std::uint8_t* r) {
  unsigned sum = 0;
  for (int i = 0; i < 63; ++i) sum += r[i];
  return (sum & 0xFF) == r[63];
}
inline std::int32_t Arg(const std::uint8_t* r) {
  return static_cast<std::int32_t>(r[2] | (r[3] << 8) | (r[4] << 16) |
                                   (static_cast<std::uint32_t>(r[5]) << 24));
}

struct ScriptedTool {
  explicit ScriptedTool(std::vector<std::uint8_t> file) : size(static_cast<std::int32_t>(file.size())) {
    image = std::move(file);
    image.resize(image.size() + 4096, 0);
  }

  std::vector<Report64> Handle(const std::uint8_t* in) {
    std::vector<Report64> out;
    if (!ReportOk(in)) return out;
    Report64 reply{};
    auto send = [&] {
      unsigned sum = 0;
      for (int i = 0; i < 63; ++i) sum += reply[i];
      reply[63] = static_cast<std::uint8_t>(sum);
      out.push_back(reply);
    };
    auto putArg = [&](std::int32_t v) {
      for (int i = 0; i < 4; ++i)
        reply[2 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i));
    };
    const std::uint8_t code = in[0];
    const std::int32_t n = Arg(in);
    if (code == 0x30 && std::memcmp(&in[6], "$ZERO", 5) == 0) {
      ++announcements;
      if (state == 1) {
        reply[0] = 0x30;
        putArg(size);
        std::memcpy(&reply[6], "$ZERO", 5);
        send();
      }
    }
    if (!finishAcked) {
      reply[0] = 0xFF;
      std::memcpy(&reply[6], "$ZERO", 5);
      send();
      ++finishesSent;
    }
    if (code == 0x10) {
      finishAcked = true;
      ++acks;
    }
    switch (code) {
      case 0x31:
        state = 10;
        eraseSteps.push_back(n);
        break;
      case 0x32: {
        state = 20;
        blockRequests.push_back(n);
        reply[0] = static_cast<std::int64_t>(n) * 56 <= size ? 0x32 : 0x33;
        reply[1] = 0;
        putArg(n);
        if (n >= 0 && static_cast<std::size_t>(n) * 56 + 56 <= image.size()) {
          std::memcpy(&reply[6], &image[static_cast<std::size_t>(n) * 56], 56);
        }
        send();
        break;
      }
      case 0x50:
        state = 30;
        verifyIndex = 0;
        reply[0] = 0x51;
        reply[1] = 0;
        putArg(0);
        send();
        break;
      case 0x51: {
        state = 40;
        readBacks.push_back(n);
        if (n == verifyIndex) {
          if (n < 0 || static_cast<std::size_t>(n) * 56 + 56 > image.size() ||
              std::memcmp(&in[6], &image[static_cast<std::size_t>(n) * 56], 56) != 0) {
            verifyError = true;
            state = 0;
            break;
          }
          if (static_cast<std::int64_t>(verifyIndex) * 56 > size) {
            finishAcked = false;
            state = 0;
            success = true;
            break;
          }
          ++verifyIndex;
        }
        reply[0] = 0x51;
        reply[1] = 0;
        putArg(verifyIndex);
        send();
        break;
      }
      default:
        break;
    }
    return out;
  }

  // The finish again while it is unanswered: over a lossy link the boot
  // loader's answer can be lost, and then nothing else comes to answer.
  std::vector<Report64> FinishAgain() {
    if (finishAcked) return {};
    Report64 reply{};
    reply[0] = 0xFF;
    std::memcpy(&reply[6], "$ZERO", 5);
    unsigned sum = 0;
    for (int i = 0; i < 63; ++i) sum += reply[i];
    reply[63] = static_cast<std::uint8_t>(sum);
    ++finishesSent;
    return {reply};
  }

  std::vector<std::uint8_t> image;
  std::int32_t size;
  int state = 1;
  bool finishAcked = true;
  int verifyIndex = 0;
  bool verifyError = false;
  bool success = false;
  int announcements = 0;
  int acks = 0;
  int finishesSent = 0;
  std::vector<int> eraseSteps, blockRequests, readBacks;
};

inline std::vector<std::uint8_t> TestImage(std::size_t size, unsigned seed) {
  std::vector<std::uint8_t> v(size);
  unsigned x = seed * 2654435761u + 1;
  for (auto& b : v) {
    x = x * 1103515245u + 12345u;
    b = static_cast<std::uint8_t>(x >> 16);
  }
  return v;
}

}  // namespace simtest
