// The main window "Set AP": parameter fields with Get/Send/Default, the live
// status fields, the stick panel and the connection commands. It owns the
// display, its parts and its windows; each part reaches only what it is
// given, never the window. The transports and the receive path belong to the
// application object's session, which every reader listens to itself.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QString>
#include <cstdint>
#include <memory>

#include "alerts/AlertCentre.h"
#include "calibration/CAdjustTransmitterDlg.h"
#include "calibration/CStickGauge.h"
#include "console/AircraftChooser.h"
#include "console/AlertsHook.h"
#include "console/ConnectionControls.h"
#include "console/ConnectionStatus.h"
#include "console/FlightRecording.h"
#include "console/MainMenu.h"
#include "console/MapWindow.h"
#include "console/NmeaShareMenu.h"
#include "console/ParameterControls.h"
#include "console/ParameterFiles.h"
#include "console/TelemetryDisplay.h"
#include "console/ToolWindows.h"
#include "console/WindowControls.h"
#include "console/WindowState.h"
#include "core/HidBackend.h"
#include "gpscheck/CGpsCheckDlg.h"
#include "localisation/CLanguageManager.h"
#include "protocol/SentenceParser.h"
#include "ui/DialogBuilder.h"
#include "ui/WindowChrome.h"
#include "upgrade/CUpgradeDlg.h"

class CConfigApp;
class CLinkInspectorDlg;
class CTelemetryPlotsDlg;
class CMapDlg;
class ParameterCompareDlg;
class QLabel;
class QMenu;
class QStatusBar;

class CSetApDlg : public QDialog, public apdesk::MainWindowState {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 151;
  static constexpr std::uint16_t kVendorId = apdesk::kControllerVendorId;
  static constexpr std::uint16_t kProductId = apdesk::kControllerProductId;
  static constexpr int kDefaultPauseMs = apdesk::kParameterPauseMs;  // between "$HFMR" and asking again
  static constexpr int kReadBackWaitMs = apdesk::kReadBackWaitMs;
  static constexpr int kConnectionNoteMs = apdesk::kStatusNoteMs;

  explicit CSetApDlg(CConfigApp& app, QWidget* parent = nullptr);
  ~CSetApDlg() override;
  // Ends the window; from then on no alert is spoken.
  void done(int result) override;

  // The control with this template id (null for an unknown id).
  QWidget* Control(int id) const { return m_builder.Control(id); }
  template <class T>
  T* ControlAs(int id) const {
    return m_builder.ControlAs<T>(id);
  }

  // Connection (the buttons 1003 and 1019 run these).
  void FillPortList() { m_connect.FillPortList(); }
  // The buttons: their outcome is told in a box.
  void OnOpenCom() { OpenCom(true); }
  void OnOpenUsb() { OpenUsb(true); }
  // The same without a press (at start): the status line tells the outcome
  // for kConnectionNoteMs instead of a box that waits for OK.
  void OpenCom(bool pressed) { m_connect.OpenCom(pressed); }
  void OpenUsb(bool pressed) { m_connect.OpenUsb(pressed); }
  // Open COM on a port given by name or path, listing it first if the port
  // list does not hold it (a pseudo-terminal, a port plugged in later); told
  // on the status line.
  void OpenComPort(const QString& port) { m_connect.OpenComPort(port); }

  // Parameters.
  void OnGetParams() { m_parameters.OnGet(); }
  void OnSendParams() { m_parameters.OnSend(); }
  void OnDefaultParams() { m_parameters.OnDefault(); }
  void DecodeParameterSentence(const std::uint8_t* sentence45) { m_parameters.Decode(sentence45); }

