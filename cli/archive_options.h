#pragma once

// The command line of telvane-archive: a command (import, export, plot, stats) and its options.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "local_time.h"
#include "options.h"
#include "time_range.h"

namespace telvane::cli {

enum class ArchiveCommand { kImport, kExport, kPlot, kStats };

struct ArchiveOptions {
    ArchiveCommand command = ArchiveCommand::kStats;
    QString archivePath;                // the default archive when empty
    archive::TimeRange range;           // --from, --to
    Format format = Format::kJson;      // of export
    QString outputPath;                 // -o; standard output for export when empty
    QStringList arguments;              // import: files; plot: fields
    std::optional<LocalTime> time;      // import: --time, when the logs were heard
    QDateTime timeUtc;                  // the same instant in UTC
    std::optional<QDateTime> startUtc;  // import: --start-time, when the recordings began
    Encoding inputEncoding = Encoding::kUtf8;
    int width = 1200;  // plot size in pixels (points for PDF)
    int height = 800;
};

struct ParsedArchiveOptions {
    ArchiveOptions options;
    QString error;  // empty when the command line was understood
    bool help = false;
    bool version = false;
};

// Reads the arguments after the program name.
ParsedArchiveOptions ParseArchiveOptions(const QStringList& arguments);

QString ArchiveUsage();

}  // namespace telvane::cli
