#include "ui/Pictures.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QtMath>
#include <vector>

namespace apdesk {
namespace {

const QColor kBackground(255, 255, 255);
const QColor kArm(70, 74, 82);
const QColor kBody(40, 44, 52);
const QColor kProp(150, 190, 230);
const QColor kPropFront(240, 120, 90);
const QColor kArrow(30, 60, 140);
const QColor kNose(220, 30, 30);

// Angles in degrees, clockwise from forward (up).
QPointF Polar(QPointF c, double angle, double length) {
  const double a = qDegreesToRadians(angle);
  return {c.x() + std::sin(a) * length, c.y() - std::cos(a) * length};
}

// An arc around `c` with an arrowhead at its end; clockwise when cw.
void RotationArrow(QPainter& p, QPointF c, double radius, bool cw, const QColor& colour, double width) {
  // Qt's arcs run counter-clockwise from three o'clock; the arrow covers
  // about three quarters of a turn, starting at the top.
  const double start = 60.0, span = cw ? -250.0 : 250.0;
  QPainterPath arc;
  const QRectF box(c.x() - radius, c.y() - radius, 2 * radius, 2 * radius);
  arc.arcMoveTo(box, start);
  arc.arcTo(box, start, span);
  p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawPath(arc);

  const double end = qDegreesToRadians(start + span);
  const QPointF tip(c.x() + std::cos(end) * radius, c.y() - std::sin(end) * radius);
  // Tangent in the direction of travel (screen y grows downwards).
  const double sign = cw ? -1.0 : 1.0;
  const QPointF dir(-std::sin(end) * sign, -std::cos(end) * sign);
  const QPointF normal(-dir.y(), dir.x());
  const double head = width * 2.6;
  QPolygonF tri;
  tri << tip + dir * head << tip + normal * (head * 0.75) << tip - normal * (head * 0.75);
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPolygon(tri);
}

struct Rotor {
  double angle;  // arm direction
  bool cw;       // propeller turns clockwise seen from above
  bool coaxial;  // a second propeller below the first
};

void DrawMultirotor(QPainter& p, const std::vector<Rotor>& rotors, double arm, double prop,
                    double frontSpan) {
  const QPointF c(48, 50);
  p.setPen(QPen(kArm, 4.0, Qt::SolidLine, Qt::RoundCap));
  for (const Rotor& r : rotors) p.drawLine(c, Polar(c, r.angle, arm));

  for (const Rotor& r : rotors) {
    const QPointF m = Polar(c, r.angle, arm);
    // Forward rotors are coloured, so the nose reads even at a glance.
    const double off = std::fmod(std::fabs(r.angle) + 360.0, 360.0);
    const bool front = off <= frontSpan || off >= 360.0 - frontSpan;
    p.setPen(QPen(kArm, 1.0));
    p.setBrush(front ? kPropFront : kProp);
    if (r.coaxial) {
      p.drawEllipse(m + QPointF(2.5, 2.5), prop, prop);
    }
    p.drawEllipse(m, prop, prop);
    p.setBrush(kBody);
    p.drawEllipse(m, 2.0, 2.0);
    RotationArrow(p, m, prop * 0.62, r.cw, kArrow, prop > 8 ? 1.6 : 1.3);
  }

  // Body with a nose arrow pointing forward.
  p.setPen(Qt::NoPen);
  p.setBrush(kBody);
  p.drawRoundedRect(QRectF(c.x() - 8, c.y() - 8, 16, 16), 4, 4);
  QPolygonF nose;
  nose << QPointF(c.x(), c.y() - 6) << QPointF(c.x() + 4.5, c.y() + 3) << QPointF(c.x() - 4.5, c.y() + 3);
  p.setBrush(kNose);
  p.drawPolygon(nose);
  // A forward marker at the top edge as well.
  QPolygonF tip;
  tip << QPointF(48, 1) << QPointF(53, 7) << QPointF(43, 7);
  p.drawPolygon(tip);
}

std::vector<Rotor> Ring(int n, double first) {
  std::vector<Rotor> r;
  for (int i = 0; i < n; ++i) r.push_back({first + 360.0 * i / n, i % 2 == 0, false});
  return r;
}

void DrawGenericAircraft(QPainter& p) {
  // A plane seen from above, nose up.
  const QColor fill(120, 130, 145);
  p.setPen(QPen(kBody, 1.2));
  p.setBrush(fill);
  QPainterPath fuselage;
  fuselage.moveTo(48, 8);
  fuselage.cubicTo(53, 12, 53, 22, 53, 30);
  fuselage.lineTo(52, 76);
  fuselage.lineTo(48, 86);
  fuselage.lineTo(44, 76);
  fuselage.lineTo(43, 30);
  fuselage.cubicTo(43, 22, 43, 12, 48, 8);
  QPolygonF wing;
  wing << QPointF(44, 36) << QPointF(8, 54) << QPointF(8, 60) << QPointF(44, 50) << QPointF(52, 50)
       << QPointF(88, 60) << QPointF(88, 54) << QPointF(52, 36);
  QPolygonF tail;
  tail << QPointF(45, 72) << QPointF(30, 82) << QPointF(30, 86) << QPointF(46, 82) << QPointF(50, 82)
       << QPointF(66, 86) << QPointF(66, 82) << QPointF(51, 72);
  p.drawPolygon(wing);
  p.drawPolygon(tail);
  p.drawPath(fuselage);
  p.setPen(Qt::NoPen);
  p.setBrush(kNose);
  p.drawEllipse(QPointF(48, 15), 2.5, 2.5);
}

QImage Canvas(int w, int h) {
  QImage img(w, h, QImage::Format_RGB888);
  img.fill(kBackground);
  return img;
}

}  // namespace

QImage AircraftPicture(int bitmapId) {
  QImage img = Canvas(96, 96);
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  switch (bitmapId) {
    case 202:  // four arms, cross: one arm forward
      DrawMultirotor(p, Ring(4, 0), 31, 12, 1);
      break;
    case 203:  // four arms, X: forward between two arms
      DrawMultirotor(p, Ring(4, 45), 31, 12, 46);
      break;
    case 204:
      DrawMultirotor(p, Ring(6, 0), 34, 9.5, 1);
      break;
    case 205:
      DrawMultirotor(p, Ring(6, 30), 34, 9.5, 31);
      break;
    case 206:
      DrawMultirotor(p, Ring(8, 0), 36, 7.5, 1);
      break;
    case 207:
      DrawMultirotor(p, Ring(8, 22.5), 36, 7.5, 23);
      break;
    case 208: {  // Y6: three arms, each with a coaxial pair
      std::vector<Rotor> r{{-60, true, true}, {60, false, true}, {180, true, true}};
      DrawMultirotor(p, r, 32, 11, 61);
      break;
    }
    case 209: {  // tricopter: two arms forward, one tail arm
      std::vector<Rotor> r{{-60, true, false}, {60, false, false}, {180, true, false}};
      DrawMultirotor(p, r, 32, 12, 61);
      break;
    }
    case 210: {  // coaxial X8: an X quad with a pair on each arm
      std::vector<Rotor> r = Ring(4, 45);
      for (Rotor& x : r) x.coaxial = true;
      DrawMultirotor(p, r, 30, 11, 46);
      break;
    }
    default:
      DrawGenericAircraft(p);
      break;
  }
  return img;
}

QImage TransmitterPicture() {
  // It stands in the window without a frame, so it takes the window's colour.
  QImage img(218, 142, QImage::Format_RGB888);
  img.fill(QGuiApplication::palette().color(QPalette::Window));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);

