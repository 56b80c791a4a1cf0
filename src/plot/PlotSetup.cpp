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
  SetupTimeAxis(plot->xAxis, kind);
}

void SetupTimeAxis(QCPAxis* axis, TimeAxisKind kind) {
  if (kind == TimeAxisKind::kUtcClock) {
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeFormat(QStringLiteral("hh:mm:ss"));
    // The records' clock is the GPS clock (UTC); local time would shift a
    // flight by the viewer's own time zone.
    ticker->setTimeZone(QTimeZone::utc());
    axis->setTicker(ticker);
  } else {
    QSharedPointer<QCPAxisTickerTime> ticker(new QCPAxisTickerTime);
    ticker->setTimeFormat(QStringLiteral("%m:%s"));
    axis->setTicker(ticker);
  }
}

QCPGraph* AddQuantityGraph(QCustomPlot* plot, const PlotQuantity& quantity, const QString& label,
                           QCPAxis* valueAxis) {
  return AddQuantityGraph(plot->xAxis, valueAxis != nullptr ? valueAxis : plot->yAxis, quantity, label);
}

QCPGraph* AddQuantityGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const PlotQuantity& quantity,
                           const QString& label) {
  QCPGraph* graph = keyAxis->parentPlot()->addGraph(keyAxis, valueAxis);
  if (graph == nullptr) return nullptr;
  graph->setName(label);
  // A cosmetic one-pixel pen: Qt draws it on its fast path. A wider pen goes
  // through the stroker, which took up to a third of a second for a thousand
  // points of a noisy series.
  QPen pen(PlotColour(quantity), 1);
  pen.setCosmetic(true);
  graph->setPen(pen);
  graph->setLineStyle(quantity.stepped ? QCPGraph::lsStepLeft : QCPGraph::lsLine);
  graph->setAdaptiveSampling(true);
  return graph;
}

}  // namespace apdesk
