#pragma once
// Setting up QCustomPlot for telemetry over time, shared by the windows that
// plot it: the time axis and one graph per quantity, drawn in the
// quantity's colour. The windows own their plots; these only configure them.

#include <QColor>
#include <QString>

#include "plot/PlotQuantities.h"

class QCustomPlot;
class QCPAxis;
class QCPGraph;

namespace apdesk {

enum class TimeAxisKind {
  kUtcClock,  // keys are seconds since 1970 (UTC), shown as the time of day "hh:mm:ss"
  kElapsed,   // keys are seconds from some start, shown as "m:ss" (live strip charts)
};

QColor PlotColour(const PlotQuantity& quantity);

// The label to show: the language file's text when it has one, else the
// quantity's English label; with the unit in brackets when it has one.
QString PlotQuantityLabel(const PlotQuantity& quantity, const QString& languageText);

// The bottom axis of `plot` (or the given axis, e.g. of one of several axis
// rects) becomes the time axis of the given kind.
void SetupTimeAxis(QCustomPlot* plot, TimeAxisKind kind);
void SetupTimeAxis(QCPAxis* axis, TimeAxisKind kind);

// Adds a graph over the plot's bottom axis and `valueAxis` (the left axis
// when null) in the quantity's colour, named `label`. Adaptive sampling
// stays on, which is what keeps a million points quick to draw.
QCPGraph* AddQuantityGraph(QCustomPlot* plot, const PlotQuantity& quantity, const QString& label,
                           QCPAxis* valueAxis = nullptr);
// The same over any pair of axes (a plot with several axis rects).
QCPGraph* AddQuantityGraph(QCPAxis* keyAxis, QCPAxis* valueAxis, const PlotQuantity& quantity,
                           const QString& label);

}  // namespace apdesk
