#include "console/MapWindow.h"

#include <QDir>
#include <cstdio>

#include "application/CConfigApp.h"
#include "map/CMapDlg.h"
#include "map/MapView.h"
#include "map/TileService.h"

namespace apdesk {

MapTool::MapTool(CConfigApp& app, const CLanguageManager& texts, QWidget* window, const QElapsedTimer& clock)
    : m_app(app), m_texts(texts), m_owner(window), m_clock(clock) {}

MapTool::~MapTool() = default;

map::TileService* MapTool::Tiles() {
  if (!m_service) {
    std::string error;
    // Without a store the map still shows what an MBTiles source holds.
    if (!m_store.Open(map::TileStore::DefaultFolder(), &error))
      std::fprintf(stderr, "apdesk: %s\n", error.c_str());
    m_service = std::make_unique<map::TileService>(&m_store);
    m_service->SetOnline(m_app.GetSettingInt("MAP", "ONLINE", 1) != 0);
    map::TileSource source;
    const std::string chosen = m_app.GetSettingString("MAP", "SOURCE", "");
    if (!map::ChooseTileSource(chosen, &source, &error) || !m_service->SetSource(source, &error))
      std::fprintf(stderr, "apdesk: [MAP] SOURCE: %s; the built-in map is shown\n", error.c_str());
  }
  return m_service.get();
}

bool MapTool::SetSource(const QString& text, QString* error) {
  map::TileService* service = Tiles();
  map::TileSource source;
  std::string why;
  if (!map::ChooseTileSource(text.toStdString(), &source, &why) || !service->SetSource(source, &why)) {
    *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

void MapTool::Show() {
  Tiles();
  if (!m_window) {
    m_window = std::make_unique<CMapDlg>(m_service.get(), m_texts, m_owner);
    m_window->Create();
    Listen();
  }
  m_window->show();
  m_window->raise();
}

void MapTool::Listen() {
  CMapDlg* map = m_window.get();
  connect(&m_app.Session(), &ControllerSession::StatusSentence, map,
          [this, map](const std::uint8_t* s) { map->AddStatusSentence(s, m_clock.elapsed()); });
  connect(&m_app.Session(), &ControllerSession::ParameterSentence, map,
          [map](const std::uint8_t* s) { map->AddParameterSentence(s); });
}

}  // namespace apdesk
