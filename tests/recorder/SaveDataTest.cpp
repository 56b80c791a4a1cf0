#include "recorder/SaveData.h"

#include <gtest/gtest.h>

#include <cerrno>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace apdesk {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// A "$STP" sentence whose bytes 36-39 carry a sequence number, so the order
// of records in a file can be checked.
Bytes Sentence(std::uint32_t seq, bool goodSum = true) {
  Bytes s(kRecordSize, 0);
  std::memcpy(s.data(), "$STP", 4);
  for (std::size_t i = 4; i < 98; ++i) s[i] = static_cast<std::uint8_t>(i * 7 + seq);
  std::memcpy(&s[36], &seq, 4);
  unsigned sum = 0;
  for (std::size_t i = 0; i < 98; ++i) sum += s[i];
  s[98] = static_cast<std::uint8_t>(sum + (goodSum ? 0 : 1));
  return s;
}

std::tm StartTime(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return t;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The file must hold exactly the sentences first..first+count-1, in order.
void ExpectSequence(const std::string& path, std::uint32_t first, std::uint32_t count) {
  Bytes file = ReadAll(path);
  ASSERT_EQ(file.size(), count * kRecordSize) << path;
  for (std::uint32_t i = 0; i < count; ++i) {
    Bytes want = Sentence(first + i);
    ASSERT_EQ(0, std::memcmp(file.data() + i * kRecordSize, want.data(), kRecordSize)) << "record " << i;
  }
}

void Add(CSaveData& rec, std::uint32_t seq) {
  ASSERT_TRUE(RecordStatusSentence(rec, Sentence(seq).data()));
}

// Ends the worker the way the main window's teardown does.
void StopAndWait(CSaveData& rec) {
  rec.Stop();
  EXPECT_EQ(rec.m_threadFinished.load(), 1);
}

class SaveDataTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/apdesk-rec-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    chmod((dir_ + "/Hj").c_str(), 0755);
    fs::remove_all(dir_);
  }
  std::tm start_ = StartTime(2014, 3, 5, 9, 30, 7);
  std::string dir_;
};

TEST(RecordFileName, FromLocalStartTime) {
  struct Case {
    std::tm t;
    const char* name;
  } cases[] = {
      {StartTime(2014, 3, 5, 9, 30, 7), "20140305093007.hj"},
      {StartTime(2009, 1, 1, 0, 0, 0), "20090101000000.hj"},
      {StartTime(2031, 12, 31, 23, 59, 59), "20311231235959.hj"},
  };
  for (const Case& c : cases) EXPECT_EQ(RecordFileNameFor(c.t), c.name);
  CSaveData now;
  EXPECT_TRUE(std::regex_match(now.RecordFileName(), std::regex("20[0-9]{12}\\.hj")));
  EXPECT_EQ(now.RecordFilePath(), "Hj/" + now.RecordFileName());
}

TEST_F(SaveDataTest, NoSentenceLeavesNoFolderAndNoFile) {
  {
    CSaveData rec(start_, dir_);
    ASSERT_TRUE(rec.StartThread());
    usleep(20 * 1000);
    EXPECT_FALSE(RecordStatusSentence(rec, Sentence(1, false).data()));
    StopAndWait(rec);
  }
  EXPECT_FALSE(fs::exists(dir_ + "/Hj"));
}

TEST_F(SaveDataTest, ThreeSentencesGive297BytesInArrivalOrderAndBadSumsAreNotWritten) {
  CSaveData rec(start_, dir_);
  ASSERT_TRUE(rec.StartThread());
  Add(rec, 10);
  EXPECT_FALSE(RecordStatusSentence(rec, Sentence(99, false).data()));
  Add(rec, 11);
  Add(rec, 12);
  StopAndWait(rec);
  const std::string path = dir_ + "/Hj/20140305093007.hj";
  EXPECT_EQ(rec.RecordFilePath(), path);
  EXPECT_EQ(fs::file_size(path), 297u);
  ExpectSequence(path, 10, 3);
}

