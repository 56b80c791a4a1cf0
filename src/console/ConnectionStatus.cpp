#include "console/ConnectionStatus.h"

#include <QLabel>
#include <QStatusBar>

#include <numeric>

#include "application/CConfigApp.h"

namespace apdesk {

ConnectionStatus::ConnectionStatus(CConfigApp& app, QStatusBar* line,
                                   std::function<QString(const char*)> text, std::function<void()> onReturned,
                                   QObject* parent)
    : QObject(parent), m_app(app), m_text(std::move(text)), m_follower(app.Session().Follow()) {
  if (line != nullptr) {
    m_label = new QLabel(line);
    line->addWidget(m_label, 1);
  }
  connect(&app.Session(), &ControllerSession::StatusSentence, this,
          [this](const std::uint8_t*) { OnRecord(); });
  connect(&m_follower, &LinkFollower::Lost, this, [this](bool, apdesk::TransportFailure) { Refresh(); });
  connect(&m_follower, &LinkFollower::Returned, this, [this, onReturned = std::move(onReturned)](bool) {
    if (onReturned) onReturned();
    Refresh();
  });
  m_tick.setInterval(kRefreshMs);
  connect(&m_tick, &QTimer::timeout, this, &ConnectionStatus::Refresh);
  m_tick.start();
  m_rateWindow.start();
  Refresh();
}

void ConnectionStatus::OnRecord() {
  ++m_recordsInWindow;
  m_sinceRecord.start();
}

ConnectionState ConnectionStatus::State() const {
  ConnectionState s;
  const auto usbName = [](const HidDeviceInfo& d) { return d.product.empty() ? d.path : d.product; };
  if (m_app.Session().Usb().IsOpen()) {
    s.kind = ConnectionState::Kind::Usb;
    s.device = usbName(m_app.Session().Usb().LastOpened());
  } else if (m_app.Session().Serial().IsOpen()) {
    s.kind = ConnectionState::Kind::Serial;
    s.device = m_app.Session().Serial().LastPortName();
    s.baud = m_app.Session().Serial().LastLine().baudRate;
  } else if (m_follower.IsLost()) {
    s.kind = ConnectionState::Kind::Lost;
    s.device = m_follower.LostSerial() ? m_follower.LookingFor().toStdString()
                                       : usbName(m_app.Session().Usb().LastOpened());
    s.lostSince = m_follower.LostAt().toString("HH:mm:ss").toStdString();
  } else if (m_follower.Looking()) {
    s.kind = ConnectionState::Kind::Waiting;
  } else if (m_replayFill) {
    s.kind = ConnectionState::Kind::Replaying;
    m_replayFill(&s.replay);
  }
  s.recordsPerSecond = m_rate;
  s.lastRecordAgeMs = m_sinceRecord.isValid() ? m_sinceRecord.elapsed() : -1;
  s.connectedMs = m_sinceConnect.isValid() ? m_sinceConnect.elapsed() : -1;
  const auto& bad = m_app.Session().Link().Counters().badSums;
  s.badSums = std::accumulate(bad.begin(), bad.end(), std::uint64_t{0});
  return s;
}

void ConnectionStatus::Refresh() {
  const qint64 window = m_rateWindow.elapsed();
  if (window >= kRefreshMs / 2) {
    m_rate = m_recordsInWindow * 1000.0 / double(window);
    m_recordsInWindow = 0;
    m_rateWindow.start();
  }
  // Without a connection there is no last record: the next one counts anew.
  if (!m_app.Session().Usb().IsOpen() && !m_app.Session().Serial().IsOpen()) {
    m_sinceRecord.invalidate();
    m_sinceConnect.invalidate();
  } else if (!m_sinceConnect.isValid()) {
    m_sinceConnect.start();
  }
  if (m_label != nullptr) m_label->setText(Text());
}

QString ConnectionStatus::Text() const {
  const TextLookup lookup = [this](const char* key) { return m_text(key).toStdString(); };
  return QString::fromStdString(FormatConnectionStatus(State(), lookup));
}

}  // namespace apdesk
