#pragma once
// The "Map" window: the aircraft over the map with its course, home (the
// first good fix of the session or replay), the trail of the last minutes,
// the distance-limit circle around home and the altitude limit from the
// controller's parameters once read, distance and height above home, and
// follow-the-aircraft. Sentences come in from the receive path; the view
// is redrawn by a timer at a bounded rate, so 50 Hz telemetry costs little.

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <deque>
#include <optional>

#include "localisation/CLanguageManager.h"
#include "map/MapMath.h"

class QCheckBox;
class QLabel;

namespace apdesk::map {
class MapView;
class TileService;
}  // namespace apdesk::map

class CMapDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRedrawMs = 100;
  static constexpr qint64 kTrailMs = 5 * 60 * 1000;

  // `texts` (the application's) outlive the window.
  CMapDlg(apdesk::map::TileService* service, const CLanguageManager& texts, QWidget* parent = nullptr);
  void Create();

  // A new session or replay: home is taken again from the next good fix.
  void ResetHome();
  void SetFollow(bool follow);
  bool Follow() const;

  apdesk::map::MapView* View() const { return m_view; }
  std::optional<apdesk::map::LatLon> Home() const { return m_home; }
  std::optional<apdesk::map::LatLon> Aircraft() const { return m_aircraft; }
  std::size_t TrailPoints() const { return m_trail.size(); }
  QString DistanceText() const;
  QString HeightText() const;
  QString LimitsText() const;
  // Draws what arrived since the last redraw (the timer's work).
  void Refresh();
  std::uint64_t Redraws() const { return m_redraws; }

  const CLanguageManager& m_language;

 public Q_SLOTS:
  // One valid 99-byte "$STP"; nowMs from a steady clock.
  void AddStatusSentence(const std::uint8_t* s99, qint64 nowMs);
  // One 45-byte "$PAR" (its sum is checked here).
  void AddParameterSentence(const std::uint8_t* s45);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  apdesk::map::TileService* m_service;
  apdesk::map::MapView* m_view = nullptr;
  QCheckBox* m_follow = nullptr;
  QLabel* m_distance = nullptr;
  QLabel* m_height = nullptr;
  QLabel* m_limits = nullptr;
  bool m_built = false;
  bool m_dirty = false;
  bool m_centred = false;
  QTimer m_timer;
  std::uint64_t m_redraws = 0;

  std::optional<apdesk::map::LatLon> m_home, m_aircraft;
  double m_homeAltitude = 0, m_altitude = 0, m_course = 0;
  std::deque<std::pair<qint64, apdesk::map::LatLon>> m_trail;
  std::optional<int> m_distanceLimit, m_altitudeLimit;
};
