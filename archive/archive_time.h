#pragma once

// Times as the archive keeps them (UTC) and as operators type them (local time).

#include <QDateTime>
#include <QString>
#include <optional>

#include "local_time.h"

namespace telvane::archive {

// The UTC instant of a local wall-clock time in this machine's zone. A time the clocks skip
// does not exist (nothing); a time they repeat is taken at its first occurrence.
std::optional<QDateTime> LocalToUtc(const QDate& date, const QTime& time);
std::optional<QDateTime> LocalToUtc(const LocalTime& time);

// Reads a time given on the command line: 'YYYY-MM-DD HH:MM:SS' or 'YYYY-MM-DD' in local time,
// or ISO 8601 ('2024-03-05T09:07:00', with 'Z' or an offset for a time that is not local). A
// lone date means its first second, or with `endOfDay` the first second of the next day.
std::optional<QDateTime> ParseTimeArgument(const QString& text, bool endOfDay);

}  // namespace telvane::archive
