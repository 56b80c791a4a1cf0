// The main window "Set AP": parameter fields with Get/Send/Default, the live
// status fields, the stick panel and the connection commands. It owns the
// display and its windows; the transports and the receive path belong to the
// application object, whose ControllerLink tells it what arrived.
#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QTime>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "alerts/AlertCentre.h"
#include "calibration/CAdjustTransmitterDlg.h"
#include "calibration/CStickGauge.h"
#include "console/ConnectionStatus.h"
#include "console/FlightRecording.h"
#include "core/HidBackend.h"
#include "gpscheck/CGpsCheckDlg.h"
#include "localisation/CLanguageManager.h"
#include "nmea/CNmeaShareDlg.h"
#include "protocol/ParameterCodec.h"
#include "protocol/SentenceParser.h"
#include "recorder/ReplayPacer.h"
#include "ui/DialogBuilder.h"
#include "ui/WindowChrome.h"
#include "upgrade/CUpgradeDlg.h"

class CConfigApp;
class QAction;
class QLabel;
namespace apdesk {
class CAlertsDlg;
}
class CFlightRecordsDlg;
class CLinkInspectorDlg;
class CTelemetryPlotsDlg;
class CMapDlg;
namespace apdesk::map {
class TileService;
}
class ParameterCompareDlg;
class QComboBox;
class QLabel;
class QLineEdit;

class CSetApDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 151;
  static constexpr std::uint16_t kVendorId = apdesk::kControllerVendorId;
  static constexpr std::uint16_t kProductId = apdesk::kControllerProductId;
  static constexpr int kDefaultPauseMs = 300;  // between "$HFMR" and asking again
  // How long Send waits for the controller's read-back before it says none came.
  static constexpr int kReadBackWaitMs = 3000;

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
  void FillPortList();
  // The buttons: their outcome is told in a box.
  void OnOpenCom() { OpenCom(true); }
  void OnOpenUsb() { OpenUsb(true); }
  // The same without a press (at start): the status line tells the outcome
  // for kConnectionNoteMs instead of a box that waits for OK.
  void OpenCom(bool pressed);
  void OpenUsb(bool pressed);
  static constexpr int kConnectionNoteMs = 10000;
  // Open COM on a port given by name or path, listing it first if the port
  // list does not hold it (a pseudo-terminal, a port plugged in later); told
  // on the status line.
  void OpenComPort(const QString& port);

  // Parameters.
  void OnGetParams();
  void OnSendParams();
  void OnDefaultParams();
  void DecodeParameterSentence(const std::uint8_t* sentence45);

  void OnAdjustTransmitter();
  void OnNextAircraft();
  void OnPrevAircraft();
  void UpdateAircraftPicture();
  void OnHandModeChanged();
  void OnMaxSpeedChanged();
  void OnGpsCheck();
  void OnCaptureInstallError();
  // Tools > Upgrade firmware: the upgrade window, which otherwise shows
  // itself when a boot loader announces itself.
  void ShowUpgradeWindow();
  // Tools > Telemetry plots, Tools > Link inspector, File > Open flight
  // record: each window made once, then shown again.
  void ShowTelemetryPlots();
  void ShowLinkInspector();
  void ShowFlightRecords();
  // Plays a record file into the receive path at its pace times `speed`
  // (0.1 to 10), with Tools > Pause replay; false with the reason when the
  // file cannot be read.
  bool StartReplay(const QString& path, double speed, QString* error);
  // Tools > Map (made once, then shown again) over the one tile store, which
  // the flight records' track shares. The source is [MAP] SOURCE of the
  // settings, or `source` (apdesk --map-source) for this run; false with the
  // reason when it cannot be used.
  void ShowMap();
  bool SetMapSource(const QString& source, QString* error);
  CMapDlg* MapWindow() const;
  apdesk::map::TileService* MapTiles();
  // The windows made so far (null until first shown).
  CTelemetryPlotsDlg* TelemetryPlots() const { return m_plotsDlg.get(); }
  CLinkInspectorDlg* LinkInspector() const { return m_inspectorDlg.get(); }
  // Alerts: the rules and speaker, Tools > Alerts (made once) and the
  // status-line label of the newest alert.
  apdesk::AlertCentre& Alerts() { return *m_alerts; }
  apdesk::CAlertsDlg* ShowAlerts();
  QLabel* AlertLabel() const { return m_alertLabel; }
  // Tools > Share position (NMEA): made at start (sharing may be kept on).
  apdesk::nmea::CNmeaShareDlg* NmeaShare() const { return m_nmeaDlg.get(); }

  // File > Save parameters, Load parameters, Parameter history: the
  // commands after their file dialogs. Load and the history open the
  // comparison (null when the file is refused or nothing was read yet).
  bool SaveParametersTo(const QString& path);
  ParameterCompareDlg* LoadParametersFrom(const QString& path);
  ParameterCompareDlg* OpenComparison(const apdesk::Parameters& wanted, const QString& source);
  QDialog* ShowParameterHistory();
  // Before every write the parameters last read are stored in the history;
  // when they cannot be, the operator decides. False: do not write.
  bool SnapshotBeforeWrite(const char* write);

  // The menu bar's two menus and the status line under the controls.
  QMenu* FileMenu() const { return m_fileMenu; }
  QMenu* ToolsMenu() const { return m_toolsMenu; }
  QStatusBar* StatusLine() const { return m_chrome.statusLine; }
  // The connection's state on the status line, and the following of a device
  // that goes away.
  apdesk::ConnectionStatus& Connection() { return *m_connection; }

  // State the other parts of the window read.
  int m_distanceLimit = 0;
  int m_altitudeLimit = 0;
  int m_usbOpening = 0;
  QStringList m_portNames;
  apdesk::ParameterSentence m_lastParams{};
  // A valid "$PAR" arrived since the last transport was opened: only then may
  // Send build a block (otherwise it would write zeros over the controller's
  // settings).
  bool m_paramsValid = false;
  int ShownAircraftBitmap() const { return m_shownBitmap; }
  const apdesk::SentenceParser& Parser() const;

 protected:
  void paintEvent(QPaintEvent* event) override;  // OnPaint
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OnInitDialog();
  void ApplyLanguage();
  void BuildMenus();
  void ConnectControls();
  // What arrives through the application's receive path.
  void ConnectLink();
  void ConnectAlerts();
  void ShowStatus(const std::uint8_t* sentence99);
  void ShowInstallError(const std::uint8_t* sentence14);
  void ShowRefusal(const apdesk::ParameterRefusal& refusal);
  // The parameter lists' entries, from the parameter table.
  void FillParameterLists();
  apdesk::ParameterInputs ReadParameterInputs() const;
  // Enter outside a button: both limit fields must hold integers, which are
  // taken; the window stays open.
  void OnOk();
  void ForgetParameters() { m_paramsValid = false; }
  void AddParameterFileMenu();
  void WriteComparison(ParameterCompareDlg& dlg);
  // What the next valid "$PAR" answers: a comparison's write, a Default.
  void TakeReadBack(const apdesk::Parameters& p);
  QPointer<ParameterCompareDlg> m_awaitingReadBack;
  bool m_awaitingDefaults = false;
  // Send's read-back: the block sent, until the controller's next "$PAR".
  void CheckSentParameters();
  void SendCheckTimedOut();
  std::optional<apdesk::ParameterBlock> m_sendCheck;
  QTimer m_sendCheckTimer;
  QTime m_paramsReadAt;  // when the last valid "$PAR" arrived
  void TellConnection(const char* key, bool inBox);
  QString OperationText(const std::string& write) const;
  QComboBox* Combo(int id) const;
  QLineEdit* Edit(int id) const;
  void SetEditText(int id, const std::string& utf8);

  CConfigApp& m_app;
  apdesk::DialogBuilder m_builder;

 public:
  // Owned by value, in this order; the dialog's controls hold the rest.
  CStickGauge m_stickPanel;    // in the place of static 1205
  CUpgradeDlg m_upgradeDlg;    // modeless, shows itself for a boot loader
  CGpsCheckDlg m_gpsCheckDlg;  // no parent, run modally
  apdesk::FlightRecording m_recording;
  apdesk::CSaveData& m_recorder;  // m_recording's
  const CLanguageManager& m_language;  // the application's
  CAdjustTransmitterDlg m_adjustDlg;

 private:
  int m_shownBitmap = 0;
  // A replay's state: the pacer and the timer that drives it.
  struct Replay {
    apdesk::ReplayPacer pacer;
    QTimer timer;
    std::vector<apdesk::RecordBytes> due;
    QAction* pause = nullptr;
    std::optional<long long> lastUtc;  // of the last record played that had a time
  };
  void ReplayTick();
  QElapsedTimer m_toolClock;  // the time base of the plots, the inspector and a replay
  std::unique_ptr<CTelemetryPlotsDlg> m_plotsDlg;
  std::unique_ptr<CLinkInspectorDlg> m_inspectorDlg;
  std::unique_ptr<CFlightRecordsDlg> m_recordsDlg;
  std::unique_ptr<Replay> m_replay;
  struct MapParts;
  std::unique_ptr<MapParts> m_map;
  void ConnectMapWindow();
  apdesk::WindowChrome m_chrome;
  QMenu* m_fileMenu = nullptr;
  QMenu* m_toolsMenu = nullptr;
  std::unique_ptr<apdesk::ConnectionStatus> m_connection;
  std::map<int, QPixmap> m_pictures;
  std::unique_ptr<apdesk::AlertCentre> m_alerts;
  std::unique_ptr<apdesk::CAlertsDlg> m_alertsDlg;
  QLabel* m_alertLabel = nullptr;

  // Sharing the position as NMEA (NmeaShareMenu.cpp).
  void AddNmeaShareMenu();
  void ConnectNmeaShare();
  std::unique_ptr<apdesk::nmea::CNmeaShareDlg> m_nmeaDlg;
  QLabel* m_nmeaStatus = nullptr;
};
