#include "series_loader.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

#include "archive_columns.h"
#include "sqlite_statement.h"

namespace telvane::archive {

bool IsPlottableField(const std::string& name) {
    for (const FieldColumn& column : FieldColumns()) {
        if (column.name == name) {
            return column.kind == FieldKind::kCount || column.kind == FieldKind::kNumber;
        }
    }
    return false;
}

namespace {

// All of an archive is read fastest in storage order and then put in time order here (it mostly
// is already); a part of it is found through the time index, already in order.
std::string SeriesQuery(const std::string& columns, const TimeRange& range) {
    const std::string table = std::string(kBeaconTable);
    if (!range.fromMs && !range.toMs) {
        return columns + " FROM " + table + " NOT INDEXED";
    }
    return columns + " FROM " + table + RangeCondition(range) + " ORDER BY received_utc_ms, id";
}

template <typename T>
void Permute(std::vector<T>& values, const std::vector<std::size_t>& order) {
    std::vector<T> sorted;
    sorted.reserve(values.size());
    for (const std::size_t k : order) {
        sorted.push_back(values[k]);
    }
    values = std::move(sorted);
}

void PutInTimeOrder(SeriesData& data) {
    const auto before = [&](std::size_t a, std::size_t b) {
        return std::pair(data.times[a], data.rowIds[a]) < std::pair(data.times[b], data.rowIds[b]);
    };
    std::vector<std::size_t> order(data.times.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (std::is_sorted(order.begin(), order.end(), before)) {
        return;
    }
    std::sort(order.begin(), order.end(), before);
    Permute(data.times, order);
    Permute(data.rowIds, order);
    Permute(data.recalibrated, order);
    for (std::vector<double>& series : data.values) {
        Permute(series, order);
    }
}

}  // namespace

bool LoadSeries(const Archive& archive, const TimeRange& range,
                const std::vector<std::string>& fields, SeriesData& out, QString& error,
                const std::atomic<bool>* cancel) {
    std::string sql = "SELECT received_utc_ms, reference_recalibrated, id";
    for (const std::string& field : fields) {
        if (!IsPlottableField(field)) {
            error = QStringLiteral("unknown field '%1'").arg(QString::fromStdString(field));
            return false;
        }
        sql += ", " + field;
    }
    Statement query(archive.Handle(), SeriesQuery(sql, range));
    if (!query.Ok()) {
        error = SqliteError(archive.Handle());
        return false;
    }
    BindRange(query.Get(), range);
    out = SeriesData{};
    out.values.resize(fields.size());
    constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
    int status = SQLITE_ROW;
    constexpr std::size_t kCancelCheckRows = 16384;
    while ((status = query.Step()) == SQLITE_ROW) {
        if (cancel != nullptr && out.times.size() % kCancelCheckRows == 0 && cancel->load()) {
            error = QString::fromLatin1(kLoadCancelled);
            return false;
        }
        out.times.push_back(static_cast<double>(query.Count(0)) / 1000.0);
        out.recalibrated.push_back(query.Count(1) != 0);
        out.rowIds.push_back(query.Count(2));
        for (std::size_t k = 0; k < fields.size(); ++k) {
            const int column = static_cast<int>(k) + 3;
            const int type = sqlite3_column_type(query.Get(), column);
            const double value =
                type == SQLITE_INTEGER || type == SQLITE_FLOAT ? query.Number(column) : kGap;
            out.values[k].push_back(std::isfinite(value) ? value : kGap);
        }
    }
    if (status != SQLITE_DONE) {
        error = SqliteError(archive.Handle());
        return false;
    }
    PutInTimeOrder(out);
    return true;
}

std::vector<QString> SourceLabels(const Archive& archive, const std::vector<qint64>& rowIds) {
    Statement query(archive.Handle(),
                    "SELECT source_kind, source_name, source_line, source_offset_s FROM " +
                        std::string(kBeaconTable) + " WHERE id = ?1");
    std::vector<QString> labels;
    labels.reserve(rowIds.size());
    for (const qint64 id : rowIds) {
        query.Reset();
        sqlite3_bind_int64(query.Get(), 1, id);
        if (!query.Ok() || query.Step() != SQLITE_ROW) {
            labels.emplace_back();
            continue;
        }
        const QString name = QFileInfo(QString::fromUtf8(query.Text(1))).fileName();
        QString label = name.isEmpty() ? QString::fromUtf8(query.Text(0)) : name;
        if (!query.IsNull(2)) {
            label += QStringLiteral(":%1").arg(query.Count(2));
        }
        if (!query.IsNull(3)) {
            label += QStringLiteral(" @ %1 s").arg(query.Number(3), 0, 'f', 1);
        }
        labels.push_back(label);
    }
    return labels;
}

std::optional<qint64> LastPassStartMs(const Archive& archive, qint64 gapSeconds) {
    Statement query(archive.Handle(), "SELECT received_utc_ms FROM " + std::string(kBeaconTable) +
                                          " ORDER BY received_utc_ms DESC");
    std::optional<qint64> start;
    while (query.Ok() && query.Step() == SQLITE_ROW) {
        const qint64 time = query.Count(0);
        if (start && *start - time > gapSeconds * 1000) {
            break;
        }
        start = time;
    }
    return start;
}

}  // namespace telvane::archive
