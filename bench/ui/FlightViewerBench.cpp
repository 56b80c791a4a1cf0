// Measures the flight-records window on a large record file: the time from
// choosing the file to its plots and track drawn, and the time of each frame
// while panning and zooming the plots and the track (data thinning included).
// Targets: drawn within 1.5 s for 1,000,000 records; every frame under 16 ms.
//
//   flight_viewer_bench FILE.hj [FRAMES]     (make one with make_record_file)
//   flight_viewer_bench FILE.hj --screenshot OUT.png [CURSOR_RECORD]
//                                            the window with the file shown, its folder listed
//
// Runs offscreen unless QT_QPA_PLATFORM says otherwise.

#include <qcustomplot.h>
#include <sys/resource.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "viewer/CFlightRecordsDlg.h"

namespace {

double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Each frame's wall-clock time and the processor time of the window's thread
// in it; on a shared machine the wall clock also holds waits for a core.
struct Frames {
  std::vector<double> wall, cpu;
  QElapsedTimer timer;
  double cpuStart = 0;
  void Begin() {
    timer.restart();
    cpuStart = ThreadCpuMs();
  }
  void End() {
    wall.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    cpu.push_back(ThreadCpuMs() - cpuStart);
  }
  static void Line(const char* what, const char* clock, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double share) {
      return ms[static_cast<std::size_t>(share * static_cast<double>(ms.size() - 1))];
    };
    std::printf("%-14s %-4s frames %4zu  median %6.2f ms  p95 %6.2f ms  max %6.2f ms\n", what, clock,
                ms.size(), at(0.5), at(0.95), ms.back());
  }
  void Print(const char* what) const {
    Line(what, "wall", wall);
    Line(what, "cpu", cpu);
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* usage =
      "usage: flight_viewer_bench FILE.hj [FRAMES]\n"
      "       flight_viewer_bench FILE.hj --screenshot OUT.png [CURSOR]\n";
  if (argc > 1 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (argc < 2 || argv[1][0] == '-') {
    std::fputs(usage, stderr);
    return 2;
  }
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  if (argc > 3 && std::string(argv[2]) == "--screenshot") {
    const CLanguageManager texts("", false);  // the built-in texts
    CFlightRecordsDlg dlg(texts, nullptr);
    dlg.resize(1300, 820);
    dlg.show();
    const QFileInfo file(QString::fromLocal8Bit(argv[1]));
    dlg.ShowFolder(file.absolutePath());
    QElapsedTimer wait;
    wait.start();
    while (wait.elapsed() < 1500) QApplication::processEvents(QEventLoop::AllEvents, 20);
    dlg.ShowFile(file.absoluteFilePath());
    if (argc > 4) dlg.SetCursorIndex(static_cast<std::size_t>(std::atoll(argv[4])));
    QApplication::processEvents();
    return dlg.grab().save(QString::fromLocal8Bit(argv[3])) ? 0 : 1;
  }
  const int frames = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
  const CLanguageManager texts("", false);  // the built-in texts
  CFlightRecordsDlg dlg(texts, nullptr);
  dlg.resize(1400, 900);
  dlg.show();
  QApplication::processEvents();
  auto* plots = dlg.findChild<QCustomPlot*>(QStringLiteral("flightPlots"));
  auto* track = dlg.findChild<QCustomPlot*>(QStringLiteral("flightTrack"));

  QElapsedTimer timer;
  timer.start();
  const double cpu0 = ThreadCpuMs();
  dlg.ShowFile(QString::fromLocal8Bit(argv[1]));
  plots->replot(QCustomPlot::rpImmediateRefresh);
  track->replot(QCustomPlot::rpImmediateRefresh);
  const double loadMs = static_cast<double>(timer.nsecsElapsed()) / 1e6, loadCpuMs = ThreadCpuMs() - cpu0;
  const std::size_t n = dlg.Flight().Size();
  if (n < 2) {
    std::fprintf(stderr, "flight_viewer_bench: %s: %s\n", argv[1],
                 dlg.StatusText().toLocal8Bit().constData());
    return 1;
  }
  std::printf("records %zu  load and draw %.0f ms (processor %.0f ms)\n", n, loadMs, loadCpuMs);
  // Panning at a few zoom levels, then zooming in from the whole flight to a
  // few seconds and out again: what a drag or the wheel does, one frame each.
  QCPAxis* time = plots->axisRect(0)->axis(QCPAxis::atBottom);
  const double first = dlg.Flight().times.front(), last = dlg.Flight().times.back();
  Frames pan, zoom, trackFrames;
  for (int f = 0; f < frames; ++f) {
    const double span = (last - first) / std::pow(4.0, f % 5);
    const double start = first + (last - first - span) * (f % 17) / 16.0;
    pan.Begin();
    time->setRange(start, start + span);
    plots->replot(QCustomPlot::rpImmediateRefresh);
    pan.End();
  }
  for (int f = 0; f < frames; ++f) {
    const double k = f < frames / 2 ? f : frames - f;
    const double span = (last - first) * std::pow(0.9, k);
    const double centre = first + (last - first) * 0.37;
    zoom.Begin();
    time->setRange(centre - span / 2, centre + span / 2);
    plots->replot(QCustomPlot::rpImmediateRefresh);
    zoom.End();
  }
  for (int f = 0; f < frames; ++f) {
    trackFrames.Begin();
    track->xAxis->scaleRange(f < frames / 2 ? 0.95 : 1 / 0.95);
    track->yAxis->scaleRange(f < frames / 2 ? 0.95 : 1 / 0.95);
    track->xAxis->moveRange(1.0);
    track->replot(QCustomPlot::rpImmediateRefresh);
    trackFrames.End();
  }
  pan.Print("plots pan");
  zoom.Print("plots zoom");
  trackFrames.Print("track pan/zoom");
  rusage resources{};
  getrusage(RUSAGE_SELF, &resources);
  std::printf("max resident memory %.0f MB\n", static_cast<double>(resources.ru_maxrss) / 1024);
  return 0;
}
