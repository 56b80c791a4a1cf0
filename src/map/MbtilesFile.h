#pragma once
// An MBTiles file (SQLite: a "metadata" table of name/value and a "tiles"
// table whose rows count from the south, TMS): read as a tile source, or
// written by an export.

#include <QByteArray>
#include <QString>
#include <map>
#include <optional>
#include <string>

#include "map/MapMath.h"

namespace apdesk::map {

class MbtilesFile {
 public:
  MbtilesFile() = default;
  ~MbtilesFile();
  MbtilesFile(const MbtilesFile&) = delete;
  MbtilesFile& operator=(const MbtilesFile&) = delete;

  // Opens an existing file read-only. False with the reason when it is
  // missing, not SQLite or lacks the MBTiles tables.
  bool OpenForReading(const QString& path, std::string* error);
  // Creates a new file (an existing one is refused, so nothing is lost).
  bool Create(const QString& path, const std::map<std::string, std::string>& metadata, std::string* error);

  std::optional<QByteArray> Read(TileId t);
  bool Write(TileId t, const QByteArray& data);
  // Writes are grouped in one transaction between these.
  bool Begin();
  bool Commit();
  void Close();

  std::string Metadata(const std::string& name) const;
  int MaxZoom() const;  // the metadata's maxzoom, else 22

 private:
  QString m_connection;
  std::map<std::string, std::string> m_metadata;
};

}  // namespace apdesk::map
