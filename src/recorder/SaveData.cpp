#include "recorder/SaveData.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/ByteSum.h"

namespace apdesk {

namespace {

// A pass that could not reach the file waits this long before the next try,
// so a read-only or full disk does not cost a core.
constexpr auto kRetryPause = std::chrono::milliseconds(100);
// Sessions started within one second that each get a file of their own.
constexpr int kMaxSameSecondSessions = 999;
// Written data reaches the disk within about this long, so a power cut costs
// at most about a second of records.
constexpr auto kSyncAfter = std::chrono::milliseconds(500);

std::tm LocalTimeNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

// Writes all of buf at the end of the file. On failure the file is cut back
// to where it was, so a record is either whole in the file or not at all.
bool AppendWhole(int fd, const std::uint8_t* buf, std::size_t size) {
  off_t start = lseek(fd, 0, SEEK_END);
  if (start < 0) return false;
  std::size_t done = 0;
  while (done < size) {
    ssize_t n = write(fd, buf + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : ENOSPC;
      if (done > 0 && ftruncate(fd, start) != 0) {
        // The partial record stays; nothing more can be done about it here.
      }
      errno = err;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string RecordFileNameFor(const std::tm& t) {
  char name[64];
  std::snprintf(name, sizeof name, "%d%02d%02d%02d%02d%02d.hj", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                t.tm_hour, t.tm_min, t.tm_sec);
  return name;
}

bool StatusSentenceSumOk(const std::uint8_t* s) {
  return SumHolds(s, kRecordSize);
}

bool RecordStatusSentence(CSaveData& recorder, const std::uint8_t* sentence99) {
  if (!StatusSentenceSumOk(sentence99)) return false;
  auto copy = std::make_unique_for_overwrite<std::uint8_t[]>(kRecordSize);
  std::memcpy(copy.get(), sentence99, kRecordSize);
  recorder.AddRecord(std::move(copy));
  return true;
}

CSaveData::CSaveData() : CSaveData(LocalTimeNow(), std::string()) {}

CSaveData::CSaveData(const std::tm& startLocalTime, std::string baseDir)
    : m_baseDir(std::move(baseDir)),
      m_startTime(startLocalTime),
      m_recordFileName(RecordFileNameFor(startLocalTime)) {
  m_pendingRecords.reserve(256);
}

CSaveData::~CSaveData() {
  Stop();
  // Whatever is still queued (the disk refused it to the end) is freed with the lists.
}

std::string CSaveData::RecordFolder() const {
  if (m_baseDir.empty()) return "Hj";
  if (m_baseDir.back() == '/') return m_baseDir + "Hj";
  return m_baseDir + "/Hj";
}

std::string CSaveData::RecordFileName() const {
  std::lock_guard<std::mutex> lock(m_queueLock);
  return m_recordFileName;
}

std::string CSaveData::RecordFilePath() const {
  std::string name;
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    name = m_recordFileName;
  }
  return RecordFolder() + "/" + name;
}

std::uint64_t CSaveData::RecordsWaiting() const {
  std::lock_guard<std::mutex> lock(m_queueLock);
  return m_pendingRecords.size() + m_writeQueueSize.load();
}

bool CSaveData::StartThread() {
  if (m_threadHandle.joinable()) return false;
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_stopRequested = false;
  }
  m_threadHandle = std::thread([this] { WorkerMain(); });
  m_threadId = m_threadHandle.get_id();
  return true;
}

void CSaveData::StopThread() {
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_stopRequested = true;
  }
  m_wake.notify_all();
}

void CSaveData::Stop() {
  if (!m_threadHandle.joinable()) return;
  StopThread();
  m_threadHandle.join();
}

void CSaveData::AddRecord(std::uint8_t* record99) {
  AddRecord(Record(record99));
}

void CSaveData::AddRecord(Record record99) {
  if (!record99) return;
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_pendingRecords.push_back(std::move(record99));
  }
  m_wake.notify_one();
}

int CSaveData::FlushRecords() {
  bool failed = false;
  return FlushPass(&failed);
}

int CSaveData::FlushPass(bool* failed) {
  *failed = false;
  std::string name;
  std::vector<Record> taken;
  taken.reserve(256);
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    name = m_recordFileName;
    taken.swap(m_pendingRecords);
  }
  for (Record& r : taken) m_writeRecords.push_back(std::move(r));
  m_writeQueueSize.store(m_writeRecords.size());
  const int n = static_cast<int>(m_writeRecords.size());
  if (n == 0) return 0;

