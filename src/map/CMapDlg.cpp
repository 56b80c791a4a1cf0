#include "map/CMapDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "map/MapView.h"
#include "map/TileService.h"
#include "protocol/ParameterCodec.h"
#include "protocol/StatusSentence.h"
#include "recorder/RecordFile.h"

using apdesk::map::LatLon;

CMapDlg::CMapDlg(apdesk::map::TileService* service, const CLanguageManager& texts, QWidget* parent)
    : QDialog(parent), m_language(texts), m_service(service) {
  m_timer.setInterval(kRedrawMs);
  connect(&m_timer, &QTimer::timeout, this, &CMapDlg::Refresh);
}

void CMapDlg::Create() {
  if (m_built) return;
  m_built = true;
  setWindowTitle(m_language.Text("LID_MAP_CAPTION", "Map"));
  auto* layout = new QVBoxLayout(this);
  auto* bar = new QHBoxLayout;
  m_follow = new QCheckBox(m_language.Text("LID_MAP_FOLLOW", "Follow the aircraft"), this);
  m_follow->setChecked(true);
  m_distance = new QLabel(this);
  m_height = new QLabel(this);
  m_limits = new QLabel(this);
  bar->addWidget(m_follow);
  bar->addSpacing(12);
  bar->addWidget(m_distance);
  bar->addSpacing(12);
  bar->addWidget(m_height);
  bar->addStretch(1);
  layout->addLayout(bar);
  layout->addWidget(m_limits);  // a line of its own: the longest text, in either language
  m_view = new apdesk::map::MapView(m_service, this);
  m_view->SetOfflineText(m_language.Text("LID_MAP_OFFLINE", "offline: showing stored tiles"));
  m_view->SetZoom(16);
  layout->addWidget(m_view, 1);
  connect(m_view, &apdesk::map::MapView::Panned, this, [this] { m_follow->setChecked(false); });
  connect(m_follow, &QCheckBox::toggled, this, [this](bool on) {
    if (on && m_aircraft) m_view->SetCentre(*m_aircraft);
  });
  resize(720, 560);
  m_dirty = true;
  Refresh();
  m_timer.start();
}

void CMapDlg::showEvent(QShowEvent* event) {
  Create();
  QDialog::showEvent(event);
}

void CMapDlg::ResetHome() {
  m_home.reset();
  m_trail.clear();
  m_dirty = true;
}

void CMapDlg::SetFollow(bool follow) {
  Create();
  m_follow->setChecked(follow);
}

bool CMapDlg::Follow() const {
  return m_follow && m_follow->isChecked();
}

void CMapDlg::AddStatusSentence(const std::uint8_t* s99, qint64 nowMs) {
  const apdesk::StatusFields f = apdesk::ReadStatusFields(s99);
  if (!apdesk::HasGpsFix(f)) return;
  const LatLon here{f.latitude, f.longitude};
  m_aircraft = here;
  m_course = f.CourseDegrees();
  m_altitude = f.AltitudeShown();
  if (!m_home) {
    m_home = here;
    m_homeAltitude = m_altitude;
  }
  // The trail keeps a point per few metres, not every record.
  if (m_trail.empty() || apdesk::map::DistanceMetres(m_trail.back().second, here) >= 1.0)
    m_trail.emplace_back(nowMs, here);
  while (!m_trail.empty() && m_trail.front().first < nowMs - kTrailMs) m_trail.pop_front();
  m_dirty = true;
}

void CMapDlg::AddParameterSentence(const std::uint8_t* s45) {
  const std::optional<apdesk::ParameterView> v = apdesk::DecodeParameterSentence(s45);
  if (!v) return;
  m_distanceLimit = v->distanceLimit;
  m_altitudeLimit = v->altitudeLimit;
  m_dirty = true;
}

QString CMapDlg::DistanceText() const {
  const QString format = m_language.Text("LID_MAP_DISTANCE", "From home: %1 m");
  if (!m_home || !m_aircraft) return format.arg("-");
  return format.arg(apdesk::map::DistanceMetres(*m_home, *m_aircraft), 0, 'f', 0);
}

QString CMapDlg::HeightText() const {
  const QString format = m_language.Text("LID_MAP_HEIGHT", "Above home: %1 m");
  if (!m_home) return format.arg("-");
  return format.arg(m_altitude - m_homeAltitude, 0, 'f', 1);
}

QString CMapDlg::LimitsText() const {
  if (!m_distanceLimit || !m_altitudeLimit)
    return m_language.Text("LID_MAP_NOLIMITS", "Limits: not read yet");
  return m_language.Text("LID_MAP_LIMITS", "Limits: %1 m from home, %2 m high")
      .arg(*m_distanceLimit)
      .arg(*m_altitudeLimit);
}

void CMapDlg::Refresh() {
  if (!m_built || !m_dirty) return;
  m_dirty = false;
  ++m_redraws;
  std::deque<LatLon> trail;
  for (const auto& [t, p] : m_trail) trail.push_back(p);
  m_view->SetTrail(trail);
  m_view->SetHome(m_home);
  m_view->SetAircraft(m_aircraft, m_course);
  m_view->SetLimitRadius(m_distanceLimit.value_or(0));
  if (m_aircraft && (Follow() || !m_centred)) {
    m_view->SetCentre(*m_aircraft);
    m_centred = true;
  }
  m_distance->setText(DistanceText());
  const bool tooHigh =
      m_home && m_altitudeLimit && *m_altitudeLimit > 0 && m_altitude - m_homeAltitude > *m_altitudeLimit;
  m_height->setText(HeightText());
  m_height->setStyleSheet(tooHigh ? "color: #c00000; font-weight: bold" : "");
  m_limits->setText(LimitsText());
}
