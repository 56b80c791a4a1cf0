#include "calibration/CStickGauge.h"

#include <QFontDatabase>
#include <QPainter>

CStickGauge::CStickGauge(QWidget* parent) : QFrame(parent) {
  // The whole client area is drawn each time: nothing to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QString CStickGauge::LabelFamily() {
  static const QString family = [] {
    const QString wanted = QString::fromUtf8("宋体");
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(wanted)) return wanted;
    for (const char* other :
         {"SimSun", "NSimSun", "WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Serif CJK SC"})
      if (installed.contains(QString::fromLatin1(other))) return QString::fromLatin1(other);
    return wanted;
  }();
  return family;
}

QImage CStickGauge::Render(QSize client) {
  // A fresh image starts black, and nothing else fills the background.
  QImage image(client.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
  image.fill(Qt::black);
  const apdesk::StickGaugeLayout g =
      apdesk::LayoutStickGauge(client.width(), client.height(), m_stickMode, m_values);

  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);

  p.setPen(QPen(QColor::fromRgba(0xFFFFFFFFu), 1.5, Qt::SolidLine, Qt::FlatCap));
  for (const apdesk::GaugeLine& l : g.axes) p.drawLine(QLineF(l.x1, l.y1, l.x2, l.y2));

  QFont font(LabelFamily());
  font.setPixelSize(12);
  font.setWeight(QFont::Normal);
  p.setFont(font);
  p.setPen(Qt::white);
  for (const apdesk::GaugeLabel& label : g.labels) {
    // Top-left corner at the point, no layout box: the rectangle only anchors it.
    p.drawText(QRectF(label.x, label.y, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
               m_axisNames[label.channel]);
  }

  // Flat caps: a mark is exactly as long as its line.
  for (const apdesk::GaugeMark& m : g.marks) {
    p.setPen(QPen(QColor::fromRgba(m_colors[m.channel]), 5.0, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QLineF(m.line.x1, m.line.y1, m.line.x2, m.line.y2));
  }
  p.end();
  return image;
}

void CStickGauge::paintEvent(QPaintEvent*) {
  const QRect client = contentsRect();
  const QImage image = Render(client.size());
  QPainter p(this);
  p.drawImage(client.topLeft(), image);  // one blit
  drawFrame(&p);
}
