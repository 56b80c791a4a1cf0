#pragma once
// The main window's menu bar and status line, beside the template's
// controls: File and Tools. The window fills them with its parts' commands.

#include <QObject>
#include <functional>

#include "localisation/CLanguageManager.h"
#include "ui/WindowChrome.h"

class CConfigApp;
class QDialog;
class QMenu;

namespace apdesk {

class LinkFollower;

class MainMenu : public QObject {
 public:
  using Command = std::function<void()>;

  // All of these outlive this.
  MainMenu(CConfigApp& app, const CLanguageManager& texts);

  // Both bars on `window`, with the File and Tools menus (empty).
  WindowChrome Build(QDialog* window);
  QMenu* File() const { return m_file; }
  QMenu* Tools() const { return m_tools; }
  void AddTool(const char* key, Command command);
  // Tools > Connect USB at start, kept in the settings: switched on it waits
  // for a device (unless one is open), switched off it stops waiting for a
  // first one. `follower` is asked for when switched.
  void AddAutoUsb(std::function<LinkFollower&()> follower);
  // The flight records and Quit at the end of File.
  void AddFileEnd(Command records, Command quit);

 private:
  CConfigApp& m_app;
  const CLanguageManager& m_texts;
  QMenu* m_file = nullptr;
  QMenu* m_tools = nullptr;
};

}  // namespace apdesk
