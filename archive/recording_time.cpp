#include "recording_time.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTimeZone>
#include <cmath>

#include "archive_time.h"

namespace telvane::archive {

QDateTime StartInFileName(const QString& fileName) {
    // Year, month, day, then hours, minutes, seconds, each pair with or without a separator.
    static const QRegularExpression stamp(QStringLiteral(
        R"((?<!\d)(\d{4})-?(\d{2})-?(\d{2})[_T -]?(\d{2})[-:.]?(\d{2})[-:.]?(\d{2})(Z?)(?!\d))"));
    const QRegularExpressionMatch match = stamp.match(fileName);
    if (!match.hasMatch()) {
        return {};
    }
    const auto part = [&match](int k) { return match.captured(k).toInt(); };
    const QDate date(part(1), part(2), part(3));
    const QTime time(part(4), part(5), part(6));
    if (!date.isValid() || !time.isValid()) {
        return {};
    }
    if (!match.captured(7).isEmpty()) {
        return QDateTime(date, time, QTimeZone::utc());
    }
    return LocalToUtc(date, time).value_or(QDateTime());
}

QDateTime RecordingStartUtc(const QString& path, double durationSeconds) {
    if (QDateTime named = StartInFileName(QFileInfo(path).fileName()); named.isValid()) {
        return named;
    }
    const QDateTime modified = QFileInfo(path).lastModified().toUTC();
    return modified.addMSecs(-std::llround(durationSeconds * 1000.0));
}

}  // namespace telvane::archive
