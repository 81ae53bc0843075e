#include "history_plot.h"

#include <qcustomplot.h>
#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cmath>
#include <limits>

#include "plot_quantities.h"
#include "safe_file.h"

namespace telvane::archive {
namespace {

// Beacons further apart than this belong to different passes: the line is broken between them.
constexpr double kPassGapSeconds = 20.0 * 60.0;
constexpr double kMarkHeight = 0.04;  // of the panel, where recalibrations are marked
// Up to this many beacons each is drawn as a dot on a thicker line, and each recalibration with
// a triangle; beyond it thin lines and ticks keep zoom and pan fluid over millions of beacons.
constexpr std::size_t kDetailedPoints = 5000;
const QColor kMarkColor(0xa0, 0x18, 0x18);

const QColor kColors[] = {
    QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
    QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x8c, 0x56, 0x4b),
    QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f), QColor(0xbc, 0xbd, 0x22),
    QColor(0x17, 0xbe, 0xcf),
};

// One series with a gap wherever a pass ends.
QVector<QCPGraphData> GraphData(const std::vector<double>& times,
                                const std::vector<double>& values) {
    QVector<QCPGraphData> out;
    out.reserve(static_cast<qsizetype>(times.size()) + static_cast<qsizetype>(times.size() / 16));
    for (std::size_t i = 0; i < times.size(); ++i) {
        if (i > 0 && times[i] - times[i - 1] > kPassGapSeconds) {
            out.append(QCPGraphData(times[i - 1] + 1.0, std::numeric_limits<double>::quiet_NaN()));
        }
        out.append(QCPGraphData(times[i], values[i]));
    }
    return out;
}

// Where a run of recalibrated beacons starts: a trickle charge recalibrates a whole pass.
QVector<QCPGraphData> RecalibrationMarks(const SeriesData& data) {
    QVector<QCPGraphData> out;
    for (std::size_t i = 0; i < data.times.size(); ++i) {
        if (data.recalibrated[i] && (i == 0 || !data.recalibrated[i - 1])) {
            out.append(QCPGraphData(data.times[i], kMarkHeight));
        }
    }
    return out;
}

// The units of `fields` in their first order, each with its fields.
std::vector<std::pair<QString, std::vector<std::size_t>>> GroupByUnit(
    const std::vector<std::string>& fields) {
    std::vector<std::pair<QString, std::vector<std::size_t>>> groups;
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const PlotQuantity* quantity = FindQuantity(fields[k]);
        const QString unit = quantity != nullptr ? quantity->unit : QString();
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const auto& g) { return g.first == unit; });
        if (group == groups.end()) {
            groups.push_back({unit, {}});
            group = groups.end() - 1;
        }
        group->second.push_back(k);
    }
    return groups;
}

QCPAxisRect* AddPanel(QCustomPlot& plot, int row, const QString& unit, QCPMarginGroup* margins,
                      const QSharedPointer<QCPAxisTicker>& ticker) {
    auto* rect = new QCPAxisRect(&plot);
    plot.plotLayout()->addElement(row, 0, rect);
    rect->setMarginGroup(QCP::msLeft | QCP::msRight, margins);
    rect->axis(QCPAxis::atBottom)->setTicker(ticker);
    rect->axis(QCPAxis::atLeft)->setLabel(unit);
    rect->axis(QCPAxis::atRight)->setRange(0.0, 1.0);
    auto* legend = new QCPLegend;
    rect->insetLayout()->addElement(legend, Qt::AlignTop | Qt::AlignRight);
    legend->setLayer(QStringLiteral("legend"));
    legend->setBrush(QColor(255, 255, 255, 210));
    return rect;
}

QCPLegend* LegendOf(QCPAxisRect* rect) {
    return static_cast<QCPLegend*>(rect->insetLayout()->elementAt(0));
}

void AddSeries(QCustomPlot& plot, QCPAxisRect* rect, const QString& name, const QColor& color,
               const QVector<QCPGraphData>& points) {
    QCPGraph* graph = plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atLeft));
    graph->data()->set(points, true);
    graph->setName(name);
    const bool detailed = static_cast<std::size_t>(points.size()) <= kDetailedPoints;
    graph->setPen(QPen(color, detailed ? 1.5 : 1.0));
    if (detailed) {
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, color, 3.0));
    }
    graph->addToLegend(LegendOf(rect));
}

void AddRecalibrationMarks(QCustomPlot& plot, QCPAxisRect* rect,
                           const QVector<QCPGraphData>& marks) {
    QCPGraph* graph = plot.addGraph(rect->axis(QCPAxis::atBottom), rect->axis(QCPAxis::atRight));
    graph->data()->set(marks, true);
    graph->setName(QStringLiteral("reference recalibrated"));
    graph->setLineStyle(QCPGraph::lsImpulse);
    graph->setPen(QPen(kMarkColor, 1.0));
    if (static_cast<std::size_t>(marks.size()) <= kDetailedPoints / 10) {
        graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssTriangle, kMarkColor,
                                               QColor(0xff, 0xc8, 0x40), 9.0));
    }
    graph->addToLegend(LegendOf(rect));
}

