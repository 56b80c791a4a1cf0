#include "console/ConnectionControls.h"

#include <QComboBox>
#include <QSerialPortInfo>
#include <QStatusBar>

#include "application/CConfigApp.h"
#include "core/CommConfig.h"
#include "core/HidBackend.h"
#include "link/PortProblem.h"
#include "ui/MessageBoxes.h"
#include "ui/PortList.h"

namespace apdesk {

ConnectionControls::ConnectionControls(CConfigApp& app, const WindowControls& controls,
                                       MainWindowState& state, const CLanguageManager& texts, QWidget* window,
                                       const WindowChrome& chrome)
    : m_app(app), m_controls(controls), m_state(state), m_texts(texts), m_window(window), m_chrome(chrome) {}

void ConnectionControls::FillPortList() {
  std::vector<std::string> enumerated;
  for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
    enumerated.push_back(port.portName().toStdString());
  }
  const PortList ports = OrderPortList(enumerated, m_app.GetSettingString("Settings1", "COMPORT"));
  QComboBox* list = m_controls.Combo(1001);
  for (const std::string& name : ports.names) {
    m_state.m_portNames << QString::fromStdString(name);
    if (list) list->addItem(QString::fromStdString(name));
  }
  if (list) list->setCurrentIndex(ports.selected);
}

void ConnectionControls::Tell(const char* key, bool inBox) {
  if (inBox) {
    MessageBoxes::Show(m_window, m_texts.Text(key));
    return;
  }
  // Connected at start, not by a press: the status line says it, and the
  // window does not wait for an OK.
  if (QStatusBar* line = m_chrome.statusLine) line->showMessage(m_texts.Text(key), kStatusNoteMs);
}

void ConnectionControls::OpenComPort(const QString& port) {
  QComboBox* list = m_controls.Combo(1001);
  int index = int(m_state.m_portNames.indexOf(port));
  if (index < 0) {
    m_state.m_portNames.insert(0, port);
    if (list) list->insertItem(0, port);
    index = 0;
  }
  if (list) list->setCurrentIndex(index);
  OpenCom(false);
}

void ConnectionControls::OpenCom(bool pressed) {
  m_app.Session().Usb().Close();
  ForgetParameters();
  const QComboBox* list = m_controls.Combo(1001);
  if (!list || list->count() == 0) return;
  const int index = list->currentIndex();
  if (index < 0 || index >= m_state.m_portNames.size()) return;

  // The choice is remembered, but the port opened is the one chosen, whatever
  // the settings file can hold.
  const std::string port = m_state.m_portNames[index].toStdString();
  m_app.WriteSettingString("Settings1", "COMPORT", port);
  const auto config = DefaultCommConfig();
  m_app.WriteSettingBinary("Settings1", "COMCONF", config.data(), config.size());
  const LineSettings line = LineSettingsFromStored(m_app.GetSettingBinary("Settings1", "COMCONF"));

  if (m_app.Session().OpenSerial(port, line)) {
    Tell("LID_COM_HINT1", pressed);
    m_app.Session().Commands().SendGetParameters();
  } else {
    // The reason the system shows (no such port, not a serial port, no
    // permission, another program has it), after the general hint.
    const std::string why = cli::SerialPortProblem(port);
    if (why.empty()) {
      Tell("LID_COM_HINT2", pressed);
    } else {
      const QString text = m_texts.Text("LID_COM_HINT2") + "\n\n" + QString::fromStdString(port + ": " + why);
      if (pressed) {
        MessageBoxes::Show(m_window, text);
      } else if (QStatusBar* line = m_chrome.statusLine) {
        line->showMessage(text.simplified(), kStatusNoteMs);
      }
    }
  }
}

void ConnectionControls::OpenUsb(bool pressed) {
  // Until the open has succeeded, inbound reports are not offered to the
  // upgrade window.
  m_state.m_usbOpening = 1;
  ForgetParameters();
  if (m_app.Session().OpenUsb(kControllerVendorId, kControllerProductId)) {
    m_app.Session().Commands().SendGetParameters();
    Tell("LID_USB_HINT1", pressed);
    m_app.Session().Commands().SendGetParameters();
    m_state.m_usbOpening = 0;
    m_app.Session().EndUsbOpening();
  } else {
    Tell("LID_USB_HINT2", pressed);
  }
}

}  // namespace apdesk
