#pragma once

// The history window: the archive's beacons over a chosen time range, as a table and as plots of
// the quantities the operator ticks, with zoom, pan, the value under the pointer, and export.
// Series load on a worker thread; a newer choice replaces a load still running.

#include <QFutureWatcher>
#include <QWidget>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "history_query.h"

class QCheckBox;
class QComboBox;
class QCustomPlot;
class QDateTimeEdit;
class QLabel;
class QListWidget;
class QMouseEvent;
class QTableView;

namespace telvane {

class HistoryTableModel;

class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    explicit HistoryWindow(QString archivePath, QWidget* parent = nullptr);
    ~HistoryWindow() override;

    // What the operator does, for the window's own controls and for tests.
    void SetTicked(const std::vector<std::string>& fields);
    std::vector<std::string> Ticked() const;
    void SetRange(RangeChoice choice);
    void SetDates(const QDateTime& from, const QDateTime& to);  // and chooses Dates
    bool ExportCsv(const QString& path, QString& error) const;
    bool ExportPlot(const QString& path, QString& error);

    QCustomPlot* Plot() const { return m_plot; }
    QTableView* Table() const { return m_table; }
    QCheckBox* RecordingBox() const { return m_recording; }
    const History& Shown() const { return m_history; }
    bool Loading() const { return m_loading; }
    QString StatusText() const;
    QString PointerText() const;
    // The value under the pointer at `position` in the plot's coordinates.
    void ShowValueAt(const QPoint& position);

signals:
    // The newest load is shown.
    void historyShown();

private:
    QWidget* BuildControls();
    QWidget* BuildQuantityList();
    void Reload();
    void Show(const History& history);
    void AskCsvPath();
    void AskPlotPath();

    QString m_archivePath;
    QComboBox* m_range = nullptr;
    QDateTimeEdit* m_from = nullptr;
    QDateTimeEdit* m_to = nullptr;
    QCheckBox* m_recording = nullptr;
    QListWidget* m_quantities = nullptr;
    QCustomPlot* m_plot = nullptr;
    QTableView* m_table = nullptr;
    HistoryTableModel* m_model = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_pointer = nullptr;
    QFutureWatcher<History> m_watcher;
    std::shared_ptr<std::atomic<bool>> m_cancel;  // of the load running
    int m_generation = 0;
    bool m_loading = false;
    bool m_reloadWanted = false;
    History m_history;
};

}  // namespace telvane
