#pragma once
// The heading on a round dial: 0 degrees points up, 90 to the right.

#include <QImage>
#include <QWidget>

class CCompassDial : public QWidget {
  Q_OBJECT

 public:
  explicit CCompassDial(QWidget* parent = nullptr);

  float m_heading = 0.0f;  // degrees, clockwise from the top

  // Draws the dial for a client area of the given size, as a paint does.
  QImage Render(QSize client) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
};
