#pragma once
// A slippy map: tiles of a TileService drawn around a centre at a whole zoom,
// with what the windows put over it (a track, the shared cursor, the
// aircraft with its course, home, the trail, the distance-limit circle).
// Tiles arrive in the background; a missing one is drawn from the nearest
// lower zoom that is at hand, scaled up. Drag pans, the wheel and +/- zoom;
// the scale bar and the source's attribution are always shown.

#include <QCache>
#include <QImage>
#include <QWidget>
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "map/MapMath.h"

namespace apdesk::map {

class TileService;

class MapView : public QWidget {
  Q_OBJECT

 public:
  static constexpr qint64 kDecodedBytes = 64LL * 1024 * 1024;

  explicit MapView(TileService* service, QWidget* parent = nullptr);

  void SetCentre(LatLon centre);
  LatLon Centre() const;
  void SetZoom(int zoom);
  int Zoom() const { return m_zoom; }
  // Centres on the box at the highest zoom that shows it whole.
  void FitBox(const Box& box);

  // A flight's track; NaN latitudes are gaps.
  void SetTrack(std::vector<LatLon> track);
  void SetCursor(std::optional<LatLon> cursor);
  void SetAircraft(std::optional<LatLon> position, double courseDegrees);
  void SetHome(std::optional<LatLon> home);
  void SetTrail(const std::deque<LatLon>& trail);
  // The distance-limit circle around home; 0 draws none.
  void SetLimitRadius(double metres);
  // The one line shown while the network fails or the map is offline.
  void SetOfflineText(const QString& text) { m_offlineText = text; }

  // Where a point is drawn, in the widget's pixels.
  QPointF ScreenOf(LatLon p) const;
  // How many decoded tile bytes are held (bounded by kDecodedBytes).
  qint64 DecodedBytes() const { return m_decoded.totalCost(); }
  bool OfflineShown() const { return m_offlineShown; }

 Q_SIGNALS:
  // The operator moved the map (following the aircraft stops).
  void Panned();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ZoomAt(int zoom, QPointF anchor);
  const QImage* Decoded(TileId t, bool ask);
  void DrawTile(QPainter& p, TileId t, const QRectF& target);
  void DrawTrack(QPainter& p);
  void DrawOverlays(QPainter& p);
  void DrawScaleAndAttribution(QPainter& p);
  QPointF ScreenOfWorld0(double x0, double y0) const;

  TileService* m_service;
  int m_zoom = 3;
  WorldPoint m_centre{};  // world pixels at m_zoom
  QCache<quint64, QImage> m_decoded;
  std::vector<QPointF> m_track0;  // world pixels at zoom 0, NaN for gaps
  // The track in world pixels of a zoom, a point per pixel moved, cut at
  // the gaps: made once per zoom, so a frame only draws it.
  std::map<int, std::vector<QPolygonF>> m_trackRuns;  // by zoom, a few kept
  std::optional<LatLon> m_cursor, m_aircraft, m_home;
  double m_course = 0;
  std::vector<LatLon> m_trail;
  double m_limitMetres = 0;
  QString m_offlineText;
  bool m_offlineShown = false;
  std::optional<QPointF> m_dragFrom;
};

}  // namespace apdesk::map
