#include "history_window.h"

#include <qcustomplot.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QTimeZone>
#include <QVBoxLayout>
#include <QtConcurrent>
#include <cmath>

#include "app_settings.h"
#include "history_csv.h"
#include "history_plot.h"
#include "history_table_model.h"
#include "plot_quantities.h"
#include "safe_file.h"

namespace telvane {
namespace {

const std::vector<std::string> kFirstTicked = {"battery_voltage_v", "solar_array_voltage_v"};

QString TimeText(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0), QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss 'UTC'"));
}

// The point of `graph` nearest in time to `time`; nothing when it has no value there.
std::optional<double> ValueNear(const QCPGraph& graph, double time) {
    const auto data = graph.data();
    auto it = data->findBegin(time, false);
    if (it == data->constEnd()) {
        return std::nullopt;
    }
    if (const auto next = it + 1; next != data->constEnd() && next->key - time < time - it->key) {
        it = next;
    }
    return std::isnan(it->value) ? std::nullopt : std::optional<double>(it->value);
}

// Zoom and pan move time only: each panel keeps the range of its values.
void AllowTimeZoomAndPan(QCustomPlot& plot) {
    plot.setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    for (QCPAxisRect* rect : plot.axisRects()) {
        rect->setRangeDrag(Qt::Horizontal);
        rect->setRangeZoom(Qt::Horizontal);
    }
}

}  // namespace

HistoryWindow::HistoryWindow(QString archivePath, QWidget* parent)
    : QWidget(parent, Qt::Window), m_archivePath(std::move(archivePath)) {
    setWindowTitle(QStringLiteral("Telvane \u2013 History"));
    m_history.data = std::make_shared<const archive::SeriesData>();
    m_plot = new QCustomPlot;
    m_plot->setMinimumSize(480, 320);
    m_plot->setNoAntialiasingOnDrag(true);
    m_plot->setMouseTracking(true);
    connect(m_plot, &QCustomPlot::mouseMove, this,
            [this](QMouseEvent* event) { ShowValueAt(event->pos()); });
    m_model = new HistoryTableModel(this);
    m_table = new QTableView;
    m_table->setModel(m_model);
    m_table->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_table->verticalHeader()->hide();
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setDefaultSectionSize(130);

    auto* plotAndTable = new QSplitter(Qt::Vertical);
    plotAndTable->addWidget(m_plot);
    plotAndTable->addWidget(m_table);
    plotAndTable->setStretchFactor(0, 3);
    plotAndTable->setStretchFactor(1, 1);
    plotAndTable->setSizes({460, 200});
    auto* body = new QSplitter(Qt::Horizontal);
    body->addWidget(BuildQuantityList());
    body->addWidget(plotAndTable);
    body->setStretchFactor(1, 1);

    m_status = new QLabel;
    m_pointer = new QLabel;
    m_pointer->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* csv = new QPushButton(QStringLiteral("Export &CSV\u2026"));
    auto* image = new QPushButton(QStringLiteral("Export &plot\u2026"));
    connect(csv, &QPushButton::clicked, this, &HistoryWindow::AskCsvPath);
    connect(image, &QPushButton::clicked, this, &HistoryWindow::AskPlotPath);
    auto* footer = new QHBoxLayout;
    footer->addWidget(m_status);
    footer->addStretch();
    footer->addWidget(m_pointer);
    footer->addSpacing(12);
    footer->addWidget(csv);
    footer->addWidget(image);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildControls());
    layout->addWidget(body, 1);
    layout->addLayout(footer);
    resize(1100, 720);

    connect(&m_watcher, &QFutureWatcher<History>::finished, this,
            [this] { Show(m_watcher.result()); });
    Reload();
}

HistoryWindow::~HistoryWindow() {
    if (m_cancel) {
        *m_cancel = true;
    }
    m_watcher.waitForFinished();
}

