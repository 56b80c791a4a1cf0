#include "console/CSetApDlg.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "application/CConfigApp.h"
#include "core/AppFolder.h"
#include "localisation/LanguageFile.h"
#include "ui/MessageBoxes.h"

using apdesk::BoxIcon;
using apdesk::MessageBoxes;

namespace {

// The framework's prompt when a bound integer field holds something else.
const char* const kEnterIntegerText = "请键入一个整数。";
constexpr int kInstallErrorCommand = 254;

}  // namespace

CSetApDlg::CSetApDlg(CConfigApp& app, QWidget* parent)
    : QDialog(parent),
      m_app(app),
      m_upgradeDlg(app.Texts()),
      m_gpsCheckDlg(app.Texts()),
      m_recording(app.Texts(), this),
      m_recorder(m_recording.Recorder()),
      m_language(app.Texts()),
      m_adjustDlg(app.Texts()),
      m_menu(app, app.Texts()),
      m_files(app, m_controls, *this, app.Texts(), this),
      m_parameters(app, m_controls, *this, app.Texts(), this, m_chrome, m_files, m_aircraft),
      m_connect(app, m_controls, *this, app.Texts(), this, m_chrome),
      m_display(m_controls, m_stickPanel, app.Texts(), this),
      m_map(app, app.Texts(), this, m_toolClock),
      m_tools(app, app.Texts(), this, m_recorder, m_map, m_toolClock),
      m_alerts(app, app.Texts(), this),
      m_nmea(app, app.Texts(), this) {
  m_toolClock.start();
  OnInitDialog();
  m_display.Listen(m_app.Session());
  m_parameters.Listen(m_app.Session());
  m_alerts.Connect(*m_connection, StatusLine(), ToolsMenu(),
                   {[this] { return m_recording.Failing(); }, [this] { return m_tools.ClockSpeed(); }});
}

CSetApDlg::~CSetApDlg() {
  m_tools.EndReplay();
  m_recording.Finish();
}

void CSetApDlg::OnInitDialog() {
  if (!m_builder.Build(this, kTemplateId)) {
    // Only a broken build lacks its own template; say so instead of showing an empty window.
    MessageBoxes::Show(nullptr, QString::fromStdString(m_builder.Error()), BoxIcon::Error);
  }
  m_controls.SetEditText(1150, std::to_string(m_altitudeLimit));
  m_controls.SetEditText(1151, std::to_string(m_distanceLimit));

  m_builder.Adopt(1205, &m_stickPanel);

  // The recorder is the first reader of each sentence; the GPS check and the
  // upgrade window read theirs themselves.
  m_recording.Start(apdesk::ResolveRecordBase(m_app.AppFolder()));
  m_recording.Listen(m_app.Session());
  m_gpsCheckDlg.Listen(m_app.Session());

  if (!m_adjustDlg.Create(this)) {
    MessageBoxes::Show(this, QString::fromStdString(m_adjustDlg.Error()), BoxIcon::Error);
  }
  m_upgradeDlg.Listen(m_app.Session());
  if (!m_upgradeDlg.Create(this)) {
    MessageBoxes::Show(this, QString::fromStdString(m_upgradeDlg.Error()), BoxIcon::Error);
  }
  m_adjustDlg.SetCommandSender([this](std::uint8_t code) { m_app.Session().Commands().SendCommand(code); });
  m_gpsCheckDlg.SetFrameSender(
      [this](const apdesk::CommandFrame& frame) { m_app.Session().Commands().SendFrame(frame); });

  ApplyLanguage();
  for (int id : {1155, 1021, 1218, 1159, 1160, 1139, 1016, 1163}) {
    if (QComboBox* c = m_controls.Combo(id)) c->setCurrentIndex(c->count() > 0 ? 0 : -1);
  }

  const int mode = m_app.GetSettingInt("HANDMODE", "HandValue", 0);
  if (QComboBox* c = m_controls.Combo(1218)) c->setCurrentIndex(mode >= 0 && mode < c->count() ? mode : -1);
  m_stickPanel.m_stickMode = mode;

  BuildMenus();
  FillPortList();
  ConnectControls();
  m_aircraft.Update();
}

