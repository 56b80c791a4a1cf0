#pragma once
// The "Telemetry" window: strip charts of the last 2, 5 or 10 minutes of
// altitude, voltage, satellites, ground speed, attitude and the four stick
// channels. Records come in through AddStatusSentence (from the receive
// path); the charts are redrawn by a timer at a bounded rate, and only when
// records arrived, so a 50 Hz link does not make the window's thread draw
// fifty times a second. Pause freezes the charts; records are still kept,
// and Resume shows them.

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <vector>

#include "localisation/CLanguageManager.h"
#include "telemetryplots/TelemetryHistory.h"

class QComboBox;
class QCPGraph;
class QCustomPlot;
class QPushButton;

class CTelemetryPlotsDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kRedrawMs = 100;
  static constexpr int kSpanMinutes[] = {2, 5, 10};

  // `texts` (the application's) outlive the window.
  explicit CTelemetryPlotsDlg(const CLanguageManager& texts, QWidget* parent = nullptr);

  // Builds the window's contents with the texts of m_language; call it before
  // the window is first shown (showing builds it too, if it was not).
  void Create();

  void SetSpanMinutes(int minutes);
  int SpanMinutes() const { return m_spanMinutes; }
  bool Paused() const { return m_paused; }
  void SetPaused(bool paused);

  // Draws what arrived since the last redraw (the timer's work); nothing
  // while paused or when nothing arrived.
  void Refresh();

  const apdesk::TelemetryHistory& History() const { return m_history; }
  // The graph of kLivePlotQuantities[i].
  QCPGraph* Graph(std::size_t i) const { return m_graphs[i]; }
  const std::vector<QCustomPlot*>& Plots() const { return m_plots; }
  QPushButton* PauseButton() const { return m_pause; }
  QComboBox* SpanChoice() const { return m_span; }
  // How many times the charts were drawn.
  std::uint64_t Redraws() const { return m_redraws; }

  const CLanguageManager& m_language;

 public slots:
  // One valid 99-byte "$STP" sentence; nowMs from a steady clock.
  void AddStatusSentence(const std::uint8_t* s99, qint64 nowMs);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QCustomPlot* AddStrip();

  apdesk::TelemetryHistory m_history;
  bool m_built = false;
  int m_spanMinutes = 2;
  bool m_paused = false;
  bool m_rebuild = true;  // the graphs are refilled from the history at the next redraw
  std::uint64_t m_drawnAdded = 0;
  std::uint64_t m_redraws = 0;
  QTimer m_timer;
  std::vector<QCustomPlot*> m_plots;
  std::array<QCPGraph*, apdesk::kLivePlotCount> m_graphs{};
  QComboBox* m_span = nullptr;
  QPushButton* m_pause = nullptr;
  QString m_pauseText, m_resumeText;
};
