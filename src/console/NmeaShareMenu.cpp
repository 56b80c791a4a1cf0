#include "console/NmeaShareMenu.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QStatusBar>

#include "application/CConfigApp.h"
#include "nmea/NmeaSentences.h"

namespace apdesk {
namespace {

constexpr const char* kNmeaSection = "NmeaShare";
constexpr const char* kNmeaAddressKey = "Address";
constexpr const char* kNmeaOnKey = "On";

}  // namespace

NmeaShareMenu::NmeaShareMenu(CConfigApp& app, const CLanguageManager& texts, QWidget* window)
    : m_app(app), m_texts(texts), m_window(window) {}

NmeaShareMenu::~NmeaShareMenu() = default;

void NmeaShareMenu::Add(QMenu* tools, QStatusBar* line) {
  m_dialog =
      std::make_unique<nmea::CNmeaShareDlg>([this](const char* key) { return m_texts.Text(key); }, m_window);
  nmea::CNmeaShareDlg* share = m_dialog.get();
  m_status = new QLabel(m_window);
  m_status->setObjectName("nmeaStatusLine");
  line->addPermanentWidget(m_status);
  m_status->hide();
  connect(share, &nmea::CNmeaShareDlg::StatusChanged, this, [this](const QString& text) {
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
  });
  connect(share, &nmea::CNmeaShareDlg::SettingsChanged, this, [this](const QString& address, bool on) {
    m_app.WriteSettingString(kNmeaSection, kNmeaAddressKey, address.toStdString());
    m_app.WriteSettingInt(kNmeaSection, kNmeaOnKey, on ? 1 : 0);
  });
  share->Restore(QString::fromStdString(m_app.GetSettingString(kNmeaSection, kNmeaAddressKey, "")),
                 m_app.GetSettingInt(kNmeaSection, kNmeaOnKey, 0) != 0);
  Listen();
  tools->addAction(m_texts.Text("LID_MENU_NMEA_SHARE"), this, [share] {
    share->show();
    share->raise();
  });
}

void NmeaShareMenu::Listen() {
  nmea::CNmeaShareDlg* share = m_dialog.get();
  connect(&m_app.Session(), &ControllerSession::StatusSentence, share, [share](const std::uint8_t* s) {
    if (share->Sharing() && share->Programs() > 0) share->Send(nmea::SentencesOf(s));
  });
}

}  // namespace apdesk
