#include "history_query.h"

#include <QFileInfo>
#include <algorithm>

#include "archive.h"

namespace telvane {
namespace {

constexpr qint64 kDayMs = qint64{24} * 3600 * 1000;

}  // namespace

archive::TimeRange RangeFor(RangeChoice choice, qint64 nowMs, std::optional<qint64> lastPassStartMs,
                            qint64 fromMs, qint64 toMs) {
    switch (choice) {
        case RangeChoice::kLastPass:
            return {lastPassStartMs, std::nullopt};
        case RangeChoice::kDay:
            return {nowMs - kDayMs, std::nullopt};
        case RangeChoice::kWeek:
            return {nowMs - 7 * kDayMs, std::nullopt};
        case RangeChoice::kAll:
            return {};
        case RangeChoice::kDates:
            return {fromMs, toMs};
    }
    return {};
}

std::vector<std::string> FieldsToLoad(const std::vector<std::string>& ticked) {
    std::vector<std::string> fields = ticked;
    for (const char* field : kTableFields) {
        if (std::find(fields.begin(), fields.end(), field) == fields.end()) {
            fields.emplace_back(field);
        }
    }
    return fields;
}

History LoadHistory(const HistoryRequest& request) {
    History history;
    history.fields = FieldsToLoad(request.ticked);
    history.tickedCount = request.ticked.size();
    auto data = std::make_shared<archive::SeriesData>();
    if (!QFileInfo::exists(request.archivePath)) {
        history.problem = QStringLiteral("No beacons recorded yet (%1)").arg(request.archivePath);
    } else if (const auto archive = archive::Archive::Open(
                   request.archivePath, archive::Access::kRead, history.problem)) {
        const std::optional<qint64> lastPass =
            request.choice == RangeChoice::kLastPass
                ? archive::LastPassStartMs(*archive, kPassGapSeconds)
                : std::nullopt;
        const archive::TimeRange range =
            RangeFor(request.choice, request.nowMs, lastPass, request.fromMs, request.toMs);
        if (!archive::LoadSeries(*archive, range, history.fields, *data, history.problem,
                                 request.cancel.get())) {
            *data = archive::SeriesData{};
        }
    }
    history.data = std::move(data);
    return history;
}

}  // namespace telvane
