#pragma once
// The one tile store of every window and apctl: an SQLite file in
// $XDG_CACHE_HOME/apdesk/tiles (else ~/.cache/apdesk/tiles), keyed by source
// and tile. Only tiles are kept (the fetcher judges the bodies); failed
// answers are remembered apart, with the time they may be asked for again.
// A size cap removes the least recently used tiles first.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "map/MapMath.h"

namespace apdesk::map {

class TileStore {
 public:
  static constexpr qint64 kDefaultCapBytes = 500LL * 1024 * 1024;

  TileStore();
  ~TileStore();
  TileStore(const TileStore&) = delete;
  TileStore& operator=(const TileStore&) = delete;

  // $XDG_CACHE_HOME/apdesk/tiles, else ~/.cache/apdesk/tiles.
  static QString DefaultFolder();
  // Opens (creating) folder/tiles.sqlite. False with the reason.
  bool Open(const QString& folder, std::string* error);
  bool IsOpen() const { return !m_connection.isEmpty(); }
  QString FilePath() const { return m_path; }

  struct Tile {
    QByteArray data;
    QByteArray etag;
    qint64 freshUntil = 0;
  };
  // The stored tile; `touch` marks it used now (for the size cap).
  std::optional<Tile> Get(const std::string& source, TileId t, bool touch = true);
  // Whether a tile is stored, and whether it is still fresh at `now`.
  bool Has(const std::string& source, TileId t, qint64 now, bool* fresh);
  bool Put(const std::string& source, TileId t, const QByteArray& data, const QByteArray& etag,
           qint64 freshUntil);
  // A 304 answer: the stored tile is fresh again.
  void Refresh(const std::string& source, TileId t, qint64 freshUntil);

  // A failed answer: count it and wait RetryDelaySeconds before the next.
  void NoteFailure(const std::string& source, TileId t, qint64 now);
  // When the tile may be asked for again (0: now).
  qint64 RetryAt(const std::string& source, TileId t);

  void SetCapBytes(qint64 cap) { m_capBytes = cap; }
  qint64 SizeBytes();
  std::vector<std::pair<std::string, qint64>> TilesPerSource();
  // Removes least recently used tiles until the store is under its cap.
  void Trim();

 private:
  QString m_connection, m_path;
  qint64 m_capBytes = kDefaultCapBytes;
  qint64 m_size = -1;  // bytes of tile data, counted once then kept up to date
  qint64 m_clock = 0;  // a use counter that orders tiles by last use
};

}  // namespace apdesk::map