// Sessions that start within one second (a second program, a restart) each
// write a file of their own; none appends to another's.
TEST_F(SaveDataTest, EverySessionOfTheSameSecondHasItsOwnFile) {
  {
    CSaveData first(start_, dir_);
    Add(first, 1);
    Add(first, 2);
    EXPECT_EQ(first.FlushRecords(), 2);
  }
  CSaveData second(start_, dir_), third(start_, dir_);
  ASSERT_TRUE(second.StartThread());
  for (std::uint32_t i = 3; i < 6; ++i) {
    Add(third, 100 + i);
    EXPECT_EQ(third.FlushRecords(), 1);
    Add(second, i);
  }
  StopAndWait(second);
  const std::string hj = dir_ + "/Hj/20140305093007";
  ExpectSequence(hj + ".hj", 1, 2);
  EXPECT_EQ(third.RecordFilePath(), hj + "-2.hj");
  ExpectSequence(hj + "-2.hj", 103, 3);
  EXPECT_EQ(second.RecordFilePath(), hj + "-3.hj");
  ExpectSequence(hj + "-3.hj", 3, 3);
}

// A full disk: the records wait and are counted, the reason is kept, and
// what the disk still refuses at the end is counted as lost.
TEST_F(SaveDataTest, RefusedRecordsAreCountedAsWaitingThenAsLost) {
  CSaveData rec(start_, dir_);
  for (std::uint32_t i = 0; i < 3; ++i) Add(rec, i);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit none = old;
  none.rlim_cur = 0;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
  EXPECT_EQ(rec.FlushRecords(), 3);
  const bool failing = rec.WriteFailing();
  const std::uint64_t waiting = rec.RecordsWaiting();
  const int reason = rec.LastWriteError();
  ASSERT_TRUE(rec.StartThread());
  Add(rec, 3);
  StopAndWait(rec);  // the last passes give up
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(failing);
  EXPECT_EQ(waiting, 3u);
  EXPECT_EQ(reason, EFBIG);
  EXPECT_EQ(rec.RecordsWritten(), 0u);
  EXPECT_EQ(rec.RecordsLost(), 4u);
}

TEST_F(SaveDataTest, StopWithRecordsStillQueuedWritesThemAll) {
  CSaveData rec(start_, dir_);
  for (std::uint32_t i = 0; i < 5; ++i) Add(rec, i);  // before the worker runs
  ASSERT_TRUE(rec.StartThread());
  for (std::uint32_t i = 5; i < 3000; ++i) Add(rec, i);
  usleep(20 * 1000);  // the worker has drained the burst and sleeps between passes
  for (std::uint32_t i = 3000; i < 3050; ++i) Add(rec, i);
  rec.StopThread();  // lands while those 50 wait for the next pass
  StopAndWait(rec);
  ExpectSequence(rec.RecordFilePath(), 0, 3050);
}

TEST_F(SaveDataTest, NeverStartedRecorderFreesWhatItHolds) {
  // Under the sanitizer build a leak here fails the test run.
  CSaveData rec(start_, dir_);
  rec.AddRecord(new std::uint8_t[kRecordSize]());
  Add(rec, 1);
  rec.AddRecord(nullptr);
}

// Time this process spent on a CPU, all threads together.
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

TEST_F(SaveDataTest, FolderThatCannotBeCreatedKeepsRecordsQueuedWithoutSpinning) {
  // A plain file where the folder should be: the folder cannot be created,
  // the file cannot be opened. Then the way is cleared.
  const std::string hj = dir_ + "/Hj";
  { std::ofstream(hj) << "x"; }
  CSaveData rec(start_, dir_);
  ASSERT_TRUE(rec.StartThread());
  for (std::uint32_t i = 0; i < 4; ++i) Add(rec, i);
  const double cpu0 = CpuSeconds();
  usleep(600 * 1000);
  EXPECT_LT(CpuSeconds() - cpu0, 0.2) << "the worker spins while the file cannot be opened";
  ASSERT_TRUE(fs::is_regular_file(hj));
  fs::remove(hj);
  for (std::uint32_t i = 4; i < 8; ++i) Add(rec, i);
  StopAndWait(rec);
  ExpectSequence(rec.RecordFilePath(), 0, 8);
}

