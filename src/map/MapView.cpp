#include "map/MapView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <cmath>
#include <limits>

#include "map/TileService.h"

namespace apdesk::map {

namespace {

quint64 KeyOf(TileId t) {
  return (quint64(t.z) << 56) | (quint64(t.x) << 28) | quint64(t.y);
}

// The number of metres on the scale bar: 1, 2 or 5 times a power of ten, at most `most`.
double RoundScale(double most) {
  const double p = std::pow(10.0, std::floor(std::log10(most)));
  for (double m : {5.0, 2.0, 1.0})
    if (m * p <= most) return m * p;
  return p;
}

}  // namespace

MapView::MapView(TileService* service, QWidget* parent) : QWidget(parent), m_service(service) {
  m_decoded.setMaxCost(kDecodedBytes);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumSize(200, 150);
  setAttribute(Qt::WA_OpaquePaintEvent);
  m_offlineText = QStringLiteral("offline: showing stored tiles");
  connect(service, &TileService::TileArrived, this, [this](TileId t, qint64) {
    if (t.z <= m_zoom) update();
  });
  connect(service, &TileService::NetworkDownChanged, this, [this](bool) { update(); });
  SetCentre({0, 0});
}

void MapView::SetCentre(LatLon centre) {
  m_centre = ToWorld(centre, m_zoom);
  update();
}

LatLon MapView::Centre() const {
  return FromWorld(m_centre, m_zoom);
}

void MapView::SetZoom(int zoom) {
  ZoomAt(zoom, QPointF(width() / 2.0, height() / 2.0));
}

void MapView::ZoomAt(int zoom, QPointF anchor) {
  zoom = std::clamp(zoom, 0, std::min(kMaxZoom, m_service->Source().maxZoom));
  if (zoom == m_zoom) return;
  // The point under the anchor stays where it is.
  const QPointF offset = anchor - QPointF(width() / 2.0, height() / 2.0);
  const double f = std::exp2(zoom - m_zoom);
  m_centre = {(m_centre.x + offset.x()) * f - offset.x(), (m_centre.y + offset.y()) * f - offset.y()};
  m_zoom = zoom;
  update();
}

void MapView::FitBox(const Box& box) {
  const double east = box.east < box.west ? box.east + 360 : box.east;
  int zoom = std::min(18, m_service->Source().maxZoom);
  for (; zoom > 0; --zoom) {
    const WorldPoint a = ToWorld({box.north, box.west}, zoom), b = ToWorld({box.south, east}, zoom);
    const double w = (east - box.west) / 360.0 * WorldSize(zoom);
    if (w <= width() * 0.9 && b.y - a.y <= height() * 0.9) break;
  }
  m_zoom = zoom;
  SetCentre({(box.north + box.south) / 2, (box.west + east) / 2});
}

void MapView::SetTrack(std::vector<LatLon> track) {
  m_track0.clear();
  m_track0.reserve(track.size());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const LatLon& p : track) {
    if (std::isnan(p.lat) || std::isnan(p.lon)) {
      m_track0.emplace_back(nan, nan);
    } else {
      const WorldPoint w = ToWorld(p, 0);
      m_track0.emplace_back(w.x, w.y);
    }
  }
  m_trackRuns.clear();
  update();
}

void MapView::SetCursor(std::optional<LatLon> cursor) {
  m_cursor = cursor;
  update();
}

void MapView::SetAircraft(std::optional<LatLon> position, double courseDegrees) {
  m_aircraft = position;
  m_course = courseDegrees;
  update();
}

void MapView::SetHome(std::optional<LatLon> home) {
  m_home = home;
  update();
}

void MapView::SetTrail(const std::deque<LatLon>& trail) {
  m_trail.assign(trail.begin(), trail.end());
  update();
}

void MapView::SetLimitRadius(double metres) {
  m_limitMetres = metres;
  update();
}

QPointF MapView::ScreenOf(LatLon p) const {
  const WorldPoint w = ToWorld(p, m_zoom);
  return {w.x - m_centre.x + width() / 2.0, w.y - m_centre.y + height() / 2.0};
}

QPointF MapView::ScreenOfWorld0(double x0, double y0) const {
  const double s = std::exp2(m_zoom);
  return {x0 * s - m_centre.x + width() / 2.0, y0 * s - m_centre.y + height() / 2.0};
}

