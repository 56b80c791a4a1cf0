#include "upgrade/UpgradeExchange.h"

#include "files/RegularFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <system_error>

#include <sys/stat.h>

#include "protocol/ByteSum.h"

namespace apdesk {

namespace {

constexpr std::uint8_t kZeroTag[5] = {'$', 'Z', 'E', 'R', 'O'};
constexpr std::size_t kArgOffset = 2;
constexpr std::size_t kPayloadOffset = 6;
constexpr std::size_t kSumOffset = 63;
// The image size is a 32-bit signed number on the wire, and so is its buffer.
constexpr std::int64_t kLoadableMaximum = std::numeric_limits<std::int32_t>::max() - kUpgradeImageTail;

std::int32_t ReadArgument(const std::uint8_t* report) {
  const std::uint32_t v = static_cast<std::uint32_t>(report[kArgOffset]) |
                          static_cast<std::uint32_t>(report[kArgOffset + 1]) << 8 |
                          static_cast<std::uint32_t>(report[kArgOffset + 2]) << 16 |
                          static_cast<std::uint32_t>(report[kArgOffset + 3]) << 24;
  return static_cast<std::int32_t>(v);
}

void WriteArgument(std::uint8_t* reply, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (std::size_t i = 0; i < 4; ++i) reply[kArgOffset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void WriteTag(std::uint8_t* reply) {
  std::memcpy(reply + kPayloadOffset, kZeroTag, sizeof kZeroTag);
}

bool HasTag(const std::uint8_t* report) {
  return std::memcmp(report + kPayloadOffset, kZeroTag, sizeof kZeroTag) == 0;
}

// Seals the reply with its checksum and hands a copy out.
void Emit(std::uint8_t* reply, UpgradeResult& result) {
  reply[kSumOffset] = UpgradeChecksum(reply);
  std::memcpy(result.replies[result.replyCount].data(), reply, kUpgradeReportSize);
  ++result.replyCount;
}

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

}  // namespace

std::uint8_t UpgradeChecksum(const std::uint8_t* report) {
  return ByteSum(report, kSumOffset);
}

bool UpgradeExchange::LoadImage(std::span<const std::uint8_t> image, std::string* error) {
  m_image.reset();
  m_imageSize = 0;
  m_state = UpgradeState::Idle;
  if (static_cast<std::int64_t>(image.size()) > kLoadableMaximum) {
    SetError(error, "the image is too large to load (" + std::to_string(image.size()) + " bytes)");
    return false;
  }
  const std::size_t total = image.size() + kUpgradeImageTail;
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[total]);
  if (!buffer) {
    SetError(error, "not enough memory for the image (" + std::to_string(image.size()) + " bytes)");
    return false;
  }
  if (!image.empty()) std::memcpy(buffer.get(), image.data(), image.size());
  std::memset(buffer.get() + image.size(), 0, kUpgradeImageTail);
  m_image = std::move(buffer);
  m_imageSize = static_cast<std::int32_t>(image.size());
  m_state = m_imageSize < kUpgradeImageLimit ? UpgradeState::Loaded : UpgradeState::Idle;
  return true;
}

bool UpgradeExchange::LoadImageFile(const std::string& path, std::string* error) {
  m_image.reset();
  m_imageSize = 0;
  m_state = UpgradeState::Idle;

  // A pipe or device in the image's place is refused without waiting.
  RegularFileOptions options;
  options.maxBytes = static_cast<std::uint64_t>(kLoadableMaximum);
  int fd = -1;
  std::uint64_t fileSize = 0;
  std::string why;
  if (OpenRegularFile(path, options, &fd, &fileSize, &why) != FileOpen::Ok) {
    if (why.rfind("it is larger", 0) == 0) {
      struct stat info {};
      const std::string bytes =
          stat(path.c_str(), &info) == 0 ? " (" + std::to_string(info.st_size) + " bytes)" : "";
      SetError(error, "\"" + path + "\" is too large to be an image" + bytes);
    } else if (why == "it is not a regular file" || why == "it is a folder") {
      SetError(error, "\"" + path + "\" is not a regular file");
    } else {
      SetError(error, "cannot open \"" + path + "\": " + why);
    }
    return false;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) {
    SetError(error, "cannot open \"" + path + "\": " + std::strerror(errno));
    close(fd);
    return false;
  }
  const std::int64_t size = static_cast<std::int64_t>(fileSize);
  const std::size_t total = static_cast<std::size_t>(size) + kUpgradeImageTail;
  std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[total]);
  if (!buffer) {
    std::fclose(file);
    SetError(error, "not enough memory for \"" + path + "\" (" + std::to_string(size) + " bytes)");
    return false;
  }
  std::memset(buffer.get(), 0, total);
  std::size_t got = 0;
  const auto wanted = static_cast<std::size_t>(size);
  while (got < wanted) {
    const std::size_t n = std::fread(buffer.get() + got, 1, wanted - got, file);
    if (n == 0) break;
    got += n;
  }
  const bool failed = std::ferror(file) != 0;
  const int readErrno = errno;
  std::fclose(file);
  if (failed) {
    SetError(error, "cannot read \"" + path + "\": " + std::strerror(readErrno));
    return false;
  }
  if (got != wanted) {
    SetError(error, "\"" + path + "\" became shorter while it was read");
    return false;
  }
  m_image = std::move(buffer);
  m_imageSize = static_cast<std::int32_t>(size);
  m_state = m_imageSize < kUpgradeImageLimit ? UpgradeState::Loaded : UpgradeState::Idle;
  return true;
}

void UpgradeExchange::CopyBlock(std::int64_t block, std::uint8_t* out) const {
  std::memset(out, 0, kUpgradeBlockSize);
  // A device may ask for any block number; only what lies inside the buffer
  // is copied, the rest stays zero.
  const std::int64_t bufferSize = m_image ? std::int64_t{m_imageSize} + kUpgradeImageTail : 0;
  if (block < 0 || block > bufferSize / kUpgradeBlockSize) return;
  const std::int64_t start = block * kUpgradeBlockSize;
  const std::int64_t end = std::min(start + kUpgradeBlockSize, bufferSize);
  if (end > start) std::memcpy(out, m_image.get() + start, static_cast<std::size_t>(end - start));
}

void UpgradeExchange::Close() {
  m_bootLoaderHeard = false;
  m_finishAcknowledged = false;
  m_announcements = 0;
  m_state = UpgradeState::Idle;
}

UpgradeResult UpgradeExchange::HandleReport(const std::uint8_t* report) {
  UpgradeResult result;
  if (UpgradeChecksum(report) != report[kSumOffset]) return result;

  // One reply buffer per report: a later reply keeps what an earlier one
  // wrote and does not overwrite.
  std::uint8_t reply[kUpgradeReportSize] = {};
  auto send = [&]() { Emit(reply, result); };

  const std::uint8_t code = report[0];
  if (code == kUpgradeAnnounce && HasTag(report)) {
    m_bootLoaderHeard = true;
    if (++m_announcements > kUpgradeAnnouncementLimit) {
      m_announcements = kUpgradeAnnouncementLimit;
      result.showWindow = true;
    }
    if (m_state == UpgradeState::Loaded) {
      reply[0] = kUpgradeAnnounce;
      reply[1] = 0;
      WriteArgument(reply, m_imageSize);
      WriteTag(reply);
      send();
    }
  }

  // Until the device acknowledges, every valid report gets the finish report,
  // the acknowledgement itself included.
  if (!m_finishAcknowledged) {
    reply[0] = kUpgradeFinish;
    WriteTag(reply);
    send();
  }
  if (code == kUpgradeAck) m_finishAcknowledged = true;
  if (!m_bootLoaderHeard) return result;

  switch (code) {
    case kUpgradeErase:
      m_state = UpgradeState::Erasing;
      m_progressPosition = ReadArgument(report);
      m_progressMaximum = kUpgradeEraseSteps;
      m_status = kUpgradeStatusErase;
      break;
    case kUpgradeBlock: {
      const std::int32_t n = ReadArgument(report);
      m_state = UpgradeState::Downloading;
      m_progressPosition = n;
      m_progressMaximum = m_imageSize / kUpgradeBlockSize;
      m_status = kUpgradeStatusDownload;
      // 64-bit product: a huge block number must not wrap into the image.
      const bool inImage = std::int64_t{n} * kUpgradeBlockSize <= m_imageSize;
      reply[0] = inImage ? kUpgradeBlock : kUpgradeLastBlock;
      reply[1] = 0;
      WriteArgument(reply, n);
      CopyBlock(n, reply + kPayloadOffset);
      send();
      break;
    }
    case kUpgradeVerifyStart:
      m_state = UpgradeState::VerifyStarted;
      m_verifyIndex = 0;
      m_extraRequests = 0;
      m_lateCopies = 0;
      m_verifyFailed = false;
      reply[0] = kUpgradeReadBack;
      reply[1] = 0;
      WriteArgument(reply, 0);
      send();
      break;
    case kUpgradeReadBack:
      HandleReadBack(report, reply, result);
      break;
    default:
      break;
  }
  return result;
}

void UpgradeExchange::HandleReadBack(const std::uint8_t* report, std::uint8_t* reply, UpgradeResult& result) {
  // After a mismatch the exchange has ended; only a new verification start
  // lets read-backs count again, so a repeated read-back cannot overturn the
  // error.
  if (m_verifyFailed) return;
  const std::int32_t n = ReadArgument(report);
  m_state = UpgradeState::Verifying;
  m_progressPosition = m_verifyIndex;
  m_progressMaximum = m_imageSize / kUpgradeBlockSize;
  m_status = kUpgradeStatusVerify;
  if (n == m_verifyIndex) {
    std::uint8_t expected[kUpgradeBlockSize];
    CopyBlock(n, expected);
    if (std::memcmp(expected, report + kPayloadOffset, kUpgradeBlockSize) != 0) {
      m_status = kUpgradeStatusVerifyError;
      m_state = UpgradeState::Idle;
      m_verifyFailed = true;
      return;
    }
    if (std::int64_t{m_verifyIndex} * kUpgradeBlockSize > m_imageSize) {
      m_finishAcknowledged = false;
      m_announcements = 0;
      m_state = UpgradeState::Idle;
      m_status = kUpgradeStatusSuccess;
      m_bootLoaderHeard = false;
      result.succeeded = true;
      return;
    }
    ++m_verifyIndex;
    // Each extra request for this block draws one more copy of its read-back.
    m_lateCopies = m_extraRequests;
    m_extraRequests = 0;
  } else if (n == m_verifyIndex - 1 && m_lateCopies > 0) {
    // The answer to an extra request, already verified: asking again for each
    // would keep two requests in flight and double every later block.
    --m_lateCopies;
    return;
  } else {
    // Stale, repeated or the wrong block: the request may have been lost, so
    // ask once more. Its answer costs one exchange, then the pace is back.
    ++m_extraRequests;
  }
  reply[0] = kUpgradeReadBack;
  reply[1] = 0;
  WriteArgument(reply, m_verifyIndex);
  Emit(reply, result);
}

}  // namespace apdesk
