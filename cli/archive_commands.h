#pragma once

// The commands of telvane-archive. Each returns the exit status: 0 success, 2 bad input,
// 1 when the archive or the output failed.

#include <QString>
#include <string_view>

#include "archive_options.h"

namespace telvane::cli {

// Prints "telvane-archive: message" on standard error (clearing a progress line first) and
// gives back `status`.
int ArchiveFail(int status, const QString& message);
void ArchiveMessage(const QString& message);

int RunImport(const ArchiveOptions& options);
int RunExport(const ArchiveOptions& options);
int RunStats(const ArchiveOptions& options);
// Needs a QApplication: the plot is drawn by a widget.
int RunPlot(const ArchiveOptions& options);

// The archive named by --archive, or the default one.
QString ArchivePathOf(const ArchiveOptions& options);

}  // namespace telvane::cli
