#pragma once

// The commands of telvane-archive. Each returns the exit status: 0 success, 2 bad input,
// 1 when the archive or the output failed.

#include <QString>
#include <string_view>

#include "archive_options.h"

namespace telvane::archive {
class StoredParts;
}

namespace telvane::cli {

class OutputSink;

// Prints "telvane-archive: message" on standard error (clearing a progress line first) and
// gives back `status`.
int ArchiveFail(int status, const QString& message);
void ArchiveMessage(const QString& message);

int RunImport(const ArchiveOptions& options);
int RunExport(const ArchiveOptions& options);
int RunStats(const ArchiveOptions& options);
// Needs a QApplication: the plot is drawn by a widget.
int RunPlot(const ArchiveOptions& options);

// The work of an export: the beacons of `parts` rendered by `readers` threads, each reading
// on a connection of its own, and written to `sink` in export order by the calling thread.
// False when writing failed; a failed read is in `readError`.
bool ExportParts(archive::StoredParts& parts, bool json, OutputSink& sink, unsigned readers,
                 QString& readError);

// The archive named by --archive, or the default one.
QString ArchivePathOf(const ArchiveOptions& options);

}  // namespace telvane::cli