const QImage* MapView::Decoded(TileId t, bool ask) {
  if (const QImage* image = m_decoded.object(KeyOf(t))) return image;
  const std::optional<QByteArray> bytes = ask ? m_service->Tile(t) : m_service->Stored(t);
  if (!bytes) return nullptr;
  auto* image = new QImage(QImage::fromData(*bytes));
  if (image->isNull()) {
    delete image;
    return nullptr;
  }
  // Drawn often, so kept in the screen's own format.
  *image = image->convertToFormat(QImage::Format_ARGB32_Premultiplied);
  const qint64 cost = image->sizeInBytes();
  return m_decoded.insert(KeyOf(t), image, cost) ? m_decoded.object(KeyOf(t)) : nullptr;
}

void MapView::DrawTile(QPainter& p, TileId t, const QRectF& target) {
  if (const QImage* image = Decoded(t, true)) {
    p.drawImage(target, *image);
    return;
  }
  // From the nearest lower zoom at hand, scaled up, while this one loads.
  for (int up = 1; up <= std::min(t.z, 8); ++up) {
    const TileId a{t.z - up, t.x >> up, t.y >> up};
    if (const QImage* image = Decoded(a, false)) {
      const double part = kTileSize / std::exp2(up);
      const QRectF source((t.x - (a.x << up)) * part, (t.y - (a.y << up)) * part, part, part);
      p.drawImage(target, *image, source);
      return;
    }
  }
}

void MapView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0xE8, 0xE6, 0xE1));
  const int n = 1 << m_zoom;
  const double left = m_centre.x - width() / 2.0, top = m_centre.y - height() / 2.0;
  const int tx0 = static_cast<int>(std::floor(left / kTileSize));
  const int tx1 = static_cast<int>(std::floor((left + width()) / kTileSize));
  const int ty0 = std::max(0, static_cast<int>(std::floor(top / kTileSize)));
  const int ty1 = std::min(n - 1, static_cast<int>(std::floor((top + height()) / kTileSize)));
  p.setRenderHint(QPainter::SmoothPixmapTransform, false);
  for (int ty = ty0; ty <= ty1; ++ty)
    for (int tx = tx0; tx <= tx1; ++tx) {
      const TileId t{m_zoom, ((tx % n) + n) % n, ty};
      DrawTile(p, t, QRectF(tx * kTileSize - left, ty * kTileSize - top, kTileSize, kTileSize));
    }
  p.setRenderHint(QPainter::Antialiasing, true);
  DrawTrack(p);
  DrawOverlays(p);
  DrawScaleAndAttribution(p);
}

void MapView::DrawTrack(QPainter& p) {
  if (m_track0.empty()) return;
  std::vector<QPolygonF>& runs = m_trackRuns[m_zoom];
  if (runs.empty()) {
    // Points closer than a pixel to the last one kept add nothing, so a long
    // flight becomes a few thousand segments at each zoom.
    if (m_trackRuns.size() > 4) {
      std::vector<QPolygonF> keep = std::move(runs);
      m_trackRuns.clear();
      m_trackRuns[m_zoom] = std::move(keep);
    }
    std::vector<QPolygonF>& fresh = m_trackRuns[m_zoom];
    const double s = std::exp2(m_zoom);
    QPointF last;
    fresh.emplace_back();
    for (const QPointF& w : m_track0) {
      if (std::isnan(w.x())) {
        if (!fresh.back().isEmpty()) fresh.emplace_back();
        continue;
      }
      const QPointF q(w.x() * s, w.y() * s);
      QPolygonF& run = fresh.back();
      if (run.isEmpty() || std::abs(q.x() - last.x()) + std::abs(q.y() - last.y()) >= 1.0) {
        run << q;
        last = q;
      }
    }
  }
  const std::vector<QPolygonF>& draw = m_trackRuns[m_zoom];
  std::size_t points = 0;
  for (const QPolygonF& run : draw) points += static_cast<std::size_t>(run.size());
  p.save();
  p.translate(-m_centre.x + width() / 2.0, -m_centre.y + height() / 2.0);
  // Smoothing tens of thousands of segments would cost the frame its time.
  p.setRenderHint(QPainter::Antialiasing, points < 4000);
  p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2.5));
  p.setBrush(Qt::NoBrush);
  for (const QPolygonF& run : draw)
    if (run.size() > 1) p.drawPolyline(run);
  p.restore();
  if (m_cursor) {
    const QPointF c = ScreenOf(*m_cursor);
    p.setPen(QPen(Qt::black, 2));
    p.setBrush(QColor(0xFF, 0xD0, 0x00));
    p.drawEllipse(c, 7, 7);
  }
}

