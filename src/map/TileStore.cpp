#include "map/TileStore.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace apdesk::map {

namespace {

std::atomic<int> g_connections{0};

QString SourceText(const std::string& s) {
  return QString::fromStdString(s);
}

void BindTile(QSqlQuery& q, const std::string& source, TileId t) {
  q.bindValue(":s", SourceText(source));
  q.bindValue(":z", t.z);
  q.bindValue(":x", t.x);
  q.bindValue(":y", t.y);
}

}  // namespace

TileStore::TileStore() = default;

TileStore::~TileStore() {
  if (m_connection.isEmpty()) return;
  QSqlDatabase::database(m_connection, false).close();
  QSqlDatabase::removeDatabase(m_connection);
}

QString TileStore::DefaultFolder() {
  QString base = qEnvironmentVariable("XDG_CACHE_HOME");
  if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.cache";
  return base + "/apdesk/tiles";
}

bool TileStore::Open(const QString& folder, std::string* error) {
  if (!QDir().mkpath(folder)) {
    *error = "cannot create the tile store's folder " + folder.toStdString();
    return false;
  }
  if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
    *error = "the tile store needs Qt's SQLite driver (Debian package libqt6sql6-sqlite)";
    return false;
  }
  const QString name = QString("apdesk-tiles-%1").arg(g_connections++);
  const QString path = folder + "/tiles.sqlite";
  {
    QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
    db.setDatabaseName(path);
    db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=5000");
    QSqlQuery q(db);
    if (!db.open() ||
        !q.exec("CREATE TABLE IF NOT EXISTS tiles(source TEXT, z INTEGER, x INTEGER, y INTEGER, "
                "data BLOB, etag BLOB, fresh INTEGER, used INTEGER, PRIMARY KEY(source, z, x, y))") ||
        !q.exec("CREATE TABLE IF NOT EXISTS failures(source TEXT, z INTEGER, x INTEGER, y INTEGER, "
                "count INTEGER, retry INTEGER, PRIMARY KEY(source, z, x, y))") ||
        !q.exec("CREATE INDEX IF NOT EXISTS tiles_used ON tiles(used)")) {
      *error = "the tile store " + path.toStdString() + " cannot be used: " +
               (q.lastError().isValid() ? q.lastError() : db.lastError()).text().toStdString();
      db.close();
      db = QSqlDatabase();
      QSqlDatabase::removeDatabase(name);
      return false;
    }
    q.exec("PRAGMA journal_mode=WAL");
    if (q.exec("SELECT COALESCE(MAX(used), 0) FROM tiles") && q.next()) m_clock = q.value(0).toLongLong();
  }
  m_connection = name;
  m_path = path;
  m_size = -1;
  return true;
}

std::optional<TileStore::Tile> TileStore::Get(const std::string& source, TileId t, bool touch) {
  if (!IsOpen()) return std::nullopt;
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  q.prepare("SELECT data, etag, fresh FROM tiles WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(q, source, t);
  if (!q.exec() || !q.next()) return std::nullopt;
  Tile tile{q.value(0).toByteArray(), q.value(1).toByteArray(), q.value(2).toLongLong()};
  if (touch) {
    QSqlQuery u(db);
    u.prepare("UPDATE tiles SET used=:u WHERE source=:s AND z=:z AND x=:x AND y=:y");
    u.bindValue(":u", ++m_clock);
    BindTile(u, source, t);
    u.exec();
  }
  return tile;
}

bool TileStore::Has(const std::string& source, TileId t, qint64 now, bool* fresh) {
  *fresh = false;
  if (!IsOpen()) return false;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("SELECT fresh FROM tiles WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(q, source, t);
  if (!q.exec() || !q.next()) return false;
  *fresh = q.value(0).toLongLong() > now;
  return true;
}

bool TileStore::Put(const std::string& source, TileId t, const QByteArray& data, const QByteArray& etag,
                    qint64 freshUntil) {
  if (!IsOpen()) return false;
  const qint64 before = SizeBytes();
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  q.prepare("SELECT length(data) FROM tiles WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(q, source, t);
  const qint64 replaced = q.exec() && q.next() ? q.value(0).toLongLong() : 0;
  q.prepare(
      "INSERT OR REPLACE INTO tiles(source, z, x, y, data, etag, fresh, used) "
      "VALUES(:s, :z, :x, :y, :d, :e, :f, :u)");
  BindTile(q, source, t);
  q.bindValue(":d", data);
  q.bindValue(":e", etag);
  q.bindValue(":f", freshUntil);
  q.bindValue(":u", ++m_clock);
  if (!q.exec()) return false;
  m_size = before - replaced + data.size();
  QSqlQuery f(db);
  f.prepare("DELETE FROM failures WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(f, source, t);
  f.exec();
  if (m_size > m_capBytes) Trim();
  return true;
}

void TileStore::Refresh(const std::string& source, TileId t, qint64 freshUntil) {
  if (!IsOpen()) return;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("UPDATE tiles SET fresh=:f, used=:u WHERE source=:s AND z=:z AND x=:x AND y=:y");
  q.bindValue(":f", freshUntil);
  q.bindValue(":u", ++m_clock);
  BindTile(q, source, t);
  q.exec();
}

void TileStore::NoteFailure(const std::string& source, TileId t, qint64 now) {
  if (!IsOpen()) return;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("SELECT count FROM failures WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(q, source, t);
  const int count = (q.exec() && q.next() ? q.value(0).toInt() : 0) + 1;
  q.prepare("INSERT OR REPLACE INTO failures(source, z, x, y, count, retry) VALUES(:s, :z, :x, :y, :c, :r)");
  BindTile(q, source, t);
  q.bindValue(":c", count);
  q.bindValue(":r", now + RetryDelaySeconds(count));
  q.exec();
}

qint64 TileStore::RetryAt(const std::string& source, TileId t) {
  if (!IsOpen()) return 0;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("SELECT retry FROM failures WHERE source=:s AND z=:z AND x=:x AND y=:y");
  BindTile(q, source, t);
  return q.exec() && q.next() ? q.value(0).toLongLong() : 0;
}

qint64 TileStore::SizeBytes() {
  if (!IsOpen()) return 0;
  if (m_size < 0) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    m_size =
        q.exec("SELECT COALESCE(SUM(length(data)), 0) FROM tiles") && q.next() ? q.value(0).toLongLong() : 0;
  }
  return m_size;
}

std::vector<std::pair<std::string, qint64>> TileStore::TilesPerSource() {
  std::vector<std::pair<std::string, qint64>> out;
  if (!IsOpen()) return out;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (q.exec("SELECT source, COUNT(*) FROM tiles GROUP BY source ORDER BY source"))
    while (q.next()) out.emplace_back(q.value(0).toString().toStdString(), q.value(1).toLongLong());
  return out;
}

void TileStore::Trim() {
  if (!IsOpen() || SizeBytes() <= m_capBytes) return;
  // Down to 90 % of the cap, so a full store does not trim at every tile.
  const qint64 target = m_capBytes / 10 * 9;
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  q.setForwardOnly(true);
  if (!q.exec("SELECT used, length(data) FROM tiles ORDER BY used")) return;
  qint64 size = SizeBytes(), lastUsed = -1;
  while (size > target && q.next()) {
    lastUsed = q.value(0).toLongLong();
    size -= q.value(1).toLongLong();
  }
  q.finish();
  if (lastUsed < 0) return;
  QSqlQuery d(db);
  d.prepare("DELETE FROM tiles WHERE used <= :u");
  d.bindValue(":u", lastUsed);
  d.exec();
  m_size = -1;
}

}  // namespace apdesk::map