QWidget* HistoryWindow::BuildControls() {
    m_range = new QComboBox;
    for (const RangeChoiceName& choice : kRangeChoices) {
        m_range->addItem(QString::fromUtf8(choice.label), static_cast<int>(choice.choice));
    }
    const RangeChoice range = SavedHistoryRange().value_or(RangeChoice::kWeek);
    m_range->setCurrentIndex(m_range->findData(static_cast<int>(range)));
    const QDateTime now = QDateTime::currentDateTime();
    m_from = new QDateTimeEdit(now.addDays(-7));
    m_to = new QDateTimeEdit(now);
    for (QDateTimeEdit* edit : {m_from, m_to}) {
        edit->setCalendarPopup(true);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
        connect(edit, &QDateTimeEdit::dateTimeChanged, this, &HistoryWindow::Reload);
    }
    const auto rangeChosen = [this] {
        const auto choice = static_cast<RangeChoice>(m_range->currentData().toInt());
        m_from->setEnabled(choice == RangeChoice::kDates);
        m_to->setEnabled(choice == RangeChoice::kDates);
        return choice;
    };
    rangeChosen();
    connect(m_range, &QComboBox::currentIndexChanged, this, [this, rangeChosen] {
        SaveHistoryRange(rangeChosen());
        Reload();
    });
    m_recording = new QCheckBox(QStringLiteral("&Record every converted beacon"));
    m_recording->setChecked(RecordingEnabled());
    connect(m_recording, &QCheckBox::toggled, this, [](bool on) { SetRecordingEnabled(on); });

    auto* controls = new QWidget;
    auto* row = new QHBoxLayout(controls);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(new QLabel(QStringLiteral("Time range:")));
    row->addWidget(m_range);
    row->addWidget(new QLabel(QStringLiteral("from")));
    row->addWidget(m_from);
    row->addWidget(new QLabel(QStringLiteral("to")));
    row->addWidget(m_to);
    row->addStretch();
    row->addWidget(m_recording);
    return controls;
}

QWidget* HistoryWindow::BuildQuantityList() {
    m_quantities = new QListWidget;
    const std::vector<std::string> ticked = SavedHistoryQuantities().value_or(kFirstTicked);
    for (const archive::PlotQuantity& quantity : archive::PlotQuantities()) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1 (%2)").arg(quantity.label, quantity.unit), m_quantities);
        item->setData(Qt::UserRole, QString::fromStdString(quantity.field));
        const bool tick = std::find(ticked.begin(), ticked.end(), quantity.field) != ticked.end();
        item->setCheckState(tick ? Qt::Checked : Qt::Unchecked);
    }
    m_quantities->setMaximumWidth(260);
    connect(m_quantities, &QListWidget::itemChanged, this, [this] {
        SaveHistoryQuantities(Ticked());
        Reload();
    });
    return m_quantities;
}

void HistoryWindow::SetTicked(const std::vector<std::string>& fields) {
    const QSignalBlocker blocker(m_quantities);
    for (int row = 0; row < m_quantities->count(); ++row) {
        QListWidgetItem* item = m_quantities->item(row);
        const std::string field = item->data(Qt::UserRole).toString().toStdString();
        const bool ticked = std::find(fields.begin(), fields.end(), field) != fields.end();
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    }
    SaveHistoryQuantities(Ticked());
    Reload();
}

std::vector<std::string> HistoryWindow::Ticked() const {
    std::vector<std::string> fields;
    for (int row = 0; row < m_quantities->count(); ++row) {
        if (m_quantities->item(row)->checkState() == Qt::Checked) {
            fields.push_back(m_quantities->item(row)->data(Qt::UserRole).toString().toStdString());
        }
    }
    return fields;
}

void HistoryWindow::SetRange(RangeChoice choice) {
    m_range->setCurrentIndex(m_range->findData(static_cast<int>(choice)));
}

void HistoryWindow::SetDates(const QDateTime& from, const QDateTime& to) {
    {
        const QSignalBlocker fromBlocker(m_from);
        const QSignalBlocker toBlocker(m_to);
        m_from->setDateTime(from.toLocalTime());
        m_to->setDateTime(to.toLocalTime());
    }
    if (m_range->currentData().toInt() == static_cast<int>(RangeChoice::kDates)) {
        Reload();
    } else {
        SetRange(RangeChoice::kDates);
    }
}

