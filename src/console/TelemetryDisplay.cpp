// What each sentence from the receive path does to the window: "$STP" is
// shown, "$PAR" fills the parameter fields, "$TBS" is shown in a box. The
// recorder, the GPS check and the upgrade window read the session themselves.
#include <QComboBox>
#include <QLineEdit>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "protocol/StatusSentence.h"
#include "ui/MessageBoxes.h"

using apdesk::MessageBoxes;

void CSetApDlg::ConnectLink() {
  apdesk::ControllerSession& session = m_app.Session();
  connect(&session, &apdesk::ControllerSession::StatusSentence, this,
          [this](const std::uint8_t* s) { ShowStatus(s); });
  connect(&session, &apdesk::ControllerSession::ParameterSentence, this,
          [this](const std::uint8_t* s) { DecodeParameterSentence(s); });
  connect(&session, &apdesk::ControllerSession::InstallErrorSentence, this,
          [this](const std::uint8_t* s) { ShowInstallError(s); });
}

const apdesk::SentenceParser& CSetApDlg::Parser() const {
  return m_app.Session().Link().Parser();
}

void CSetApDlg::ShowStatus(const std::uint8_t* s) {
  apdesk::AttitudeLabels labels;
  if (m_language.m_fileChosen == 1) {
    labels.left = m_language.Text("LID_PUB_Left").toStdString();
    labels.right = m_language.Text("LID_PUB_Right").toStdString();
    labels.up = m_language.Text("LID_PUB_Up").toStdString();
    labels.down = m_language.Text("LID_PUB_Down").toStdString();
  }
  const apdesk::TelemetryView view = apdesk::DecodeStatusSentence(s, labels, m_language.m_isChinese != 0);
  SetEditText(1146, view.latitudeText);
  SetEditText(1145, view.longitudeText);
  SetEditText(1147, view.altitudeText);
  SetEditText(1148, view.courseText);
  SetEditText(1152, view.voltageText);
  if (QComboBox* status = Combo(1021)) {
    const int entry = view.flightStatusEntry;
    const int index = entry >= 0 && entry < status->count() ? entry : -1;
    if (status->currentIndex() != index) status->setCurrentIndex(index);
  }
  for (int channel = 0; channel < 4; ++channel) {
    m_stickPanel.m_values[channel] = view.sticks[channel].value;
    m_stickPanel.m_colors[channel] = view.sticks[channel].argb;
  }
  m_stickPanel.update();
  SetEditText(1141, view.versionText);
  SetEditText(1143, view.attitudeText);
  SetEditText(1142, view.satellitesText);
}

void CSetApDlg::ShowInstallError(const std::uint8_t* s) {
  const std::string button = apdesk::ControlText(Control(1002)).toStdString();
  MessageBoxes::Show(this, QString::fromStdString(apdesk::FormatInstallError(button, s)));
}
