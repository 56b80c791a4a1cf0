#pragma once
// Two stick crosses showing the transmitter's four channels. The owner writes
// the public fields and calls update(); the gauge has no input of its own.

#include <QFrame>
#include <QImage>
#include <QString>
#include <array>
#include <cstdint>

#include "calibration/StickGaugeGeometry.h"

class CStickGauge : public QFrame {
  Q_OBJECT

 public:
  explicit CStickGauge(QWidget* parent = nullptr);

  // Channel order throughout: rudder, elevator, throttle, aileron
  // (apdesk::kRudder ... apdesk::kAileron).
  std::array<QString, 4> m_axisNames{"Rudder", "Elevator", "Throttle", "Aileron"};
  // Rudder, elevator, aileron -40..40 (0 centre); throttle 0..90 (0 bottom).
  // Painting clamps them and stores the clamped values back.
  std::array<std::int32_t, 4> m_values{30, 20, 50, 10};
  std::array<std::uint32_t, 4> m_colors{0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u, 0xFF00FF00u};  // ARGB
  std::int32_t m_stickMode = 0;

  // Draws the gauge for a client area of the given size, as a paint does
  // (clamping included).
  QImage Render(QSize client);

  // The family the labels are drawn in: "宋体", or an installed CJK family
  // when that one is missing.
  static QString LabelFamily();

 protected:
  void paintEvent(QPaintEvent* event) override;
};
