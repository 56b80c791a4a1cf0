#pragma once
// The "Set Parameters" group: a valid "$PAR" sentence fills the controls;
// Get asks for the parameters, Send writes them back (bytes the tool does not
// show are carried over from the kept sentence), Default restores the
// controller's defaults and asks again.

#include <QObject>
#include <QTimer>
#include <cstdint>
#include <optional>

#include "console/AircraftChooser.h"
#include "console/ParameterFiles.h"
#include "console/WindowControls.h"
#include "console/WindowState.h"
#include "localisation/CLanguageManager.h"
#include "protocol/ParameterCodec.h"
#include "ui/WindowChrome.h"

class CConfigApp;

namespace apdesk {

class ControllerSession;

class ParameterControls : public QObject {
 public:
  // Boxes are shown over `window`; all of these outlive this.
  ParameterControls(CConfigApp& app, const WindowControls& controls, MainWindowState& state,
                    const CLanguageManager& texts, QWidget* window, const WindowChrome& chrome,
                    ParameterFiles& files, AircraftChooser& aircraft);

  // The group's one connection to the session: every "$PAR" it hands out.
  void Listen(ControllerSession& session);
  // The lists' entries and every parameter's tip, from the parameter table.
  void FillLists();
  void Decode(const std::uint8_t* sentence45);
  void OnGet();
  void OnSend();
  void OnDefault();

 private:
  ParameterInputs ReadInputs() const;
  void ShowRefusal(const ParameterRefusal& refusal);
  // Send's read-back: the block sent, until the controller's next "$PAR".
  void CheckSent();
  void SendCheckTimedOut();
  void Note(const QString& text);

  CConfigApp& m_app;
  const WindowControls& m_controls;
  MainWindowState& m_state;
  const CLanguageManager& m_texts;
  QWidget* m_window;
  const WindowChrome& m_chrome;
  ParameterFiles& m_files;
  AircraftChooser& m_aircraft;
  std::optional<ParameterBlock> m_sendCheck;
  QTimer m_sendCheckTimer;
};

}  // namespace apdesk
