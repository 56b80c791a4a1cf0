#pragma once
// Tools > Share position (NMEA): the address to share on, on/off, and what
// is going on (where it listens, how many programs read it). The window owns
// the server; the main window hands it each record's sentences and keeps the
// address and the switch in its settings file.

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

#include "nmea/NmeaServer.h"

class QCheckBox;
class QLabel;
class QLineEdit;

namespace apdesk::nmea {

class CNmeaShareDlg : public QDialog {
  Q_OBJECT

 public:
  using TextFn = std::function<QString(const char* key)>;
  CNmeaShareDlg(TextFn text, QWidget* parent = nullptr);
  ~CNmeaShareDlg() override;

  // Sets the address and switch as kept, and starts sharing when on.
  void Restore(const QString& address, bool on);
  // One or more sentences for every connected program (nothing when off).
  void Send(const std::string& sentences) { m_server.Send(sentences); }

  bool Sharing() const { return m_server.Listening(); }
  int Programs() const { return m_server.Clients(); }
  // For the main window's status line: empty when not sharing.
  QString StatusLineText() const;
  QString StatusText() const;
  NmeaServer& Server() { return m_server; }

 Q_SIGNALS:
  // The operator changed the address or the switch (to be kept).
  void SettingsChanged(const QString& address, bool on);
  void StatusChanged(const QString& statusLineText);

 private:
  void Apply();
  void ShowStatus();

  TextFn m_text;
  NmeaServer m_server;
  QLineEdit* m_address = nullptr;
  QCheckBox* m_share = nullptr;
  QLabel* m_status = nullptr;
  QLabel* m_hint = nullptr;
  QString m_error;
};

}  // namespace apdesk::nmea
