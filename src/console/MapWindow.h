#pragma once
// Tools > Map and the one tile store of the main window and the flight
// records: the store, the service that fills it, and the window.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <memory>

#include "localisation/CLanguageManager.h"
#include "map/TileStore.h"

class CConfigApp;
class CMapDlg;

namespace apdesk {

namespace map {
class TileService;
}

class MapTool : public QObject {
 public:
  // The window belongs to `window`; `clock` is the time base of the track.
  // All of these outlive this.
  MapTool(CConfigApp& app, const CLanguageManager& texts, QWidget* window, const QElapsedTimer& clock);
  ~MapTool() override;

  // The service over the one store, made on first use. Its source is [MAP]
  // SOURCE of the settings, or what SetSource chose for this run.
  map::TileService* Tiles();
  // False with the reason when `source` cannot be used.
  bool SetSource(const QString& source, QString* error);
  // Made once, then shown again.
  void Show();
  // Null until first shown.
  CMapDlg* Window() const { return m_window.get(); }

 private:
  // The map's one connection to the session.
  void Listen();

  CConfigApp& m_app;
  const CLanguageManager& m_texts;
  QWidget* m_owner;
  const QElapsedTimer& m_clock;
  map::TileStore m_store;
  std::unique_ptr<map::TileService> m_service;
  std::unique_ptr<CMapDlg> m_window;
};

}  // namespace apdesk
