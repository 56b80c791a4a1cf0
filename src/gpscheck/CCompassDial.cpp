#include "gpscheck/CCompassDial.h"

#include <QPainter>

#include "gpscheck/CompassDialGeometry.h"

CCompassDial::CCompassDial(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage CCompassDial::Render(QSize client) const {
  QImage image(client.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(Qt::black);
  const apdesk::CompassDialLayout d = apdesk::LayoutCompassDial(client.width(), client.height(), m_heading);

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(81, 162, 215, 255));
  p.drawPie(QRectF(d.cx - d.r, d.cy - d.r, 2 * d.r, 2 * d.r), 0, 360 * 16);

  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(Qt::white, 1.5, Qt::SolidLine, Qt::FlatCap));
  p.drawLine(QLineF(d.cx, d.cy - d.r, d.cx, d.cy + d.r));
  p.drawLine(QLineF(d.cx - d.r, d.cy, d.cx + d.r, d.cy));

  if (d.hasNeedle) {
    p.setPen(QPen(QColor(255, 0, 0, 255), 3.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(d.cx, d.cy, d.needleX, d.needleY));
  }
  p.end();
  return image;
}

void CCompassDial::paintEvent(QPaintEvent*) {
  const QImage image = Render(size());
  QPainter p(this);
  p.drawImage(0, 0, image);  // one blit
}