void CSetApDlg::ApplyLanguage() {
  if (!m_language.Loaded() || m_language.m_publicTexts.empty()) {
    // Every caption, list entry and message of the windows comes from this
    // file: without it (missing, empty, damaged) they would all be empty,
    // boxes included.
    const std::string file = m_language.LanguageFolder() + m_language.m_fileName;
    std::string why = apdesk::LanguageFileProblem(file);
    if (why.empty()) why = "it holds no texts";
    MessageBoxes::Show(
        nullptr,
        QStringLiteral("The language file %1 could not be used (%2), so the windows' texts and "
                       "messages are missing. Install apdesk again with its Language folder.")
            .arg(QString::fromStdString(file), QString::fromStdString(why)),
        BoxIcon::Warning);
  }
  m_language.ApplyToWindow(this, "parameter");
  if (m_language.m_fileChosen != 1) return;

  setWindowTitle(m_language.Text("LID_MAIN_CAPTION"));
  auto fill = [this](int id, const QStringList& items) {
    if (QComboBox* c = m_controls.Combo(id)) {
      c->clear();
      c->addItems(items);
    }
  };
  QStringList status;
  for (const char* key :
       {"LID_PUB_Manual", "LID_PUB_AutoHovering", "LID_PUB_AutoNavigation", "LID_PUB_Circleposition",
        "LID_PUB_Realtimewaypoint", "LID_PUB_Autowaypointcircling", "LID_PUB_Semautomatic",
        "LID_PUB_SettingsState", "LID_PUB_ZeroGyro", "LID_PUB_ALTError", "LID_PUB_AirspeedError",
        "LID_PUB_BackLanding", "LID_PUB_ManualSetAltitude"}) {
    status << m_language.Text(key);
  }
  status << QString();
  fill(1021, status);
  fill(1218, {m_language.Text("LID_PUB_JapanHand"), m_language.Text("LID_PUB_AmericanHand"),
              m_language.Text("LID_PUB_ChinaHand"), m_language.Text("LID_PUB_EuropeHand")});
  m_stickPanel.m_axisNames = {m_language.Text("LID_PUB_Rudder"), m_language.Text("LID_PUB_Elevator"),
                              m_language.Text("LID_PUB_Throttle"), m_language.Text("LID_PUB_Aileron")};
  m_parameters.FillLists();
}

void CSetApDlg::ConnectControls() {
  auto click = [this](int id, void (CSetApDlg::*handler)()) {
    if (auto* b = ControlAs<QPushButton>(id)) connect(b, &QPushButton::clicked, this, handler);
  };
  click(1003, &CSetApDlg::OnOpenCom);
  click(1019, &CSetApDlg::OnOpenUsb);
  click(1027, &CSetApDlg::OnGetParams);
  click(1028, &CSetApDlg::OnSendParams);
  click(1029, &CSetApDlg::OnDefaultParams);
  click(1000, &CSetApDlg::OnAdjustTransmitter);
  click(1049, &CSetApDlg::OnNextAircraft);
  click(1050, &CSetApDlg::OnPrevAircraft);
  click(1088, &CSetApDlg::OnGpsCheck);
  click(1002, &CSetApDlg::OnCaptureInstallError);
  // 2020 has no action.
  // "activated" is the operator's choice only: selections made by the program
  // raise no notification.
  auto chosen = [this](int id, void (CSetApDlg::*handler)()) {
    if (QComboBox* c = m_controls.Combo(id)) connect(c, &QComboBox::activated, this, handler);
  };
  chosen(1159, &CSetApDlg::UpdateAircraftPicture);
  chosen(1218, &CSetApDlg::OnHandModeChanged);
  chosen(1139, &CSetApDlg::OnMaxSpeedChanged);
}

void CSetApDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  m_aircraft.Update();
}

void CSetApDlg::OnMaxSpeedChanged() {
  const QComboBox* speed = m_controls.Combo(1139);
  if (QWidget* user = Control(1158)) {
    user->setVisible(speed && speed->currentIndex() == apdesk::kUserDefinedSpeedIndex);
  }
}