// The read-only case, as a plain user (root writes into read-only folders).
// Returns what went wrong, empty when nothing did.
std::string ReadOnlyFolderCase(const std::string& dir, const std::tm& start) {
  {
    // Started in a folder it cannot write, the reason is that folder's, not
    // the "no such folder" of the file inside the "Hj" it could not make.
    const std::string locked = dir + "/locked";
    if (mkdir(locked.c_str(), 0555) != 0) return "cannot make the locked folder";
    CSaveData rec(start, locked);
    if (!rec.StartThread()) return "no worker";
    RecordStatusSentence(rec, Sentence(0).data());
    usleep(300 * 1000);
    if (!rec.WriteFailing() || rec.LastWriteError() != EACCES)
      return "the reason given is errno " + std::to_string(rec.LastWriteError()) + ", not EACCES";
    rec.Stop();
  }
  const std::string hj = dir + "/Hj";
  if (mkdir(hj.c_str(), 0555) != 0 || chmod(hj.c_str(), 0555) != 0) return "cannot make the folder";
  CSaveData rec(start, dir);
  if (!rec.StartThread()) return "no worker";
  for (std::uint32_t i = 0; i < 3; ++i) RecordStatusSentence(rec, Sentence(i).data());
  usleep(300 * 1000);
  if (fs::exists(rec.RecordFilePath())) return "a file appeared in a read-only folder";
  if (chmod(hj.c_str(), 0755) != 0) return "cannot make the folder writable";
  RecordStatusSentence(rec, Sentence(3).data());
  StopAndWait(rec);
  Bytes file = ReadAll(rec.RecordFilePath());
  if (file.size() != 4 * kRecordSize) return "file holds " + std::to_string(file.size()) + " bytes";
  for (std::uint32_t i = 0; i < 4; ++i)
    if (std::memcmp(file.data() + i * kRecordSize, Sentence(i).data(), kRecordSize) != 0)
      return "record " + std::to_string(i) + " differs";
  return {};
}

TEST_F(SaveDataTest, ReadOnlyFolderThatBecomesWritableLosesNothing) {
  if (geteuid() != 0) {
    EXPECT_EQ(ReadOnlyFolderCase(dir_, start_), "");
    return;
  }
  // No other thread runs here, so the child may start its own.
  ASSERT_EQ(chown(dir_.c_str(), 65534, 65534), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    const std::string error = ReadOnlyFolderCase(dir_, start_);
    if (!error.empty()) fprintf(stderr, "%s\n", error.c_str());
    _exit(error.empty() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "see the child's message above";
}

TEST_F(SaveDataTest, FileHeldByAnotherProcessIsWrittenOnceReleasedInOrder) {
  CSaveData rec(start_, dir_);
  Add(rec, 0);  // the session's file exists before the other process takes it
  ASSERT_EQ(rec.FlushRecords(), 1);
  const std::string path = rec.RecordFilePath();
  int locked[2], release[2];
  ASSERT_EQ(pipe(locked), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int fd = open(path.c_str(), O_RDWR | O_CREAT, 0644);
    char c = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? 'L' : 'E';
    if (write(locked[1], &c, 1) != 1) _exit(2);
    if (read(release[0], &c, 1) != 1) _exit(3);
    _exit(0);  // closing the descriptor releases the lock
  }
  char c = 0;
  ASSERT_EQ(read(locked[0], &c, 1), 1);
  ASSERT_EQ(c, 'L');
  ASSERT_TRUE(rec.StartThread());
  for (std::uint32_t i = 1; i < 5; ++i) Add(rec, i);
  usleep(300 * 1000);
  EXPECT_EQ(fs::file_size(path), kRecordSize) << "written while another process held the file";
  for (std::uint32_t i = 5; i < 9; ++i) Add(rec, i);
  ASSERT_EQ(write(release[1], "g", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  Add(rec, 9);
  StopAndWait(rec);
  ExpectSequence(path, 0, 10);
  for (int fd : {locked[0], locked[1], release[0], release[1]}) close(fd);
}

TEST_F(SaveDataTest, ShortWriteIsCutBackAndRetriedWithoutDuplicates) {
  // A file-size limit makes the third record's write stop part-way (as a full
  // disk does); the file must keep only whole records.
  CSaveData rec(start_, dir_);
  for (std::uint32_t i = 0; i < 3; ++i) Add(rec, i);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 250;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int taken = rec.FlushRecords();
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &old), 0);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(taken, 3);
  ExpectSequence(rec.RecordFilePath(), 0, 2);
  Add(rec, 3);
  EXPECT_EQ(rec.FlushRecords(), 2);  // the refused record and the new one
  ExpectSequence(rec.RecordFilePath(), 0, 4);
  EXPECT_EQ(rec.FlushRecords(), 0);
}

}  // namespace
}  // namespace apdesk