  // Antenna, then the case over its foot.
  p.setPen(QPen(kArm, 5, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(190, 30), QPointF(204, 5));
  p.setPen(QPen(kBody, 1.5));
  p.setBrush(QColor(58, 62, 70));
  p.drawRoundedRect(QRectF(6, 22, 206, 114), 22, 22);
  // Shoulder switches.
  p.setBrush(QColor(180, 184, 190));
  p.drawRoundedRect(QRectF(24, 14, 8, 14), 2, 2);
  p.drawRoundedRect(QRectF(186 - 8, 14, 8, 14), 2, 2);
  // Screen between the sticks.
  p.setBrush(QColor(150, 190, 150));
  p.setPen(QPen(QColor(20, 24, 30), 1.5));
  p.drawRoundedRect(QRectF(89, 34, 40, 24), 3, 3);
  // Power switch and a few buttons.
  p.setBrush(QColor(200, 60, 50));
  p.drawEllipse(QPointF(109, 118), 4, 4);
  p.setBrush(QColor(180, 184, 190));
  for (int i = 0; i < 3; ++i) p.drawEllipse(QPointF(97 + 12 * i, 72), 2.5, 2.5);

  for (double x : {56.0, 162.0}) {
    const QPointF c(x, 86);
    // Gimbal well.
    p.setPen(QPen(QColor(20, 24, 30), 1.5));
    p.setBrush(QColor(34, 37, 44));
    p.drawEllipse(c, 27, 27);
    p.setPen(QPen(QColor(90, 96, 106), 1));
    p.drawLine(c - QPointF(20, 0), c + QPointF(20, 0));
    p.drawLine(c - QPointF(0, 20), c + QPointF(0, 20));
    // Stick and knob.
    p.setPen(QPen(QColor(200, 204, 210), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c, c + QPointF(0, -1));
    p.setPen(QPen(QColor(20, 24, 30), 1));
    p.setBrush(QColor(210, 214, 220));
    p.drawEllipse(c, 7, 7);
    // The sticks go round their full travel: a circular arrow around each.
    RotationArrow(p, c, 35, true, QColor(255, 200, 40), 3.0);
  }
  return img;
}

}  // namespace apdesk
