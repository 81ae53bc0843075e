#include "archive_time.h"

#include <QTimeZone>

namespace telvane::archive {

std::optional<QDateTime> LocalToUtc(const QDate& date, const QTime& time) {
    if (!date.isValid() || !time.isValid()) {
        return std::nullopt;
    }
    // The offsets in force a day before and a day after bracket any change of the clocks;
    // each gives a candidate that is right only if the zone agrees at that instant.
    constexpr qint64 kDay = 86400;
    const QDateTime naive(date, time, QTimeZone::utc());
    const QTimeZone zone = QTimeZone::systemTimeZone();
    std::optional<QDateTime> first;
    for (const qint64 probe : {-kDay, kDay}) {
        const int offset = zone.offsetFromUtc(naive.addSecs(probe));
        const QDateTime utc = naive.addSecs(-offset);
        if (zone.offsetFromUtc(utc) == offset && (!first || utc < *first)) {
            first = utc;
        }
    }
    return first;
}

std::optional<QDateTime> LocalToUtc(const LocalTime& time) {
    return LocalToUtc(QDate(time.year, time.month, time.day),
                      QTime(time.hour, time.minute, time.second));
}

std::optional<QDateTime> ParseTimeArgument(const QString& text, bool endOfDay) {
    constexpr qsizetype kLocalShape = 19;  // 'YYYY-MM-DD HH:MM:SS'
    if (text.size() == kLocalShape && text[10] == u' ') {
        return LocalToUtc(QDate::fromString(text.left(10), Qt::ISODate),
                          QTime::fromString(text.mid(11), QStringLiteral("HH:mm:ss")));
    }
    constexpr qsizetype kDateShape = 10;  // 'YYYY-MM-DD'
    if (const QDate date = QDate::fromString(text, Qt::ISODate);
        text.size() == kDateShape && date.isValid()) {
        return LocalToUtc(endOfDay ? date.addDays(1) : date, QTime(0, 0));
    }
    const QDateTime iso = QDateTime::fromString(text, Qt::ISODate);
    if (!iso.isValid() || !text.contains(u'T')) {
        return std::nullopt;
    }
    if (iso.timeSpec() == Qt::LocalTime) {
        return LocalToUtc(iso.date(), iso.time());
    }
    return iso.toUTC();
}

}  // namespace telvane::archive
