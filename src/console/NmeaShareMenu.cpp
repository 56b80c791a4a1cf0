// Tools > Share position (NMEA): the window, its address and switch kept in
// the settings file, the number of listening programs on the status line,
// and the one place where the receive path feeds the shared position.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "nmea/CNmeaShareDlg.h"
#include "nmea/NmeaSentences.h"

namespace {

constexpr const char* kNmeaSection = "NmeaShare";
constexpr const char* kNmeaAddressKey = "Address";
constexpr const char* kNmeaOnKey = "On";

}  // namespace

void CSetApDlg::AddNmeaShareMenu() {
  m_nmeaDlg = std::make_unique<apdesk::nmea::CNmeaShareDlg>(
      [this](const char* key) { return m_language.Text(key); }, this);
  apdesk::nmea::CNmeaShareDlg* share = m_nmeaDlg.get();
  m_nmeaStatus = new QLabel(this);
  m_nmeaStatus->setObjectName("nmeaStatusLine");
  m_chrome.statusLine->addPermanentWidget(m_nmeaStatus);
  m_nmeaStatus->hide();
  connect(share, &apdesk::nmea::CNmeaShareDlg::StatusChanged, this, [this](const QString& text) {
    m_nmeaStatus->setText(text);
    m_nmeaStatus->setVisible(!text.isEmpty());
  });
  connect(share, &apdesk::nmea::CNmeaShareDlg::SettingsChanged, this,
          [this](const QString& address, bool on) {
            m_app.WriteSettingString(kNmeaSection, kNmeaAddressKey, address.toStdString());
            m_app.WriteSettingInt(kNmeaSection, kNmeaOnKey, on ? 1 : 0);
          });
  share->Restore(QString::fromStdString(m_app.GetSettingString(kNmeaSection, kNmeaAddressKey, "")),
                 m_app.GetSettingInt(kNmeaSection, kNmeaOnKey, 0) != 0);
  ConnectNmeaShare();
  m_toolsMenu->addAction(m_language.Text("LID_MENU_NMEA_SHARE"), this, [share] {
    share->show();
    share->raise();
  });
}

// Every good "$STP" of the receive path, a replayed one too, goes out as
// GGA, RMC and VTG.
void CSetApDlg::ConnectNmeaShare() {
  apdesk::nmea::CNmeaShareDlg* share = m_nmeaDlg.get();
  connect(&m_app.Session(), &apdesk::ControllerSession::StatusSentence, share,
          [share](const std::uint8_t* s) {
            if (share->Sharing() && share->Programs() > 0) share->Send(apdesk::nmea::SentencesOf(s));
          });
}
