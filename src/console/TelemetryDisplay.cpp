#include "console/TelemetryDisplay.h"

#include "link/ControllerSession.h"
#include "protocol/StatusSentence.h"
#include "ui/MessageBoxes.h"

namespace apdesk {

TelemetryDisplay::TelemetryDisplay(const WindowControls& controls, CStickGauge& stickPanel,
                                   const CLanguageManager& texts, QWidget* window)
    : m_controls(controls), m_stickPanel(stickPanel), m_texts(texts), m_window(window) {}

void TelemetryDisplay::Listen(ControllerSession& session) {
  connect(&session, &ControllerSession::StatusSentence, this,
          [this](const std::uint8_t* s) { ShowStatus(s); });
  connect(&session, &ControllerSession::InstallErrorSentence, this,
          [this](const std::uint8_t* s) { ShowInstallError(s); });
}

void TelemetryDisplay::ShowStatus(const std::uint8_t* s) {
  AttitudeLabels labels;
  if (m_texts.m_fileChosen == 1) {
    labels.left = m_texts.Text("LID_PUB_Left").toStdString();
    labels.right = m_texts.Text("LID_PUB_Right").toStdString();
    labels.up = m_texts.Text("LID_PUB_Up").toStdString();
    labels.down = m_texts.Text("LID_PUB_Down").toStdString();
  }
  const TelemetryView view = DecodeStatusSentence(s, labels, m_texts.m_isChinese != 0);
  m_controls.SetEditText(1146, view.latitudeText);
  m_controls.SetEditText(1145, view.longitudeText);
  m_controls.SetEditText(1147, view.altitudeText);
  m_controls.SetEditText(1148, view.courseText);
  m_controls.SetEditText(1152, view.voltageText);
  if (QComboBox* status = m_controls.Combo(1021)) {
    const int entry = view.flightStatusEntry;
    const int index = entry >= 0 && entry < status->count() ? entry : -1;
    if (status->currentIndex() != index) status->setCurrentIndex(index);
  }
  for (int channel = 0; channel < 4; ++channel) {
    m_stickPanel.m_values[channel] = view.sticks[channel].value;
    m_stickPanel.m_colors[channel] = view.sticks[channel].argb;
  }
  m_stickPanel.update();
  m_controls.SetEditText(1141, view.versionText);
  m_controls.SetEditText(1143, view.attitudeText);
  m_controls.SetEditText(1142, view.satellitesText);
}

void TelemetryDisplay::ShowInstallError(const std::uint8_t* s) {
  const std::string button = ControlText(m_controls.Control(1002)).toStdString();
  MessageBoxes::Show(m_window, QString::fromStdString(FormatInstallError(button, s)));
}

}  // namespace apdesk
