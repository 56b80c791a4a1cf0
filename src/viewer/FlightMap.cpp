// The flight-record viewer's track over the map, with the shared cursor.
#include <qcustomplot.h>
#include <QCheckBox>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <cmath>
#include <limits>

#include "map/MapView.h"
#include "viewer/CFlightRecordsDlg.h"

void CFlightRecordsDlg::SetMapTiles(apdesk::map::TileService* service) {
  if (m_map != nullptr || service == nullptr) return;
  m_mapSwitch = new QCheckBox(this);
  m_mapSwitch->setText(m_language.Text("LID_MAP_TRACK_SWITCH", "Map under the track"));
  m_mapSwitch->setChecked(true);
  m_map = new apdesk::map::MapView(service, this);
  m_map->setObjectName(QStringLiteral("flightTrackMap"));
  const QString offline = m_language.PublicTextForDisplay("LID_MAP_OFFLINE");
  if (!offline.isEmpty()) m_map->SetOfflineText(offline);
  // The grid and the map take the same place; the switch chooses.
  m_trackStack = new QStackedWidget(this);
  // The layout hands back the grid's old item: ours to delete.
  delete m_trackLayout->replaceWidget(m_track, m_trackStack);
  m_trackStack->addWidget(m_map);
  m_trackStack->addWidget(m_track);
  m_trackLayout->insertWidget(0, m_mapSwitch);
  connect(m_mapSwitch, &QCheckBox::toggled, this, [this](bool on) {
    m_trackStack->setCurrentIndex(on ? 0 : 1);
    if (on) UpdateMapTrack();
  });
  UpdateMapTrack();
}

void CFlightRecordsDlg::UpdateMapTrack() {
  if (m_map == nullptr) return;
  std::vector<apdesk::map::LatLon> track;
  track.reserve(m_flight.Size());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  apdesk::map::Box box{90, 180, -90, -180};
  for (std::size_t i = 0; i < m_flight.Size(); ++i) {
    double lat = nan, lon = nan;
    if (apdesk::PositionAt(m_flight, i, &lat, &lon)) {
      box.south = std::min(box.south, lat);
      box.north = std::max(box.north, lat);
      box.west = std::min(box.west, lon);
      box.east = std::max(box.east, lon);
    }
    track.push_back({lat, lon});
  }
  m_map->SetTrack(std::move(track));
  if (box.south <= box.north) {
    // A still aircraft's box is a point: some room around it.
    const double pad = 0.0005;
    m_map->FitBox({box.south - pad, box.west - pad, box.north + pad, box.east + pad});
  }
  UpdateMapCursor();
}

void CFlightRecordsDlg::UpdateMapCursor() {
  if (m_map == nullptr) return;
  double lat = 0, lon = 0;
  if (m_flight.Size() > 0 && apdesk::PositionAt(m_flight, m_cursor, &lat, &lon))
    m_map->SetCursor(apdesk::map::LatLon{lat, lon});
  else
    m_map->SetCursor(std::nullopt);
}
