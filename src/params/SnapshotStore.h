#pragma once
// The parameter history: before every write the parameters last read from
// the controller are stored as one parameter file in
// $XDG_DATA_HOME/apdesk/parameters/ (default ~/.local/share/apdesk/parameters/),
// so there is always a way back. Files are written whole: a temporary file,
// fsync, rename, so a snapshot is either there complete or not at all.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "params/ParameterFile.h"

namespace apdesk {

struct SnapshotEntry {
  std::string path;  // the whole path
  std::string name;  // the file's name, which `params restore` takes
  FileNotes notes;
  std::string damage;   // why it cannot be restored; empty when it is sound
  bool future = false;  // its time lies ahead of the clock
};

class SnapshotStore {
 public:
  // The folder from the environment; empty when neither $XDG_DATA_HOME nor
  // $HOME is set.
  static std::string DefaultFolder();

  explicit SnapshotStore(std::string folder = DefaultFolder());
  const std::string& Folder() const { return m_folder; }

  // Stores `p` with its notes (time is filled in when empty). False with a
  // plain message when the folder cannot be made or the file written.
  bool Store(const Parameters& p, FileNotes notes, std::string* path, std::string* error) const;

  // Every snapshot, newest first by the time written inside it. A damaged
  // one is listed with its damage; one dated ahead of `now` (seconds since
  // the epoch; 0 for the clock) is marked and comes after those that are not.
  std::vector<SnapshotEntry> List(long long now = 0) const;

  // A sound snapshot by its name (or a path into the folder). False with a
  // message when there is none or it is damaged (saying how).
  bool Find(const std::string& name, SnapshotEntry* entry, std::string* error) const;

  // The controller's defaults as last seen (after a Default's read-back).
  bool StoreDefaults(const Parameters& p, std::string* error) const;
  std::string DefaultsPath() const;

 private:
  std::string m_folder;  // with a trailing '/'
};

// "2026-12-08T07:21:32Z" for now.
std::string UtcTimeNow();

// Seconds since the epoch of "2026-12-08T07:21:32Z"; nullopt for another form.
std::optional<long long> ParseUtcTime(const std::string& text);

// The largest snapshot or parameter file read.
constexpr std::uint64_t kMaxSnapshotBytes = 64 * 1024;

}  // namespace apdesk
