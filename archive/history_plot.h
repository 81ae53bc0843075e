#pragma once

// The history plot, built the same for the history window and for `telvane-archive plot`: one
// panel per unit over a shared time axis, each ticked quantity a line, passes kept apart, and
// beacons whose reference voltage was recalibrated marked along the bottom of every panel.

#include <QString>
#include <string>
#include <vector>

#include "series_loader.h"

class QCustomPlot;

namespace telvane::archive {

// Replaces what `plot` shows by `data`, loaded for `fields` (plottable quantities).
void DrawHistory(QCustomPlot& plot, const std::vector<std::string>& fields, const SeriesData& data);

// Writes the plot as PNG, SVG or PDF, chosen by the file's suffix.
bool SavePlot(QCustomPlot& plot, const QString& path, int width, int height, QString& error);

// True when the suffix of `path` names a format SavePlot writes.
bool IsPlotFileName(const QString& path);

}  // namespace telvane::archive
