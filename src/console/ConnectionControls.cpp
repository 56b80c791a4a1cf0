// The main window's means of reaching the controller: the serial port list
// with Open COM, and Open USB. Opening one transport closes the other; a
// successful open asks for the parameters at once.
#include <QComboBox>
#include <QSerialPortInfo>
#include <QStatusBar>

#include "application/CConfigApp.h"
#include "console/CSetApDlg.h"
#include "core/CommConfig.h"
#include "link/PortProblem.h"
#include "ui/MessageBoxes.h"
#include "ui/PortList.h"

using apdesk::MessageBoxes;

void CSetApDlg::FillPortList() {
  std::vector<std::string> enumerated;
  for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
    enumerated.push_back(port.portName().toStdString());
  }
  const apdesk::PortList ports =
      apdesk::OrderPortList(enumerated, m_app.GetSettingString("Settings1", "COMPORT"));
  QComboBox* list = Combo(1001);
  for (const std::string& name : ports.names) {
    m_portNames << QString::fromStdString(name);
    if (list) list->addItem(QString::fromStdString(name));
  }
  if (list) list->setCurrentIndex(ports.selected);
}

void CSetApDlg::TellConnection(const char* key, bool inBox) {
  if (inBox) {
    MessageBoxes::Show(this, m_language.Text(key));
    return;
  }
  // Connected at start, not by a press: the status line says it, and the
  // window does not wait for an OK.
  if (QStatusBar* line = StatusLine()) line->showMessage(m_language.Text(key), kConnectionNoteMs);
}

void CSetApDlg::OpenComPort(const QString& port) {
  QComboBox* list = Combo(1001);
  int index = int(m_portNames.indexOf(port));
  if (index < 0) {
    m_portNames.insert(0, port);
    if (list) list->insertItem(0, port);
    index = 0;
  }
  if (list) list->setCurrentIndex(index);
  OpenCom(false);
}

void CSetApDlg::OpenCom(bool pressed) {
  m_app.Session().Usb().Close();
  ForgetParameters();
  const QComboBox* list = Combo(1001);
  if (!list || list->count() == 0) return;
  const int index = list->currentIndex();
  if (index < 0 || index >= m_portNames.size()) return;

  // The choice is remembered, but the port opened is the one chosen, whatever
  // the settings file can hold.
  const std::string port = m_portNames[index].toStdString();
  m_app.WriteSettingString("Settings1", "COMPORT", port);
  const auto config = apdesk::DefaultCommConfig();
  m_app.WriteSettingBinary("Settings1", "COMCONF", config.data(), config.size());
  const apdesk::LineSettings line =
      apdesk::LineSettingsFromStored(m_app.GetSettingBinary("Settings1", "COMCONF"));

  if (m_app.Session().OpenSerial(port, line)) {
    TellConnection("LID_COM_HINT1", pressed);
    m_app.Session().Commands().SendGetParameters();
  } else {
    // The reason the system shows (no such port, not a serial port, no
    // permission, another program has it), after the general hint.
    const std::string why = apdesk::cli::SerialPortProblem(port);
    if (why.empty()) {
      TellConnection("LID_COM_HINT2", pressed);
    } else {
      const QString text =
          m_language.Text("LID_COM_HINT2") + "\n\n" + QString::fromStdString(port + ": " + why);
      if (pressed) {
        MessageBoxes::Show(this, text);
      } else if (QStatusBar* line = StatusLine()) {
        line->showMessage(text.simplified(), kConnectionNoteMs);
      }
    }
  }
}

void CSetApDlg::OpenUsb(bool pressed) {
  // Until the open has succeeded, inbound reports are not offered to the
  // upgrade window.
  m_usbOpening = 1;
  ForgetParameters();
  if (m_app.Session().OpenUsb(kVendorId, kProductId)) {
    m_app.Session().Commands().SendGetParameters();
    TellConnection("LID_USB_HINT1", pressed);
    m_app.Session().Commands().SendGetParameters();
    m_usbOpening = 0;
    m_app.Session().EndUsbOpening();
  } else {
    TellConnection("LID_USB_HINT2", pressed);
  }
}
