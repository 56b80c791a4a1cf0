#pragma once
// The firmware upgrade window: chooses a ".bin" image and serves it to the
// controller's boot loader, which drives the exchange. Created once, hidden,
// by the main window; it shows itself when a boot loader floods the link
// with announcements. Close ends the program only when the window came up
// by itself for a boot loader (and then it says so); opened from the Tools
// menu, Close only closes it.
//
// Listen takes every inbound HID report from the session (HandleReport),
// except while the USB device is being opened; replies go out at once
// through the reply sink (the HID link's WriteReport).

#include <QBasicTimer>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "localisation/CLanguageManager.h"
#include "ui/CKeyFilterDialog.h"
#include "ui/DialogBuilder.h"
#include "upgrade/UpgradeExchange.h"

class CHidLink;
class QTimerEvent;
namespace apdesk {
class ControllerSession;
}

class CUpgradeDlg : public CKeyFilterDialog {
  Q_OBJECT

 public:
  using ReplySink = std::function<void(const std::uint8_t* report64)>;
  using Action = std::function<void()>;

  static constexpr int kTemplateId = 197;
  static constexpr int kTimerMs = 100;

  // `texts` (the application's) outlive the window.
  explicit CUpgradeDlg(const CLanguageManager& texts, QWidget* parent = nullptr);
  ~CUpgradeDlg() override;

  // Replies go to link->WriteReport and Close closes link's device. The link
  // must outlive the window (it belongs to the application object).
  void SetLink(CHidLink* link);
  // The window's one connection to the session: every USB report it hands
  // out comes here, and replies go to its HID link (SetLink). The session
  // must outlive the window.
  void Listen(apdesk::ControllerSession& session);
  // The same as two seams, for tests and tools.
  void SetReplySink(ReplySink sink) { m_replySink = std::move(sink); }
  void SetDeviceCloser(Action closer) { m_closeDevice = std::move(closer); }
  // What Close does last; by default a quit request posted to the
  // application, which ends the main window's modal loop.
  void SetQuitRequester(Action quit) { m_requestQuit = std::move(quit); }

  // Builds template 197 as a window owned by `owner`, loads the "upgrade"
  // texts, starts the 100 ms timer and leaves the window hidden. False (with
  // Error()) when the template is missing or malformed.
  bool Create(QWidget* owner);
  const std::string& Error() const { return m_builder.Error(); }

  // One inbound 64-byte report.
  void HandleReport(const std::uint8_t* report64);
  // Tools > Upgrade firmware: shows the window; its Close then only closes it.
  void ShowFromMenu();
  // True while the window is up because a boot loader raised it: Close
  // then ends the program, and the hint above the buttons says so.
  bool CloseEndsProgram() const { return m_closeEndsProgram; }

  // Choose...: the open-file dialog, then LoadImageFile.
  void OnChoose();
  // Choose... after the dialog: shows the path and loads the image. A file
  // that cannot be read leaves Choose... enabled and says why in the status.
  bool LoadImageFile(const QString& path);
  // Close: ends the exchange and hides; when the window came up by itself
  // it also closes the HID device and requests quit.
  void OnClose();
  // The 100 ms tick.
  void OnTimer();

  QWidget* Control(int id) const { return m_builder.Control(id); }
  const apdesk::UpgradeExchange& Exchange() const { return m_exchange; }
  // The text the status label shows from the next tick on.
  const QString& StatusText() const { return m_statusText; }

  const CLanguageManager& m_language;

 protected:
  void reject() override;  // the dialog's cancel: Close
  void timerEvent(QTimerEvent* event) override;

 private:
  void UpdateStatusText();
  void SetCloseEndsProgram(bool ends);

  apdesk::DialogBuilder m_builder;
  apdesk::UpgradeExchange m_exchange;
  const char* m_statusKey = nullptr;  // the key m_statusText was looked up for
  QString m_statusText;
  QString m_readyText;  // "Ready", or the language file's word for it
  QString m_infoText;   // the hint as the language file gives it
  bool m_closeEndsProgram = false;
  QBasicTimer m_timer;
  ReplySink m_replySink;
  Action m_closeDevice;
  Action m_requestQuit;
};
