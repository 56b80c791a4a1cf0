#include "map/MbtilesFile.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace apdesk::map {

namespace {

std::atomic<int> g_connections{0};

bool OpenConnection(const QString& path, const char* options, QString* name, std::string* error) {
  if (!QSqlDatabase::isDriverAvailable("QSQLITE")) {
    *error = "MBTiles files need Qt's SQLite driver (Debian package libqt6sql6-sqlite)";
    return false;
  }
  *name = QString("apdesk-mbtiles-%1").arg(g_connections++);
  QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", *name);
  db.setDatabaseName(path);
  db.setConnectOptions(options);
  if (!db.open()) {
    *error = path.toStdString() + ": cannot be opened: " + db.lastError().text().toStdString();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(*name);
    name->clear();
    return false;
  }
  return true;
}

}  // namespace

MbtilesFile::~MbtilesFile() {
  Close();
}

void MbtilesFile::Close() {
  if (m_connection.isEmpty()) return;
  QSqlDatabase::database(m_connection, false).close();
  QSqlDatabase::removeDatabase(m_connection);
  m_connection.clear();
}

bool MbtilesFile::OpenForReading(const QString& path, std::string* error) {
  Close();
  const QFileInfo info(path);
  if (!info.exists() || !info.isFile()) {
    *error = path.toStdString() + ": no such MBTiles file";
    return false;
  }
  if (!OpenConnection(path, "QSQLITE_OPEN_READONLY", &m_connection, error)) return false;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  // A file that is not SQLite fails here, at the first read of its schema.
  const bool hasTiles = q.exec("SELECT zoom_level, tile_column, tile_row, tile_data FROM tiles LIMIT 0");
  const bool hasMetadata = hasTiles && q.exec("SELECT name, value FROM metadata");
  if (!hasTiles || !hasMetadata) {
    *error = path.toStdString() + ": not an MBTiles file (" +
             (q.lastError().isValid() ? q.lastError().text().toStdString() : std::string("no tiles table")) +
             ")";
    Close();
    return false;
  }
  m_metadata.clear();
  while (q.next()) m_metadata[q.value(0).toString().toStdString()] = q.value(1).toString().toStdString();
  return true;
}

bool MbtilesFile::Create(const QString& path, const std::map<std::string, std::string>& metadata,
                         std::string* error) {
  Close();
  if (QFileInfo::exists(path)) {
    *error = path.toStdString() + " exists already; choose a new file name";
    return false;
  }
  if (!OpenConnection(path, "", &m_connection, error)) return false;
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  if (!q.exec("CREATE TABLE metadata(name TEXT, value TEXT)") ||
      !q.exec(
          "CREATE TABLE tiles(zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB)") ||
      !q.exec("CREATE UNIQUE INDEX tile_index ON tiles(zoom_level, tile_column, tile_row)")) {
    *error = path.toStdString() + ": cannot be written: " + q.lastError().text().toStdString();
    Close();
    return false;
  }
  q.prepare("INSERT INTO metadata(name, value) VALUES(?, ?)");
  for (const auto& [name, value] : metadata) {
    q.addBindValue(QString::fromStdString(name));
    q.addBindValue(QString::fromStdString(value));
    if (!q.exec()) {
      *error = path.toStdString() + ": cannot be written: " + q.lastError().text().toStdString();
      Close();
      return false;
    }
  }
  m_metadata = metadata;
  return true;
}

std::optional<QByteArray> MbtilesFile::Read(TileId t) {
  if (m_connection.isEmpty()) return std::nullopt;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("SELECT tile_data FROM tiles WHERE zoom_level=? AND tile_column=? AND tile_row=?");
  q.addBindValue(t.z);
  q.addBindValue(t.x);
  q.addBindValue(TmsRow(t));
  if (!q.exec() || !q.next()) return std::nullopt;
  return q.value(0).toByteArray();
}

bool MbtilesFile::Write(TileId t, const QByteArray& data) {
  if (m_connection.isEmpty()) return false;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare("INSERT OR REPLACE INTO tiles(zoom_level, tile_column, tile_row, tile_data) VALUES(?, ?, ?, ?)");
  q.addBindValue(t.z);
  q.addBindValue(t.x);
  q.addBindValue(TmsRow(t));
  q.addBindValue(data);
  return q.exec();
}

bool MbtilesFile::Begin() {
  return !m_connection.isEmpty() && QSqlDatabase::database(m_connection, false).transaction();
}
bool MbtilesFile::Commit() {
  return !m_connection.isEmpty() && QSqlDatabase::database(m_connection, false).commit();
}

std::string MbtilesFile::Metadata(const std::string& name) const {
  const auto it = m_metadata.find(name);
  return it == m_metadata.end() ? std::string() : it->second;
}

int MbtilesFile::MaxZoom() const {
  const std::string z = Metadata("maxzoom");
  bool ok = false;
  const int v = QString::fromStdString(z).toInt(&ok);
  return ok && v >= 0 && v <= kMaxZoom ? v : kMaxZoom;
}

}  // namespace apdesk::map
