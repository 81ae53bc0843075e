#include "local_time_zone.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <vector>

namespace telvane {
namespace {

constexpr qint64 kDay = qint64{24} * 60 * 60;

int OffsetAt(const QTimeZone& zone, qint64 utcSeconds) {
    return zone.offsetFromUtc(QDateTime::fromSecsSinceEpoch(utcSeconds, QTimeZone::utc()));
}

// The instants at which the zone's clocks read `wall` (seconds of the wall-clock reading taken
// as if it were UTC): none in a gap, two in a repeated hour.
std::vector<qint64> InstantsOf(const QTimeZone& zone, qint64 wall) {
    std::vector<qint64> instants;
    for (const int offset : {OffsetAt(zone, wall - kDay), OffsetAt(zone, wall + kDay)}) {
        const qint64 instant = wall - offset;
        if (OffsetAt(zone, instant) == offset &&
            std::find(instants.begin(), instants.end(), instant) == instants.end()) {
            instants.push_back(instant);
        }
    }
    std::sort(instants.begin(), instants.end());
    return instants;
}

}  // namespace

std::optional<QDateTime> LocalToUtc(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    const qint64 wall = QDateTime(date, time, QTimeZone::utc()).toSecsSinceEpoch();
    const std::vector<qint64> instants = InstantsOf(QTimeZone::systemTimeZone(), wall);
    if (instants.empty()) {
        return std::nullopt;
    }
    return QDateTime::fromSecsSinceEpoch(instants.front(), QTimeZone::utc()).addMSecs(time.msec());
}

std::optional<QDateTime> LocalToUtc(const LocalTime& time) {
    return LocalToUtc(QDate(time.year, time.month, time.day),
                      QTime(time.hour, time.minute, time.second));
}

TypedTime ParseLocalTime(std::string_view text) {
    static const QRegularExpression shape(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2}) (\d{2}):(\d{2}):(\d{2})$)"));
    const QRegularExpressionMatch match =
        shape.match(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    const auto number = [&](int group) { return match.captured(group).toInt(); };
    const QDate date = match.hasMatch() ? QDate(number(1), number(2), number(3)) : QDate();
    const QTime clock = match.hasMatch() ? QTime(number(4), number(5), number(6)) : QTime();
    if (!date.isValid() || !clock.isValid()) {
        return {std::nullopt, TimeProblem::kMalformed};
    }
    const std::optional<QDateTime> utc = LocalToUtc(date, clock);
    if (!utc) {
        return {std::nullopt, TimeProblem::kNonexistent};
    }
    const qint64 wall = QDateTime(date, clock, QTimeZone::utc()).toSecsSinceEpoch();
    const auto offsetMinutes = static_cast<int>((wall - utc->toSecsSinceEpoch()) / 60);
    return {LocalTime{date.year(), date.month(), date.day(), clock.hour(), clock.minute(),
                      clock.second(), offsetMinutes},
            TimeProblem::kNone};
}

}  // namespace telvane
