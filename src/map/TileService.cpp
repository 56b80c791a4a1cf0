#include "map/TileService.h"

#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "map/TileStore.h"

namespace apdesk::map {

namespace {

qint64 Now() {
  return QDateTime::currentSecsSinceEpoch();
}

// Answers that say the network or the server is not there, rather than that
// this tile is bad.
bool IsNetworkFailure(QNetworkReply::NetworkError e) {
  switch (e) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::OperationCanceledError:  // the transfer timeout
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
      return true;
    default:
      return false;
  }
}

}  // namespace

TileService::TileService(TileStore* store, QObject* parent) : QObject(parent), m_store(store) {
  m_unstored.setMaxCost(8 * 1024 * 1024);
  m_source = BuiltinOsmSource();
  m_key = m_source.Key();
}

TileService::~TileService() = default;

bool TileService::SetSource(const TileSource& source, std::string* error) {
  std::unique_ptr<MbtilesFile> file;
  TileSource s = source;
  if (s.kind == TileSource::Kind::Mbtiles) {
    file = std::make_unique<MbtilesFile>();
    if (!file->OpenForReading(QString::fromStdString(s.location), error)) return false;
    s.maxZoom = file->MaxZoom();
    if (const std::string a = file->Metadata("attribution"); !a.empty()) s.attribution = a;
  }
  m_source = s;
  m_key = s.Key();
  m_mbtiles = std::move(file);
  m_queue.clear();
  m_pending.clear();
  m_unstored.clear();
  return true;
}

std::optional<QByteArray> TileService::Tile(TileId t) {
  if (m_mbtiles) return m_mbtiles->Read(t);
  if (const QByteArray* kept = m_unstored.object(Key(t))) return *kept;
  std::optional<TileStore::Tile> stored = m_store ? m_store->Get(m_key, t) : std::nullopt;
  if (!stored || stored->freshUntil <= Now()) Request(t);
  if (stored) return std::move(stored->data);
  return std::nullopt;
}

std::optional<QByteArray> TileService::Stored(TileId t) {
  if (m_mbtiles) return m_mbtiles->Read(t);
  if (const QByteArray* kept = m_unstored.object(Key(t))) return *kept;
  std::optional<TileStore::Tile> stored = m_store ? m_store->Get(m_key, t, false) : std::nullopt;
  if (stored) return std::move(stored->data);
  return std::nullopt;
}

bool TileService::Request(TileId t, bool force) {
  if (m_mbtiles || !m_online || t.z > m_source.maxZoom) return false;
  const qint64 now = Now();
  if (m_networkDown && now < m_networkRetryAt) return false;
  if (m_pending.contains(Key(t))) return true;
  if (!force && m_store && m_store->RetryAt(m_key, t) > now) return false;
  m_queue.push_back(t);
  m_pending.insert(Key(t));
  // A view asks for what it shows now; what scrolled away long ago goes first.
  while (static_cast<int>(m_queue.size()) > kMaxQueued) {
    m_pending.remove(Key(m_queue.front()));
    m_queue.pop_front();
  }
  StartNext();
  return true;
}

void TileService::StartNext() {
  if (!m_network) {
    m_network = new QNetworkAccessManager(this);
    m_network->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
  }
  // Every tile of a source comes from the host of its template.
  while (m_inFlight < kMaxPerHost && !m_queue.empty()) {
    const TileId t = m_queue.back();  // the newest first: what the view shows now
    m_queue.pop_back();
    QNetworkRequest request(QUrl(QString::fromStdString(TileUrl(m_source.location, t))));
    request.setHeader(QNetworkRequest::UserAgentHeader, QString::fromStdString(TileUserAgent()));
    request.setTransferTimeout(kTimeoutMs);
    if (m_store) {
      if (std::optional<TileStore::Tile> stored = m_store->Get(m_key, t, false);
          stored && !stored->etag.isEmpty())
        request.setRawHeader("If-None-Match", stored->etag);
    }
    QNetworkReply* reply = m_network->get(request);
    ++m_inFlight;
    ++m_sent;
    m_mostInFlight = std::max(m_mostInFlight, m_inFlight);
    connect(reply, &QNetworkReply::finished, this, [this, reply, t] { OnFinished(reply, t); });
  }
}

void TileService::OnFinished(QNetworkReply* reply, TileId t) {
  reply->deleteLater();
  --m_inFlight;
  m_pending.remove(Key(t));
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  const QNetworkReply::NetworkError error = reply->error();
  if (status == 0 && IsNetworkFailure(error)) {
    MarkNetworkDown(reply->errorString());
    Q_EMIT TileFailed(t, reply->errorString());
    StartNext();
    return;
  }
  if (m_networkDown) {
    m_networkDown = false;
    Q_EMIT NetworkDownChanged(false);
  }
  const qint64 now = Now();
  const QByteArray expires = reply->rawHeader("Expires");
  const QDateTime expiresAt = QDateTime::fromString(QString::fromLatin1(expires), Qt::RFC2822Date);
  const Freshness fresh = FreshnessOf(reply->rawHeader("Cache-Control").toStdString(),
                                      expiresAt.isValid() ? expiresAt.toSecsSinceEpoch() : -1, now);
  if (status == 304 && m_store) {
    m_store->Refresh(m_key, t, fresh.freshUntil);
    Q_EMIT TileArrived(t, 0);
    StartNext();
    return;
  }
  const QByteArray body = reply->readAll();
  const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
  const bool whole =
      error == QNetworkReply::NoError && (!length.isValid() || length.toLongLong() == body.size());
  const TileImage kind = JudgeTileImage(reinterpret_cast<const std::uint8_t*>(body.constData()),
                                        static_cast<std::size_t>(body.size()));
  if (status >= 200 && status < 300 && whole && kind != TileImage::None) {
    if (fresh.store && m_store)
      m_store->Put(m_key, t, body, reply->rawHeader("ETag"), fresh.freshUntil);
    else
      m_unstored.insert(Key(t), new QByteArray(body), static_cast<int>(body.size()));
    Q_EMIT TileArrived(t, body.size());
  } else {
    if (m_store) m_store->NoteFailure(m_key, t, now);
    QString why = status ? QString("HTTP %1").arg(status) : reply->errorString();
    if (status >= 200 && status < 300) why += whole ? ", not an image" : ", body cut short";
    Q_EMIT TileFailed(t, why);
  }
  StartNext();
}

void TileService::MarkNetworkDown(const QString& why) {
  Q_UNUSED(why);
  m_networkRetryAt = Now() + kOfflinePauseSeconds;
  const bool wasDown = m_networkDown;
  m_networkDown = true;
  // What was waiting is dropped: the views ask again when they draw.
  std::deque<TileId> dropped;
  dropped.swap(m_queue);
  for (const TileId& q : dropped) m_pending.remove(Key(q));
  if (!wasDown) Q_EMIT NetworkDownChanged(true);
  for (const TileId& q : dropped) Q_EMIT TileFailed(q, QStringLiteral("network unavailable"));
}

}  // namespace apdesk::map
