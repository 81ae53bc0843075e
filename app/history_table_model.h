#pragma once

// The history table: one row per beacon, read from the loaded series only when a row is shown,
// so a million beacons cost no more than the rows on screen. Sources are looked up per row.

#include <QAbstractTableModel>
#include <QHash>
#include <memory>
#include <string>
#include <vector>

#include "archive.h"
#include "history_query.h"

namespace telvane {

class HistoryTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    using QAbstractTableModel::QAbstractTableModel;
    ~HistoryTableModel() override;

    // Shows `history`; sources are read from the archive at `archivePath`.
    void SetHistory(const History& history, const QString& archivePath);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    QString SourceOf(int row) const;

    std::shared_ptr<const archive::SeriesData> m_data;
    std::vector<std::string> m_fields;
    std::vector<std::size_t> m_columns;  // the value shown in each column after time and source
    QString m_archivePath;
    mutable std::unique_ptr<archive::Archive> m_archive;
    mutable QHash<int, QString> m_sources;
};

}  // namespace telvane
