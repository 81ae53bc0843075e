// telvane-archive: the telemetry archive for scripts: import logs, export, plot, statistics.

#include <QApplication>
#include <QCoreApplication>
#include <csignal>
#include <iostream>
#include <memory>

#include "archive_commands.h"
#include "convert_commands.h"
#include "cp932.h"

namespace {

using telvane::cli::ArchiveCommand;

int Run(const telvane::cli::ArchiveOptions& options) {
    switch (options.command) {
        case ArchiveCommand::kImport:
            return telvane::cli::RunImport(options);
        case ArchiveCommand::kExport:
            return telvane::cli::RunExport(options);
        case ArchiveCommand::kPlot:
            return telvane::cli::RunPlot(options);
        case ArchiveCommand::kStats:
            break;
    }
    return telvane::cli::RunStats(options);
}

// The program says what went wrong in its own words; the toolkit's notes (such as the offscreen
// platform's about the runtime folder) would only clutter standard error.
void DropToolkitNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::cerr << "telvane-archive: " << message.toStdString() << '\n';
    }
}

}  // namespace

int main(int argc, char** argv) {
    // A file size limit must fail the write with a message, not end the process unannounced.
    std::signal(SIGXFSZ, SIG_IGN);
    qInstallMessageHandler(DropToolkitNotes);
    QStringList arguments;
    for (int k = 1; k < argc; ++k) {
        arguments << QString::fromLocal8Bit(argv[k]);
    }
    const telvane::cli::ParsedArchiveOptions parsed = telvane::cli::ParseArchiveOptions(arguments);
    if (!parsed.error.isEmpty()) {
        return telvane::cli::ArchiveFail(telvane::cli::kExitBadInput,
                                         parsed.error + " (see --help)");
    }
    if (parsed.help) {
        std::cout << telvane::cli::ArchiveUsage().toStdString();
        return 0;
    }
    if (parsed.version) {
        std::cout << "telvane-archive " TELVANE_VERSION "\n";
        return 0;
    }
    // The plot is drawn by a widget, on the offscreen platform so that no display is needed.
    const bool plot = parsed.options.command == ArchiveCommand::kPlot;
    if (plot) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    const std::unique_ptr<QCoreApplication> app =
        plot ? std::make_unique<QApplication>(argc, argv)
             : std::make_unique<QCoreApplication>(argc, argv);
    if (!telvane::Cp932Available()) {
        return telvane::cli::ArchiveFail(telvane::cli::kExitOutputFailure,
                                         "this system cannot convert code page 932 (ICU missing)");
    }
    return Run(parsed.options);
}
