#pragma once
// The GPS and compass check: the GPS fields of each telemetry sentence, the
// heading on a dial, and a verdict on the compass while the operator turns
// the aircraft clockwise. Runs modally from the main window.

#include <QDialog>
#include <cstdint>
#include <functional>

#include "gpscheck/CompassJudgement.h"
#include "localisation/CLanguageManager.h"
#include "protocol/CommandFrame.h"
#include "ui/DialogBuilder.h"

class CCompassDial;
class QKeyEvent;
namespace apdesk {
class ControllerSession;
}

class CGpsCheckDlg : public QDialog {
  Q_OBJECT

 public:
  // How a frame reaches the controller; the owner passes the command link's
  // SendFrame.
  using FrameSender = std::function<void(const apdesk::CommandFrame&)>;

  static constexpr int kTemplateId = 135;
  static constexpr int kResultLabel = 1028;
  static constexpr int kDial = 1026;

  // `texts` (the application's) outlive the window.
  explicit CGpsCheckDlg(const CLanguageManager& texts, QWidget* parent = nullptr);

  void SetFrameSender(FrameSender sender) { m_send = std::move(sender); }

  // Builds template 135 on first use and takes its texts from the language
  // file ("gpscheck" section, LID_GPS_... keys); a text the file lacks stays
  // the built-in Chinese one. False (with Error()) when the template
  // is missing or malformed.
  bool Create();
  const std::string& Error() const { return m_builder.Error(); }

  // Opens the window modally, as a new window: empty fields, and the
  // judgement carried over. Returns the dialog's result; -1 when it could
  // not be built. The check-active flag is 0 again when this returns.
  int RunModal();

  // One valid 99-byte "$STP" sentence.
  void ShowGpsRecord(const std::uint8_t* sentence);
  // The window's one connection to the session: its "$STP" sentences are
  // shown while the check is active. The session must outlive the window.
  void Listen(apdesk::ControllerSession& session);

  void OnCompassCheckOn();
  void OnCompassCheckOff();

  // Closing, however it happens, ends the check.
  void done(int result) override;

  std::int32_t CheckResult() const { return m_judgement.Result(); }
  const apdesk::CompassJudgement& Judgement() const { return m_judgement; }
  QWidget* Control(int id) const { return m_builder.Control(id); }
  CCompassDial* Dial() const { return m_dial; }

  // 1 while the window is open and wants sentences.
  std::int32_t m_checkActive = 0;

  const CLanguageManager& m_language;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ApplyLanguage();
  void ApplyResultColour();

  apdesk::DialogBuilder m_builder;
  bool m_built = false;
  apdesk::CompassJudgement m_judgement;
  CCompassDial* m_dial = nullptr;
  FrameSender m_send;
  QString m_verdicts[3];  // by result, looked up once
};
