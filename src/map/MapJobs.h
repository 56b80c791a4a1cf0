#pragma once
// The work behind apctl map: fetching a cover's tiles into the store ahead
// of a flight (resumable: fresh stored tiles are not asked for again) and
// writing a cover from the store alone into a new MBTiles file.

#include <QObject>
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "map/MapMath.h"
#include "map/TileSource.h"

namespace apdesk::map {

class TileService;
class TileStore;

struct PrefetchCounts {
  std::uint64_t tiles = 0;    // in the cover
  std::uint64_t cached = 0;   // stored and fresh before the run
  std::uint64_t fetched = 0;  // stored (or found unchanged) by this run
  std::uint64_t failed = 0;
  std::uint64_t bytes = 0;  // of the fetched tiles
};

class PrefetchJob : public QObject {
  Q_OBJECT

 public:
  PrefetchJob(TileStore* store, TileService* service, QObject* parent = nullptr);
  // Counts the cover and what the store holds fresh of it; the tiles left
  // are asked for by Start.
  void Plan(const TileCover& cover);
  void Start();
  void Cancel();
  const PrefetchCounts& Counts() const { return m_counts; }
  bool Done() const { return m_done; }

 Q_SIGNALS:
  void Progress(std::uint64_t done, std::uint64_t toFetch);
  void Finished();

 private:
  void Feed();
  void Settle(TileId t, bool ok, qint64 bytes);

  TileStore* m_store;
  TileService* m_service;
  std::vector<TileId> m_todo;
  std::size_t m_next = 0;
  std::uint64_t m_outstanding = 0;
  PrefetchCounts m_counts;
  bool m_done = false, m_cancelled = false;
};

struct ExportCounts {
  std::uint64_t tiles = 0;
  std::uint64_t written = 0;
  std::uint64_t missing = 0;
};

// Writes the cover's stored tiles of `source` into a new MBTiles file at
// `out` (name, format, bounds, minzoom, maxzoom, attribution). No network.
bool ExportMbtiles(TileStore& store, const TileSource& source, const TileCover& cover, int minZoom,
                   int maxZoom, const QString& out, ExportCounts* counts, std::string* error);

}  // namespace apdesk::map