  const std::string folder = RecordFolder();
  struct stat st {};
  if (stat(folder.c_str(), &st) != 0 && mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
    // The reason is the folder's (a folder that cannot be written), not the
    // "no such file" the open would report after it.
    m_lastWriteError.store(errno);
    *failed = true;
    m_writeFailing.store(true);
    return n;
  }
  int fd = -1;
  if (!m_claimed) {
    fd = ClaimFile(folder, &name);
  } else {
    fd = open((folder + "/" + name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  }
  if (fd < 0) {
    m_lastWriteError.store(errno);
    *failed = true;
    m_writeFailing.store(true);
    return n;
  }
  // Held exclusively while we write, so a cooperating reader never sees half a
  // record; a file another process holds counts as one we cannot open now.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    *failed = true;  // another holder, briefly: not a failing disk
    return n;
  }
  const bool wroteAll = WriteQueued(fd);
  if (m_dirty && std::chrono::steady_clock::now() - m_dirtySince >= kSyncAfter) {
    if (fdatasync(fd) == 0) m_dirty = false;
  }
  flock(fd, LOCK_UN);
  close(fd);
  *failed = !wroteAll;
  m_writeFailing.store(!wroteAll);
  return n;
}

int CSaveData::ClaimFile(const std::string& folder, std::string* name) {
  // Another session that started in the same second (a second program, a
  // restart) has its own file: this one takes the first free "-N" name.
  const std::string base = RecordFileNameFor(m_startTime);
  const std::string stem = base.substr(0, base.size() - 3);
  for (int n = 1; n <= kMaxSameSecondSessions; ++n) {
    const std::string candidate = n == 1 ? base : stem + "-" + std::to_string(n) + ".hj";
    const int fd = open((folder + "/" + candidate).c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      std::lock_guard<std::mutex> lock(m_queueLock);
      m_recordFileName = candidate;
      m_claimed = true;
      *name = candidate;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

bool CSaveData::WriteQueued(int fd) {
  while (!m_writeRecords.empty()) {
    if (!AppendWhole(fd, m_writeRecords.front().get(), kRecordSize)) {
      m_lastWriteError.store(errno != 0 ? errno : EIO);
      return false;
    }
    m_writeRecords.pop_front();
    m_writeQueueSize.store(m_writeRecords.size());
    m_recordsWritten.fetch_add(1);
    if (!m_dirty) {
      m_dirty = true;
      m_dirtySince = std::chrono::steady_clock::now();
    }
  }
  return true;
}

void CSaveData::SyncNow() {
  if (!m_dirty) return;
  const std::string path = RecordFilePath();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  if (fdatasync(fd) == 0) m_dirty = false;
  close(fd);
}

void CSaveData::WorkerMain() {
  for (;;) {
    bool failed = false;
    FlushPass(&failed);
    if (m_dirty && std::chrono::steady_clock::now() - m_dirtySince >= kSyncAfter) SyncNow();
    // Asleep until a record or the stop request comes; awake only for the
    // sync that is due, or for the next try at a disk that refused.
    std::unique_lock<std::mutex> lock(m_queueLock);
    auto ready = [this] { return m_stopRequested || !m_pendingRecords.empty(); };
    if (failed) {
      m_wake.wait_for(lock, kRetryPause, [this] { return m_stopRequested; });
    } else if (m_dirty) {
      // A sync the disk refused is tried again after the retry pause.
      const auto now = std::chrono::steady_clock::now();
      const auto due =
          std::max(m_dirtySince + kSyncAfter,
                   now + (now - m_dirtySince >= kSyncAfter ? kRetryPause : std::chrono::milliseconds(0)));
      m_wake.wait_until(lock, due, ready);
    } else {
      m_wake.wait(lock, ready);
    }
    if (m_stopRequested) break;
  }
  // The last pass: what was handed in before the stop request is written now.
  // If the disk still refuses it, a few more tries, then it is given up.
  for (int tries = 0; tries < 5;) {
    bool failed = false;
    const int n = FlushPass(&failed);
    if (n == 0) break;
    if (failed) {
      ++tries;
      std::this_thread::sleep_for(kRetryPause);
    }
  }
  SyncNow();
  {
    std::lock_guard<std::mutex> lock(m_queueLock);
    m_recordsLost.store(m_writeRecords.size() + m_pendingRecords.size());
  }
  m_threadFinished.store(1);
}

}  // namespace apdesk
