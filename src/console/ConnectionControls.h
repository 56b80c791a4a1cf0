#pragma once
// The main window's means of reaching the controller: the serial port list
// (1001) with Open COM, and Open USB. Opening one transport closes the other;
// a successful open asks for the parameters at once.

#include <QString>

#include "console/WindowControls.h"
#include "console/WindowState.h"
#include "localisation/CLanguageManager.h"
#include "ui/WindowChrome.h"

class CConfigApp;

namespace apdesk {

class ConnectionControls {
 public:
  // Boxes are shown over `window`; notes go to `chrome`'s status line once
  // it is made. All of them outlive this.
  ConnectionControls(CConfigApp& app, const WindowControls& controls, MainWindowState& state,
                     const CLanguageManager& texts, QWidget* window, const WindowChrome& chrome);

  void FillPortList();
  // With `pressed` the outcome is told in a box; without (at start) the
  // status line tells it for kStatusNoteMs instead of a box that waits for OK.
  void OpenCom(bool pressed);
  void OpenUsb(bool pressed);
  // Open COM on a port given by name or path, listing it first if the port
  // list does not hold it (a pseudo-terminal, a port plugged in later); told
  // on the status line.
  void OpenComPort(const QString& port);

 private:
  void Tell(const char* key, bool inBox);
  void ForgetParameters() { m_state.m_paramsValid = false; }

  CConfigApp& m_app;
  const WindowControls& m_controls;
  MainWindowState& m_state;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  const WindowChrome& m_chrome;
};

}  // namespace apdesk