// Panning or zooming one panel's time axis moves all of them.
void LinkTimeAxes(const QList<QCPAxisRect*>& rects) {
    for (QCPAxisRect* rect : rects) {
        QObject::connect(rect->axis(QCPAxis::atBottom),
                         qOverload<const QCPRange&>(&QCPAxis::rangeChanged), rect,
                         [rects](const QCPRange& range) {
                             for (QCPAxisRect* other : rects) {
                                 other->axis(QCPAxis::atBottom)->setRange(range);
                             }
                         });
    }
}

bool DrawOn(QCustomPlot& plot, QPaintDevice& device, int width, int height) {
    QCPPainter painter;
    if (!painter.begin(&device)) {
        return false;
    }
    plot.toPainter(&painter, width, height);
    return painter.end();
}

void ShowMessage(QCustomPlot& plot, const QString& message) {
    plot.plotLayout()->addElement(0, 0, new QCPTextElement(&plot, message));
}

}  // namespace

void DrawHistory(QCustomPlot& plot, const std::vector<std::string>& fields,
                 const SeriesData& data) {
    plot.clearPlottables();
    plot.plotLayout()->clear();
    plot.setAutoAddPlottableToLegend(false);  // each panel has a legend of its own
    if (data.times.empty() || fields.empty()) {
        ShowMessage(plot, data.times.empty() ? QStringLiteral("No beacons in this time range")
                                             : QStringLiteral("Tick the quantities to plot"));
        plot.replot();
        return;
    }
    QSharedPointer<QCPAxisTickerDateTime> ticker(new QCPAxisTickerDateTime);
    ticker->setDateTimeSpec(Qt::UTC);
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nHH:mm"));
    auto* margins = new QCPMarginGroup(&plot);
    const auto groups = GroupByUnit(fields);
    const QVector<QCPGraphData> marks = RecalibrationMarks(data);
    QList<QCPAxisRect*> rects;
    int color = 0;
    for (std::size_t row = 0; row < groups.size(); ++row) {
        QCPAxisRect* rect =
            AddPanel(plot, static_cast<int>(row), groups[row].first, margins, ticker);
        rect->axis(QCPAxis::atBottom)->setTickLabels(row + 1 == groups.size());
        for (const std::size_t k : groups[row].second) {
            const PlotQuantity* quantity = FindQuantity(fields[k]);
            AddSeries(plot, rect,
                      quantity != nullptr ? quantity->label : QString::fromStdString(fields[k]),
                      kColors[color++ % std::size(kColors)], GraphData(data.times, data.values[k]));
        }
        rect->axis(QCPAxis::atLeft)->rescale();
        rect->axis(QCPAxis::atLeft)->scaleRange(1.1);
        if (!marks.isEmpty()) {
            AddRecalibrationMarks(plot, rect, marks);
        }
        rects.append(rect);
    }
    const double margin = std::max(60.0, (data.times.back() - data.times.front()) * 0.02);
    for (QCPAxisRect* rect : rects) {
        rect->axis(QCPAxis::atBottom)
            ->setRange(data.times.front() - margin, data.times.back() + margin);
    }
    LinkTimeAxes(rects);
    plot.replot();
}

bool IsPlotFileName(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == u"png" || suffix == u"svg" || suffix == u"pdf";
}

bool SavePlot(QCustomPlot& plot, const QString& path, int width, int height, QString& error) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    QBuffer bytes;
    bytes.open(QIODevice::WriteOnly);
    bool drawn = false;
    if (suffix == u"png") {
        drawn = plot.toPixmap(width, height).save(&bytes, "PNG");
    } else if (suffix == u"svg") {
        QSvgGenerator generator;
        generator.setOutputDevice(&bytes);
        generator.setSize(QSize(width, height));
        generator.setViewBox(QRect(0, 0, width, height));
        drawn = DrawOn(plot, generator, width, height);
    } else if (suffix == u"pdf") {
        QPdfWriter writer(&bytes);
        writer.setPageSize(QPageSize(QSizeF(width, height), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        drawn = DrawOn(plot, writer, width, height);
    } else {
        error = QStringLiteral("'%1': the plot is written as .png, .svg or .pdf").arg(path);
        return false;
    }
    if (!drawn) {
        error = QStringLiteral("cannot draw the plot for '%1'").arg(path);
        return false;
    }
    // The whole file or nothing: an existing file is replaced only by a complete plot.
    const WriteResult result = WriteFileSafely(
        QFile::encodeName(path).toStdString(),
        std::string_view(bytes.data().constData(), static_cast<std::size_t>(bytes.size())));
    if (result.outcome != WriteOutcome::kWritten) {
        error = QStringLiteral("cannot write '%1': %2")
                    .arg(path, QString::fromLocal8Bit(result.reason));
        return false;
    }
    return true;
}

}  // namespace telvane::archive
