// Tools > Map and the one tile store of this window and the flight records.
#include <QDir>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "console/MapParts.h"
#include "map/CMapDlg.h"
#include "map/MapView.h"
#include "map/TileService.h"
#include "map/TileStore.h"

apdesk::map::TileService* CSetApDlg::MapTiles() {
  if (!m_map) {
    m_map = std::make_unique<MapParts>();
    std::string error;
    // Without a store the map still shows what an MBTiles source holds.
    if (!m_map->store.Open(apdesk::map::TileStore::DefaultFolder(), &error))
      std::fprintf(stderr, "apdesk: %s\n", error.c_str());
    m_map->service = std::make_unique<apdesk::map::TileService>(&m_map->store);
    m_map->service->SetOnline(m_app.GetSettingInt("MAP", "ONLINE", 1) != 0);
    apdesk::map::TileSource source;
    const std::string chosen = m_app.GetSettingString("MAP", "SOURCE", "");
    if (!apdesk::map::ChooseTileSource(chosen, &source, &error) || !m_map->service->SetSource(source, &error))
      std::fprintf(stderr, "apdesk: [MAP] SOURCE: %s; the built-in map is shown\n", error.c_str());
  }
  return m_map->service.get();
}

bool CSetApDlg::SetMapSource(const QString& text, QString* error) {
  apdesk::map::TileService* service = MapTiles();
  apdesk::map::TileSource source;
  std::string why;
  if (!apdesk::map::ChooseTileSource(text.toStdString(), &source, &why) ||
      !service->SetSource(source, &why)) {
    *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

CMapDlg* CSetApDlg::MapWindow() const {
  return m_map ? m_map->window.get() : nullptr;
}

void CSetApDlg::ShowMap() {
  MapTiles();
  if (!m_map->window) {
    m_map->window = std::make_unique<CMapDlg>(m_map->service.get(), m_language, this);
    m_map->window->Create();
    ConnectMapWindow();
  }
  m_map->window->show();
  m_map->window->raise();
}

// The map's one connection to the receive path.
void CSetApDlg::ConnectMapWindow() {
  CMapDlg* map = m_map->window.get();
  connect(&m_app.Session(), &apdesk::ControllerSession::StatusSentence, map,
          [this, map](const std::uint8_t* s) { map->AddStatusSentence(s, m_toolClock.elapsed()); });
  connect(&m_app.Session(), &apdesk::ControllerSession::ParameterSentence, map,
          [map](const std::uint8_t* s) { map->AddParameterSentence(s); });
}
