#include "plot/PlotSetup.h"

#include <qcustomplot.h>
#include <QSharedPointer>
#include <QTimeZone>

namespace apdesk {

QColor PlotColour(const PlotQuantity& quantity) {
  return QColor::fromRgba(quantity.argb);
}

QString PlotQuantityLabel(const PlotQuantity& quantity, const QString& languageText) {
  const QString name = languageText.isEmpty() ? QString::fromUtf8(quantity.label) : languageText;
  if (quantity.unit[0] == '\0') return name;
  return name + QStringLiteral(" (") + QString::fromUtf8(quantity.unit) + QStringLiteral(")");
}

void SetupTimeAxis(QCustomPlot* plot, TimeAxisKind kind) {
  if (kind == TimeAxisKind::kUtcClock) {
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
    // The records' clock is the GPS clock (UTC); local time would shift a
    // flight by the viewer's own time zone.
    ticker->setTimeZone(QTimeZone::utc());
    plot->xAxis->setTicker(ticker);
  } else {
    QSharedPointer<QCPAxisTickerTime> ticker(new QCPAxisTickerTime);
    ticker->setTimeFormat(QStringLiteral("%m:%s"));
    plot->xAxis->setTicker(ticker);
  }
}

QCPGraph* AddQuantityGraph(QCustomPlot* plot, const PlotQuantity& quantity, const QString& label,
                           QCPAxis* valueAxis) {
  QCPGraph* graph = plot->addGraph(plot->xAxis, valueAxis != nullptr ? valueAxis : plot->yAxis);
  if (graph == nullptr) return nullptr;
  graph->setName(label);
  graph->setPen(QPen(PlotColour(quantity), 1.2));
  graph->setLineStyle(quantity.stepped ? QCPGraph::lsStepLeft : QCPGraph::lsLine);
  graph->setAdaptiveSampling(true);
  return graph;
}

}  // namespace apdesk