void MapView::DrawOverlays(QPainter& p) {
  if (m_home && m_limitMetres > 0) {
    const double r = m_limitMetres / MetresPerPixel(m_home->lat, m_zoom);
    p.setPen(QPen(QColor(0xE0, 0x60, 0x00), 2, Qt::DashLine));
    p.setBrush(QColor(0xE0, 0x60, 0x00, 24));
    p.drawEllipse(ScreenOf(*m_home), r, r);
  }
  if (m_trail.size() > 1) {
    QPolygonF line;
    line.reserve(static_cast<int>(m_trail.size()));
    for (const LatLon& q : m_trail) line << ScreenOf(q);
    p.setPen(QPen(QColor(0x10, 0x60, 0xE0), 2.5));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(line);
  }
  if (m_home) {
    const QPointF h = ScreenOf(*m_home);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0x20, 0x90, 0x30));
    p.drawEllipse(h, 9, 9);
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(h.x() - 9, h.y() - 9, 18, 18), Qt::AlignCenter, "H");
  }
  if (m_aircraft) {
    const QPointF a = ScreenOf(*m_aircraft);
    p.save();
    p.translate(a);
    p.rotate(m_course);  // 0 = north, clockwise, as the screen's y points down
    QPolygonF arrow;
    arrow << QPointF(0, -14) << QPointF(9, 10) << QPointF(0, 5) << QPointF(-9, 10);
    p.setPen(QPen(Qt::white, 2));
    p.setBrush(QColor(0xC0, 0x10, 0xC0));
    p.drawPolygon(arrow);
    p.restore();
  }
}

void MapView::DrawScaleAndAttribution(QPainter& p) {
  const QFontMetrics fm(font());
  p.setFont(font());
  // Scale bar, bottom left, at the centre's latitude.
  const double mpp = MetresPerPixel(Centre().lat, m_zoom);
  const double metres = RoundScale(mpp * 120);
  const double px = metres / mpp;
  const QString label = metres >= 1000 ? QString("%1 km").arg(metres / 1000) : QString("%1 m").arg(metres);
  const QPointF origin(10, height() - 12);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(255, 255, 255, 190));
  p.drawRect(QRectF(origin.x() - 4, origin.y() - fm.height() - 8, px + 8, fm.height() + 14));
  p.setPen(QPen(Qt::black, 2));
  p.drawLine(origin, origin + QPointF(px, 0));
  p.drawLine(origin, origin + QPointF(0, -5));
  p.drawLine(origin + QPointF(px, 0), origin + QPointF(px, -5));
  p.drawText(QPointF(origin.x() + 2, origin.y() - 6), label);
  // Attribution, bottom right, always.
  const QString attribution = QString::fromStdString(m_service->Source().attribution);
  if (!attribution.isEmpty()) {
    const QRect r = fm.boundingRect(attribution).adjusted(-5, -2, 5, 2);
    const QRect box(width() - r.width() - 2, height() - r.height() - 2, r.width(), r.height());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 200));
    p.drawRect(box);
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, attribution);
  }
  // One line while the network fails: no boxes, no storm.
  m_offlineShown = !m_service->Online() || m_service->NetworkDown();
  if (m_offlineShown) {
    const QRect r = fm.boundingRect(m_offlineText).adjusted(-6, -3, 6, 3);
    const QRect box((width() - r.width()) / 2, 6, r.width(), r.height());
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 210, 230));
    p.drawRect(box);
    p.setPen(QColor(0x60, 0x40, 0x00));
    p.drawText(box, Qt::AlignCenter, m_offlineText);
  }
}

void MapView::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) m_dragFrom = e->position();
}

void MapView::mouseMoveEvent(QMouseEvent* e) {
  if (!m_dragFrom) return;
  const QPointF d = e->position() - *m_dragFrom;
  m_dragFrom = e->position();
  m_centre.x -= d.x();
  m_centre.y = std::clamp(m_centre.y - d.y(), 0.0, WorldSize(m_zoom));
  Q_EMIT Panned();
  update();
}

void MapView::mouseReleaseEvent(QMouseEvent*) {
  m_dragFrom.reset();
}

void MapView::wheelEvent(QWheelEvent* e) {
  const int steps = e->angleDelta().y() / 120;
  if (steps != 0) ZoomAt(m_zoom + steps, e->position());
}

void MapView::keyPressEvent(QKeyEvent* e) {
  if (e->key() == Qt::Key_Plus || e->key() == Qt::Key_Equal)
    SetZoom(m_zoom + 1);
  else if (e->key() == Qt::Key_Minus)
    SetZoom(m_zoom - 1);
  else
    QWidget::keyPressEvent(e);
}

}  // namespace apdesk::map