  void OnAdjustTransmitter();
  void OnNextAircraft() { m_aircraft.Next(); }
  void OnPrevAircraft() { m_aircraft.Previous(); }
  void UpdateAircraftPicture() { m_aircraft.Update(); }
  int ShownAircraftBitmap() const { return m_aircraft.ShownBitmap(); }
  void OnHandModeChanged();
  void OnMaxSpeedChanged();
  void OnGpsCheck();
  void OnCaptureInstallError();
  // Tools > Upgrade firmware: the upgrade window, which otherwise shows
  // itself when a boot loader announces itself.
  void ShowUpgradeWindow() { m_upgradeDlg.ShowFromMenu(); }
  // Tools > Telemetry plots, Tools > Link inspector, File > Open flight
  // record: each window made once, then shown again.
  void ShowTelemetryPlots() { m_tools.ShowPlots(); }
  void ShowLinkInspector() { m_tools.ShowInspector(); }
  void ShowFlightRecords() { m_tools.ShowRecords(); }
  // Plays a record file into the receive path at its pace times `speed`
  // (0.1 to 10), with Tools > Pause replay; false with the reason when the
  // file cannot be read.
  bool StartReplay(const QString& path, double speed, QString* error) {
    return m_tools.StartReplay(path, speed, ToolsMenu(), *m_connection, error);
  }
  // Tools > Map (made once, then shown again) over the one tile store, which
  // the flight records' track shares. The source is [MAP] SOURCE of the
  // settings, or `source` (apdesk --map-source) for this run; false with the
  // reason when it cannot be used.
  void ShowMap() { m_map.Show(); }
  bool SetMapSource(const QString& source, QString* error) { return m_map.SetSource(source, error); }
  CMapDlg* MapWindow() const { return m_map.Window(); }
  apdesk::map::TileService* MapTiles() { return m_map.Tiles(); }
  // The windows made so far (null until first shown).
  CTelemetryPlotsDlg* TelemetryPlots() const { return m_tools.Plots(); }
  CLinkInspectorDlg* LinkInspector() const { return m_tools.Inspector(); }
  // Alerts: the rules and speaker, Tools > Alerts (made once) and the
  // status-line label of the newest alert.
  apdesk::AlertCentre& Alerts() { return m_alerts.Alerts(); }
  apdesk::CAlertsDlg* ShowAlerts() { return m_alerts.Show(); }
  QLabel* AlertLabel() const { return m_alerts.Label(); }
  // Tools > Share position (NMEA): made at start (sharing may be kept on).
  apdesk::nmea::CNmeaShareDlg* NmeaShare() const { return m_nmea.Window(); }

  // File > Save parameters, Load parameters, Parameter history: the
  // commands after their file dialogs. Load and the history open the
  // comparison (null when the file is refused or nothing was read yet).
  bool SaveParametersTo(const QString& path) { return m_files.SaveTo(path); }
  ParameterCompareDlg* LoadParametersFrom(const QString& path) { return m_files.LoadFrom(path); }
  ParameterCompareDlg* OpenComparison(const apdesk::Parameters& wanted, const QString& source) {
    return m_files.OpenComparison(wanted, source);
  }
  QDialog* ShowParameterHistory() { return m_files.ShowHistory(); }
  // Before every write the parameters last read are stored in the history;
  // when they cannot be, the operator decides. False: do not write.
  bool SnapshotBeforeWrite(const char* write) { return m_files.SnapshotBeforeWrite(write); }

  // The menu bar's two menus and the status line under the controls.
  QMenu* FileMenu() const { return m_menu.File(); }
  QMenu* ToolsMenu() const { return m_menu.Tools(); }
  QStatusBar* StatusLine() const { return m_chrome.statusLine; }
  // The connection's state on the status line, and the following of a device
  // that goes away.
  apdesk::ConnectionStatus& Connection() { return *m_connection; }

  const apdesk::SentenceParser& Parser() const;

 protected:
  void paintEvent(QPaintEvent* event) override;  // OnPaint
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void ApplyLanguage();
  void BuildMenus();
  void ConnectControls();
  // Enter outside a button: both limit fields must hold integers, which are
  // taken; the window stays open.
  void OnOk();

  CConfigApp& m_app;
  apdesk::DialogBuilder m_builder;
  apdesk::WindowControls m_controls{m_builder};

 public:
  // Owned by value, in this order; the dialog's controls hold the rest.
  CStickGauge m_stickPanel;    // in the place of static 1205
  CUpgradeDlg m_upgradeDlg;    // modeless, shows itself for a boot loader
  CGpsCheckDlg m_gpsCheckDlg;  // no parent, run modally
  apdesk::FlightRecording m_recording;
  apdesk::CSaveData& m_recorder;       // m_recording's
  const CLanguageManager& m_language;  // the application's
  CAdjustTransmitterDlg m_adjustDlg;

 private:
  // The window's parts, each given what it needs of the window.
  QElapsedTimer m_toolClock;  // the time base of the plots, the inspector, the map and a replay
  apdesk::WindowChrome m_chrome;
  apdesk::MainMenu m_menu;
  std::unique_ptr<apdesk::ConnectionStatus> m_connection;
  apdesk::AircraftChooser m_aircraft{m_controls};
  apdesk::ParameterFiles m_files;
  apdesk::ParameterControls m_parameters;
  apdesk::ConnectionControls m_connect;
  apdesk::TelemetryDisplay m_display;
  apdesk::MapTool m_map;
  apdesk::ToolWindows m_tools;
  apdesk::AlertsHook m_alerts;
  apdesk::NmeaShareMenu m_nmea;
};