void CSetApDlg::OnHandModeChanged() {
  const QComboBox* modes = m_controls.Combo(1218);
  const int mode = modes ? modes->currentIndex() : 0;
  m_stickPanel.m_stickMode = mode;
  m_stickPanel.update();
  m_app.WriteSettingInt("HANDMODE", "HandValue", mode);
}

void CSetApDlg::OnAdjustTransmitter() {
  QString hint;
  if (m_language.m_fileChosen == 1) {
    hint = m_language.Text("LID_HINT_Transmitter1") + "\r\n\r\n" + m_language.Text("LID_HINT_Transmitter2") +
           "\r\n\r\n" + m_language.Text("LID_HINT_Transmitter3") + "\r\n";
  } else {
    hint = QStringLiteral("Adjust Transmitter?");
  }
  m_adjustDlg.ShowWithText(hint);
}

void CSetApDlg::OnGpsCheck() {
  // Telemetry reaches the window from the moment the flag is set; it clears
  // the flag itself when it closes.
  m_gpsCheckDlg.m_checkActive = 1;
  if (m_gpsCheckDlg.RunModal() < 0) {
    MessageBoxes::Show(this, QString::fromStdString(m_gpsCheckDlg.Error()), BoxIcon::Error);
  }
}

void CSetApDlg::OnCaptureInstallError() {
  m_app.Session().Commands().SendCommand(kInstallErrorCommand);
}

void CSetApDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    // Enter presses the focused button; elsewhere it checks and takes the limit fields.
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
    } else {
      OnOk();
    }
    event->accept();
    return;
  }
  // Escape must not end the window and drop unsent edits: only the close box
  // and Quit do.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CSetApDlg::OnOk() {
  // Bound fields are read in the order 1151, 1150; the first that holds no
  // integer keeps the window open.
  struct Bound {
    int id;
    int* member;
  } bound[] = {{1151, &m_distanceLimit}, {1150, &m_altitudeLimit}};
  for (const Bound& b : bound) {
    QLineEdit* edit = m_controls.Edit(b.id);
    if (!edit) continue;
    const std::optional<long long> value = apdesk::ParseInteger(edit->text().toStdString());
    if (!value || *value < INT32_MIN || *value > INT32_MAX) {
      MessageBoxes::Show(this, QString::fromUtf8(kEnterIntegerText), BoxIcon::Warning);
      edit->setFocus();
      edit->selectAll();
      return;
    }
    *b.member = int(*value);
  }
  // The values are taken; the window stays open (Enter in a field must not
  // end the program).
}

void CSetApDlg::BuildMenus() {
  m_chrome = m_menu.Build(this);
  m_menu.AddTool("LID_MENU_PLOTS", [this] { ShowTelemetryPlots(); });
  m_menu.AddTool("LID_MENU_INSPECTOR", [this] { ShowLinkInspector(); });
  m_menu.AddTool("LID_MENU_MAP", [this] { ShowMap(); });
  m_menu.AddTool("LID_MENU_UPGRADE", [this] { ShowUpgradeWindow(); });
  m_nmea.Add(ToolsMenu(), StatusLine());
  m_menu.AddAutoUsb([this]() -> apdesk::LinkFollower& { return m_connection->Follower(); });
  // A device that returns is asked for its parameters as after Open USB or
  // Open COM, without the box.
  m_connection = std::make_unique<apdesk::ConnectionStatus>(
      m_app, StatusLine(), [this](const char* key) { return m_language.Text(key); },
      [this] {
        m_paramsValid = false;
        m_app.Session().Commands().SendGetParameters();
      },
      this);
  m_files.AddMenu(FileMenu());
  m_menu.AddFileEnd([this] { ShowFlightRecords(); }, [this] { done(QDialog::Accepted); });
}

void CSetApDlg::done(int result) {
  // Nothing is said once the window is closing, not even what was queued.
  m_alerts.Shutdown();
  QDialog::done(result);
}

const apdesk::SentenceParser& CSetApDlg::Parser() const {
  return m_app.Session().Link().Parser();
}
