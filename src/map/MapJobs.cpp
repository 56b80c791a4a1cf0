#include "map/MapJobs.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstdio>

#include "map/MbtilesFile.h"
#include "map/TileService.h"
#include "map/TileStore.h"

namespace apdesk::map {

namespace {
constexpr std::uint64_t kWindow = 8;  // tiles handed to the service at once; it sends two at a time
}

PrefetchJob::PrefetchJob(TileStore* store, TileService* service, QObject* parent)
    : QObject(parent), m_store(store), m_service(service) {
  connect(service, &TileService::TileArrived, this,
          [this](TileId t, qint64 bytes) { Settle(t, true, bytes); });
  connect(service, &TileService::TileFailed, this, [this](TileId t, const QString&) { Settle(t, false, 0); });
}

void PrefetchJob::Plan(const TileCover& cover) {
  m_counts = PrefetchCounts{};
  m_todo.clear();
  m_next = 0;
  const qint64 now = QDateTime::currentSecsSinceEpoch();
  const std::string key = m_service->Source().Key();
  cover.ForEach([&](TileId t) {
    ++m_counts.tiles;
    bool fresh = false;
    if (m_store->Has(key, t, now, &fresh) && fresh)
      ++m_counts.cached;
    else
      m_todo.push_back(t);
    return true;
  });
}

void PrefetchJob::Start() {
  if (m_todo.empty()) {
    m_done = true;
    Q_EMIT Finished();
    return;
  }
  Feed();
}

void PrefetchJob::Cancel() {
  m_cancelled = true;
  m_counts.failed += m_todo.size() - m_next;
  m_next = m_todo.size();
  if (m_outstanding == 0 && !m_done) {
    m_done = true;
    Q_EMIT Finished();
  }
}

void PrefetchJob::Feed() {
  while (!m_cancelled && m_outstanding < kWindow && m_next < m_todo.size()) {
    const TileId t = m_todo[m_next++];
    ++m_outstanding;
    if (!m_service->Request(t, true)) Settle(t, false, 0);
  }
}

void PrefetchJob::Settle(TileId, bool ok, qint64 bytes) {
  if (m_outstanding == 0 || m_done) return;  // a view's tile, not ours
  --m_outstanding;
  if (ok) {
    ++m_counts.fetched;
    m_counts.bytes += static_cast<std::uint64_t>(bytes);
  } else {
    ++m_counts.failed;
  }
  Q_EMIT Progress(m_counts.fetched + m_counts.failed, m_todo.size());
  Feed();
  if (m_outstanding == 0 && m_next >= m_todo.size() && !m_done) {
    m_done = true;
    Q_EMIT Finished();
  }
}

bool ExportMbtiles(TileStore& store, const TileSource& source, const TileCover& cover, int minZoom,
                   int maxZoom, const QString& out, ExportCounts* counts, std::string* error) {
  *counts = ExportCounts{};
  const Box b = cover.Bounds();
  char bounds[128];
  std::snprintf(bounds, sizeof bounds, "%.6f,%.6f,%.6f,%.6f", b.west, b.south, b.east, b.north);
  const std::string key = source.Key();
  // The format is the first stored tile's.
  std::string format;
  cover.ForEach([&](TileId t) {
    if (std::optional<TileStore::Tile> tile = store.Get(key, t, false)) {
      format = TileImageFormat(JudgeTileImage(reinterpret_cast<const std::uint8_t*>(tile->data.constData()),
                                              static_cast<std::size_t>(tile->data.size())));
      return false;
    }
    return true;
  });
  MbtilesFile file;
  const std::map<std::string, std::string> metadata = {
      {"name", QFileInfo(out).completeBaseName().toStdString()},
      {"format", format.empty() ? "png" : format},
      {"bounds", bounds},
      {"minzoom", std::to_string(minZoom)},
      {"maxzoom", std::to_string(maxZoom)},
      {"attribution", source.attribution},
      {"type", "baselayer"},
      {"version", "1.0"},
  };
  if (!file.Create(out, metadata, error)) return false;
  file.Begin();
  bool ok = true;
  cover.ForEach([&](TileId t) {
    ++counts->tiles;
    if (std::optional<TileStore::Tile> tile = store.Get(key, t, false)) {
      if (!file.Write(t, tile->data)) {
        *error = out.toStdString() + ": cannot be written";
        ok = false;
        return false;
      }
      ++counts->written;
    } else {
      ++counts->missing;
    }
    return true;
  });
  if (ok && !file.Commit()) {
    *error = out.toStdString() + ": cannot be written";
    ok = false;
  }
  file.Close();
  if (!ok) QFile::remove(out);  // a half-written file is no map
  return ok;
}

}  // namespace apdesk::map