void HistoryWindow::Reload() {
    if (m_loading) {  // a newer choice: stop the load running and start again when it ends
        *m_cancel = true;
        m_reloadWanted = true;
        return;
    }
    HistoryRequest request;
    request.archivePath = m_archivePath;
    request.choice = static_cast<RangeChoice>(m_range->currentData().toInt());
    request.nowMs = QDateTime::currentMSecsSinceEpoch();
    request.fromMs = m_from->dateTime().toMSecsSinceEpoch();
    request.toMs = m_to->dateTime().toMSecsSinceEpoch();
    request.ticked = Ticked();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    request.cancel = m_cancel;
    m_loading = true;
    m_reloadWanted = false;
    m_status->setText(QStringLiteral("Loading\u2026"));
    m_watcher.setFuture(QtConcurrent::run(LoadHistory, request));
}

void HistoryWindow::Show(const History& history) {
    m_loading = false;
    if (m_reloadWanted) {  // the operator changed the choice meanwhile
        Reload();
        return;
    }
    m_history = history;
    m_model->SetHistory(history, m_archivePath);
    m_table->resizeColumnToContents(0);
    const std::vector<std::string> plotted(
        history.fields.begin(),
        history.fields.begin() + static_cast<std::ptrdiff_t>(history.tickedCount));
    archive::DrawHistory(*m_plot, plotted, *history.data);
    AllowTimeZoomAndPan(*m_plot);
    const std::size_t count = history.data->times.size();
    if (!history.problem.isEmpty()) {
        m_status->setText(history.problem);
    } else if (count == 0) {
        m_status->setText(QStringLiteral("No beacons in this time range"));
    } else {
        m_status->setText(
            QStringLiteral("%1 beacons, %2 to %3")
                .arg(count)
                .arg(TimeText(history.data->times.front()), TimeText(history.data->times.back())));
    }
    m_pointer->clear();
    emit historyShown();
}

QString HistoryWindow::StatusText() const {
    return m_status->text();
}

QString HistoryWindow::PointerText() const {
    return m_pointer->text();
}

void HistoryWindow::ShowValueAt(const QPoint& position) {
    QCPAxisRect* rect = m_plot->axisRectAt(position);
    if (rect == nullptr || m_history.data->times.empty()) {
        m_pointer->clear();
        return;
    }
    const double time = rect->axis(QCPAxis::atBottom)->pixelToCoord(position.x());
    QStringList parts{TimeText(time)};
    const QString unit = rect->axis(QCPAxis::atLeft)->label();
    for (QCPGraph* graph : rect->graphs()) {
        if (graph->valueAxis() != rect->axis(QCPAxis::atLeft)) {
            continue;  // the recalibration marks
        }
        if (const auto value = ValueNear(*graph, time)) {
            parts << QStringLiteral("%1 %2 %3").arg(graph->name()).arg(*value, 0, 'f', 2).arg(unit);
        }
    }
    m_pointer->setText(parts.join(QStringLiteral(" \u00b7 ")));
}

bool HistoryWindow::ExportCsv(const QString& path, QString& error) const {
    const WriteResult result = WriteFileSafely(QFile::encodeName(path).toStdString(),
                                               HistoryCsv(*m_history.data, m_history.fields));
    if (result.outcome != WriteOutcome::kWritten) {
        error = QStringLiteral("Cannot write '%1': %2")
                    .arg(path, QString::fromLocal8Bit(result.reason));
        return false;
    }
    return true;
}

bool HistoryWindow::ExportPlot(const QString& path, QString& error) {
    return archive::SavePlot(*m_plot, path, m_plot->width(), m_plot->height(), error);
}

void HistoryWindow::AskCsvPath() {
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export CSV"),
                                                      QStringLiteral("history.csv"),
                                                      QStringLiteral("CSV files (*.csv)"));
    if (QString error; !path.isEmpty() && !ExportCsv(path, error)) {
        QMessageBox::warning(this, QStringLiteral("Export CSV"), error);
    }
}

void HistoryWindow::AskPlotPath() {
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Export plot"), QStringLiteral("history.png"),
        QStringLiteral("PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)"));
    if (QString error; !path.isEmpty() && !ExportPlot(path, error)) {
        QMessageBox::warning(this, QStringLiteral("Export plot"), error);
    }
}

}  // namespace telvane
