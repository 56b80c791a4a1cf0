#pragma once
// Tiles for the views and apctl: from an MBTiles file, or from the one tile
// store, asking the source's server in the background for what is missing
// or stale. Polite to the server: at most kMaxPerHost requests at once, the
// User-Agent on each, caching headers honoured, failed tiles asked again
// only after a back-off, and after a network failure nothing is asked for a
// while (the views show stored tiles meanwhile).

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QObject>
#include <QSet>
#include <deque>
#include <memory>
#include <optional>
#include <string>

#include "map/MapMath.h"
#include "map/MbtilesFile.h"
#include "map/TileSource.h"

class QNetworkAccessManager;
class QNetworkReply;

namespace apdesk::map {

class TileStore;

class TileService : public QObject {
  Q_OBJECT

 public:
  static constexpr int kMaxPerHost = 2;
  static constexpr int kTimeoutMs = 10000;
  static constexpr int kOfflinePauseSeconds = 30;
  static constexpr int kMaxQueued = 512;

  explicit TileService(TileStore* store, QObject* parent = nullptr);
  ~TileService() override;

  // An MBTiles source is opened here; false with the reason.
  bool SetSource(const TileSource& source, std::string* error);
  const TileSource& Source() const { return m_source; }
  // Offline: never touch the network, show what the store holds.
  void SetOnline(bool online) { m_online = online; }
  bool Online() const { return m_online; }

  // The tile's bytes when at hand (the store, the MBTiles file); when it is
  // missing or stale and the network may be used, it is asked for in the
  // background and TileArrived follows.
  std::optional<QByteArray> Tile(TileId t);
  // The same without asking anyone (a stand-in drawn from a lower zoom).
  std::optional<QByteArray> Stored(TileId t);
  // Asks the server for the tile unless it is stored fresh or being asked for.
  // `force` ignores a failed tile's back-off (an operator's prefetch). False
  // when it cannot be asked now (offline, a network pause, no server).
  bool Request(TileId t, bool force = false);

  // The network failed recently: the views say so in one line.
  bool NetworkDown() const { return m_networkDown; }
  int InFlight() const { return m_inFlight; }
  int MostInFlight() const { return m_mostInFlight; }
  qint64 RequestsSent() const { return m_sent; }

 Q_SIGNALS:
  void TileArrived(apdesk::map::TileId t, qint64 bytes);
  void TileFailed(apdesk::map::TileId t, const QString& why);
  void NetworkDownChanged(bool down);

 private:
  void StartNext();
  void OnFinished(QNetworkReply* reply, TileId t);
  void MarkNetworkDown(const QString& why);
  static quint64 Key(TileId t) { return (quint64(t.z) << 56) | (quint64(t.x) << 28) | quint64(t.y); }

  TileStore* m_store;
  TileSource m_source;
  std::string m_key;
  std::unique_ptr<MbtilesFile> m_mbtiles;
  QNetworkAccessManager* m_network = nullptr;
  bool m_online = true;
  bool m_networkDown = false;
  qint64 m_networkRetryAt = 0;
  std::deque<TileId> m_queue;
  QSet<quint64> m_pending;                 // queued or in flight
  QCache<quint64, QByteArray> m_unstored;  // "no-store" answers, kept in memory only
  int m_inFlight = 0, m_mostInFlight = 0;
  qint64 m_sent = 0;
};

}  // namespace apdesk::map

Q_DECLARE_METATYPE(apdesk::map::TileId)
