#pragma once
// Plays a record file's records at their original pace, for a replay that
// feeds them where a device's would go. Their time comes from the records'
// UTC fields: the records of one second are spread evenly over it. Records
// without a valid time play ten a second until one has a time; a jump of
// more than a few seconds in the flight's clock (the recorder stopped, the
// GPS clock stepped) plays as one second, so a replay never stands still.
//
// Driven from any timer: call NextDue(now) with a steady clock in
// milliseconds; NextDueMs() says when to call again. The file is read as it
// plays, one second of records ahead, so memory does not grow with it. With
// a single-shot QTimer and a QElapsedTimer `clock`:
//
//   void Tick() {
//     due.clear();
//     pacer.NextDue(clock.elapsed(), &due);
//     for (const RecordBytes& r : due) Receive(r);  // as if the device had sent it
//     if (const auto next = pacer.NextDueMs()) timer.start(std::max<qint64>(0, *next - clock.elapsed()));
//   }

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recorder/RecordFile.h"

namespace apdesk {

class ReplayPacer {
 public:
  static constexpr double kMinSpeed = 0.1;
  static constexpr double kMaxSpeed = 10.0;
  // A pause in the flight's clock longer than this plays as one second.
  static constexpr long long kMaxGapSeconds = 5;

  // False, with the reason, when the file cannot be read.
  bool Open(const std::string& path, std::string* error);
  // For tests: bytes in memory, which must outlive the pacer.
  void OpenBytes(const std::uint8_t* data, std::size_t size);

  // The first record falls due at nowMs.
  void Start(std::int64_t nowMs);

  // Clamped to kMinSpeed..kMaxSpeed; the records already due stay due.
  void SetSpeed(double speed, std::int64_t nowMs);
  double Speed() const { return m_speed; }
  void SetPaused(bool paused, std::int64_t nowMs);
  bool Paused() const { return m_paused; }

  // Appends the records due by nowMs, in file order, and returns how many.
  std::size_t NextDue(std::int64_t nowMs, std::vector<RecordBytes>* due);
  // When the next record falls due (same clock); nothing when paused or
  // finished (or not started).
  std::optional<std::int64_t> NextDueMs() const;

  bool Finished() const { return m_started && m_index >= m_group.size() && !LoadPossible(); }
  std::size_t Played() const { return m_played; }
  // What the file held besides sound records, for a closing message.
  std::size_t Skipped() const { return m_reader.Skipped(); }
  std::size_t TrailingBytes() const { return m_reader.TrailingBytes(); }
  bool ReadFailed() const { return m_reader.ReadFailed(); }

 private:
  bool LoadPossible() const { return m_haveLook || !m_readerDone; }
  bool ReadOne();
  bool LoadGroup();
  double PlayNow(std::int64_t nowMs) const;  // seconds of flight played by nowMs
  double DueAt() const { return m_groupStart + static_cast<double>(m_index) * m_spacing; }
  void Reset();

  RecordReader m_reader;
  bool m_readerDone = true;
  RecordBytes m_look{};
  std::optional<long long> m_lookSecond;
  bool m_haveLook = false;

  std::vector<RecordBytes> m_group;  // the records of the second that plays
  std::size_t m_index = 0;
  double m_groupStart = 0;  // flight seconds from the first record
  double m_spacing = 0.1;
  bool m_firstGroup = true;
  std::optional<long long> m_lastSecond;

  bool m_started = false;
  bool m_paused = false;
  double m_speed = 1.0;
  std::int64_t m_anchorMs = 0;  // wall clock ...
  double m_anchorPlay = 0;      // ... and flight seconds at the last change of speed or pause
  std::size_t m_played = 0;
};

}  // namespace apdesk
