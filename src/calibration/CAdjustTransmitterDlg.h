#pragma once
// The transmitter calibration window: a picture, a hint, and OK to start the
// controller's stick calibration. Created once, hidden, by the main window.

#include <QTimer>
#include <cstdint>
#include <functional>

#include "localisation/CLanguageManager.h"
#include "ui/CKeyFilterDialog.h"
#include "ui/DialogBuilder.h"

class CAdjustTransmitterDlg : public CKeyFilterDialog {
  Q_OBJECT

 public:
  // How a command code reaches the controller; the owner passes the command
  // link's SendCommand.
  using CommandSender = std::function<void(std::uint8_t code)>;

  static constexpr int kTemplateId = 196;
  static constexpr int kHideTimerId = 1;
  static constexpr int kHideDelayMs = 5000;

  // `texts` (the application's) outlive the window.
  explicit CAdjustTransmitterDlg(const CLanguageManager& texts, QWidget* parent = nullptr);

  void SetCommandSender(CommandSender sender) { m_send = std::move(sender); }

  // Builds template 196 as a window owned by `owner`, loads the "flyhint"
  // texts and leaves it hidden. False (with Error()) when the template is
  // missing or malformed.
  bool Create(QWidget* owner);
  const std::string& Error() const { return m_builder.Error(); }

  // Shows the window and puts `text` into the hint box.
  void ShowWithText(const QString& text);

  void OnConfirm();
  void OnDismiss();
  void OnTimer(int timerId);

  QWidget* Control(int id) const { return m_builder.Control(id); }
  bool IsHideTimerRunning() const { return m_hideTimer.isActive(); }

  const CLanguageManager& m_language;

 private:
  void SetHint(const QString& text);

  apdesk::DialogBuilder m_builder;
  bool m_built = false;
  CommandSender m_send;
  QTimer m_hideTimer;
};
