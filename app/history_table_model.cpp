#include "history_table_model.h"

#include <QDateTime>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

#include "plot_quantities.h"

namespace telvane {
namespace {

constexpr int kTimeColumn = 0;
constexpr int kSourceColumn = 1;
constexpr int kFirstValueColumn = 2;

// The table's own fields first, then whatever else is ticked.
std::vector<std::size_t> ValueColumns(const std::vector<std::string>& fields) {
    std::vector<std::size_t> columns;
    for (const char* field : kTableFields) {
        columns.push_back(static_cast<std::size_t>(std::find(fields.begin(), fields.end(), field) -
                                                   fields.begin()));
    }
    for (std::size_t k = 0; k < fields.size(); ++k) {
        if (std::find(columns.begin(), columns.end(), k) == columns.end()) {
            columns.push_back(k);
        }
    }
    return columns;
}

QString Heading(const std::string& field) {
    const archive::PlotQuantity* quantity = archive::FindQuantity(field);
    return quantity != nullptr ? QStringLiteral("%1 (%2)").arg(quantity->label, quantity->unit)
                               : QString::fromStdString(field);
}

}  // namespace

HistoryTableModel::~HistoryTableModel() = default;

void HistoryTableModel::SetHistory(const History& history, const QString& archivePath) {
    beginResetModel();
    m_data = history.data;
    m_fields = history.fields;
    m_columns = ValueColumns(m_fields);
    if (archivePath != m_archivePath) {
        m_archive.reset();
    }
    m_archivePath = archivePath;
    m_sources.clear();
    endResetModel();
}

int HistoryTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !m_data ? 0 : static_cast<int>(m_data->times.size());
}

int HistoryTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kFirstValueColumn + static_cast<int>(m_columns.size());
}

QVariant HistoryTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !m_data) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::TextAlignmentRole) {
        return index.column() >= kFirstValueColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                   : QVariant();
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    if (index.column() == kTimeColumn) {
        return QDateTime::fromMSecsSinceEpoch(std::llround(m_data->times[row] * 1000.0),
                                              QTimeZone::utc())
            .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    if (index.column() == kSourceColumn) {
        return SourceOf(index.row());
    }
    const double value =
        m_data
            ->values[m_columns[static_cast<std::size_t>(index.column() - kFirstValueColumn)]][row];
    return std::isnan(value) ? QString() : QString::number(value, 'f', 2);
}

QVariant HistoryTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section == kTimeColumn) {
        return QStringLiteral("Received (UTC)");
    }
    if (section == kSourceColumn) {
        return QStringLiteral("Source");
    }
    return Heading(m_fields[m_columns[static_cast<std::size_t>(section - kFirstValueColumn)]]);
}

QString HistoryTableModel::SourceOf(int row) const {
    if (const auto found = m_sources.constFind(row); found != m_sources.constEnd()) {
        return *found;
    }
    if (!m_archive) {
        QString error;
        m_archive = archive::Archive::Open(m_archivePath, archive::Access::kRead, error);
    }
    QString label = m_archive ? archive::SourceLabels(
                                    *m_archive, {m_data->rowIds[static_cast<std::size_t>(row)]})
                                    .front()
                              : QString();
    m_sources.insert(row, label);
    return label;
}

}  // namespace telvane
