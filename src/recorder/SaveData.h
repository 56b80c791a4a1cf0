#pragma once
// The flight recorder: every valid "$STP" sentence, byte for byte, appended to
// one file per run, "Hj/<local start time>.hj" ("<local start time>-2.hj" and
// on when another run took that name), by a worker thread so that the
// user-interface thread never waits for the disk.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace apdesk {

inline constexpr std::size_t kRecordSize = 99;

class CSaveData {
 public:
  // Name from the local time now; the folder "Hj" under the current directory.
  CSaveData();
  // For tests and tools: the name from startLocalTime, the folder "Hj" under
  // baseDir (an empty baseDir means the current directory).
  CSaveData(const std::tm& startLocalTime, std::string baseDir);
  CSaveData(const CSaveData&) = delete;
  CSaveData& operator=(const CSaveData&) = delete;
  // Stops and joins a worker that still runs, then frees whatever is queued.
  ~CSaveData();

  // The folder "Hj" goes under; only before StartThread.
  void SetBaseDir(std::string baseDir) { m_baseDir = std::move(baseDir); }

  // Starts the worker thread. False when it already runs (or ran).
  bool StartThread();
  // Asks the worker to end after one last pass that writes what is queued.
  void StopThread();
  // StopThread, then waits until the worker has ended (nothing when none runs).
  void Stop();

  // Takes ownership of a new[]-allocated buffer of kRecordSize bytes. Only a
  // list append under the lock; never touches the disk. nullptr is ignored.
  void AddRecord(std::uint8_t* record99);
  void AddRecord(std::unique_ptr<std::uint8_t[]> record99);

  // One pass of the worker: takes over every pending record and appends them
  // to the file in arrival order. Returns the number of records taken on
  // (queued for writing after the move), whether or not they could be written.
  int FlushRecords();

  // Writes the file's data to the disk if anything written is not synced yet.
  void SyncNow();

  std::string RecordFileName() const;
  // "Hj/<name>", prefixed with the base directory when one was given.
  std::string RecordFilePath() const;
  std::string RecordFolder() const;

  // Records appended to the file so far, so a caller can tell whether all it
  // handed in reached the disk.
  std::uint64_t RecordsWritten() const { return m_recordsWritten.load(); }
  // True while the worker's last pass could not write what was queued.
  bool WriteFailing() const { return m_writeFailing.load(); }
  // errno of the last failed write or open (0: none yet).
  int LastWriteError() const { return m_lastWriteError.load(); }
  // Records handed in and not yet in the file.
  std::uint64_t RecordsWaiting() const;
  // Records the worker gave up on when it ended (the disk refused them to the end).
  std::uint64_t RecordsLost() const { return m_recordsLost.load(); }

  // 0 from construction; 1 once the worker has ended (its last step).
  std::atomic<int> m_threadFinished{0};

 private:
  using Record = std::unique_ptr<std::uint8_t[]>;

  // One pass; *failed tells whether records stayed queued for lack of a file.
  int FlushPass(bool* failed);
  // Appends m_writeRecords to the open file; false when one could not be written.
  bool WriteQueued(int fd);
  // Creates this session's file, under the first name not yet on disk, and
  // returns it open (or -1 with errno).
  int ClaimFile(const std::string& folder, std::string* name);
  void WorkerMain();

  std::string m_baseDir;
  std::tm m_startTime{};
  // The start time's name, or "<start time>-N.hj" when that was taken; fixed
  // once this session's file exists (m_claimed, worker-only).
  std::string m_recordFileName;
  bool m_claimed = false;

  mutable std::mutex m_queueLock;  // guards m_pendingRecords, m_stopRequested and the name copy
  std::condition_variable m_wake;  // a record came, or the stop request
  std::vector<Record> m_pendingRecords;
  bool m_stopRequested = false;
  std::deque<Record> m_writeRecords;  // the worker's alone while it runs

  std::thread m_threadHandle;
  std::thread::id m_threadId;

  std::atomic<std::uint64_t> m_recordsWritten{0};
  std::atomic<bool> m_writeFailing{false};
  std::atomic<int> m_lastWriteError{0};
  std::atomic<std::uint64_t> m_writeQueueSize{0};  // m_writeRecords.size(), for other threads
  std::atomic<std::uint64_t> m_recordsLost{0};

  // Worker-only: whether written data waits for fdatasync, and since when.
  bool m_dirty = false;
  std::chrono::steady_clock::time_point m_dirtySince{};
};

// The name a recorder started at that local time uses: "%d%02d%02d%02d%02d%02d.hj".
std::string RecordFileNameFor(const std::tm& localTime);

// True when byte 98 of a "$STP" sentence is the low 8 bits of the sum of
// bytes 0-97.
bool StatusSentenceSumOk(const std::uint8_t* sentence99);

// What the sentence decoder does with each complete "$STP" sentence before it
// shows it: when the sum holds, a copy goes to the recorder. Returns whether
// it was handed over.
bool RecordStatusSentence(CSaveData& recorder, const std::uint8_t* sentence99);

}  // namespace apdesk
