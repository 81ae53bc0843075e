#pragma once

// Times as the archive keeps them (UTC) and as operators type them (local time).

#include <QDateTime>
#include <QString>
#include <optional>

#include "local_time.h"
#include "local_time_zone.h"

namespace telvane::archive {

// Reads a time given on the command line: 'YYYY-MM-DD HH:MM:SS' or 'YYYY-MM-DD' in local time,
// or ISO 8601 ('2024-03-05T09:07:00', with 'Z' or an offset for a time that is not local). A
// lone date means its first second, or with `endOfDay` the first second of the next day.
std::optional<QDateTime> ParseTimeArgument(const QString& text, bool endOfDay);

}  // namespace telvane::archive
