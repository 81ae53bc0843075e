#include "archive_time.h"

#include <QTimeZone>

namespace telvane::archive {

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
