#include "archive_commands.h"

#include <QFile>
#include <QTimeZone>
#include <cstdio>
#include <iostream>

#include "archive.h"
#include "archive_stats.h"
#include "batch_log.h"
#include "beacon_recorder.h"
#include "convert_commands.h"
#include "recording_decoding.h"
#include "recording_time.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

using archive::Access;

constexpr std::string_view kImported = "beacons imported";
using archive::Archive;

struct InputBytes {
    QFile file;
    QByteArray read;         // standard input, or a file that cannot be mapped
    std::string_view bytes;  // the whole input
};

bool ReadInput(const QString& path, InputBytes& input, QString& error) {
    const bool fromStdin = path == u"-";
    const bool opened = fromStdin
                            ? input.file.open(stdin, QIODevice::ReadOnly)
                            : (input.file.setFileName(path), input.file.open(QIODevice::ReadOnly));
    if (!opened) {
        error = QStringLiteral("cannot open '%1': %2").arg(path, input.file.errorString());
        return false;
    }
    const qint64 size = fromStdin ? 0 : input.file.size();
    if (const uchar* mapped = size > 0 ? input.file.map(0, size) : nullptr) {
        input.bytes =
            std::string_view(reinterpret_cast<const char*>(mapped), static_cast<std::size_t>(size));
        return true;
    }
    input.read = input.file.readAll();
    if (input.file.error() != QFileDevice::NoError) {
        error = QStringLiteral("cannot read '%1': %2").arg(path, input.file.errorString());
        return false;
    }
    input.bytes =
        std::string_view(input.read.constData(), static_cast<std::size_t>(input.read.size()));
    return true;
}

// Commits one input's beacons and says how many were new.
int FinishImport(archive::BeaconRecorder& recorder, const QString& path) {
    const archive::RecordResult result = recorder.Finish();
    if (!result.warning.isEmpty()) {
        return ArchiveFail(kExitOutputFailure, result.warning);
    }
    ArchiveMessages().ClearProgress();
    std::printf("%s: %zu beacons added, %zu already in the archive\n", qPrintable(path),
                result.added, result.duplicates);
    return 0;
}

int ImportLog(const ArchiveOptions& options, const QString& path, std::size_t& done) {
    InputBytes input;
    QString error;
    if (!ReadInput(path, input, error)) {
        return ArchiveFail(kExitBadInput, error);
    }
    const LocalTime time = options.time.value_or(CurrentLocalTime());
    const QDateTime received = options.time ? options.timeUtc : QDateTime::currentDateTimeUtc();
    archive::BeaconRecorder recorder(ArchivePathOf(options),
                                     {archive::SourceKind::kLog, archive::SourceNameOf(path)}, time,
                                     received);
    if (!recorder.Warning().isEmpty()) {
        return ArchiveFail(kExitOutputFailure, recorder.Warning());
    }
    SplitLog(
        input.bytes, options.inputEncoding,
        [&](const LogBeacon& beacon) {
            recorder.Add(beacon.lines, {static_cast<long long>(beacon.firstLine), std::nullopt});
            ArchiveMessages().Progress(++done, kImported);
        },
        [&](std::size_t line, std::string_view problem) {
            ArchiveMessage(QStringLiteral("%1:%2: skipped, %3")
                               .arg(path)
                               .arg(line)
                               .arg(QString::fromUtf8(problem.data(),
                                                      static_cast<qsizetype>(problem.size()))));
        });
    return FinishImport(recorder, path);
}

int ImportRecording(const ArchiveOptions& options, const QString& path, std::size_t& done) {
    const DecodedRecording decoded = DecodeRecording(QFile::encodeName(path).toStdString(), {});
    if (!decoded.error.empty()) {
        return ArchiveFail(kExitBadInput, QStringLiteral("cannot read '%1': %2")
                                              .arg(path, QString::fromLocal8Bit(decoded.error)));
    }
    const QDateTime start =
        options.startUtc.value_or(archive::RecordingStartUtc(path, decoded.seconds));
    archive::BeaconRecorder recorder(ArchivePathOf(options),
                                     {archive::SourceKind::kRecording, archive::SourceNameOf(path)},
                                     CurrentLocalTime(), start);
    for (const morse::CopiedBeacon& beacon : decoded.beacons) {
        const CopyMeasures copy = MeasuresOf(beacon);
        recorder.Add(LinesOf(beacon), {std::nullopt, beacon.startSeconds}, &copy);
        ArchiveMessages().Progress(++done, kImported);
    }
    return FinishImport(recorder, path);
}

// How each input is imported: a recording is decoded, everything else is read as a batch log.
struct Importer {
    bool (*accepts)(const QString& path);
    int (*run)(const ArchiveOptions&, const QString&, std::size_t&);
};

constexpr Importer kImporters[] = {
    {[](const QString& path) {
         return path != u"-" && IsRecording(QFile::encodeName(path).toStdString());
     },
     ImportRecording},
    {[](const QString&) { return true; }, ImportLog},
};

std::unique_ptr<Archive> OpenForReading(const ArchiveOptions& options, QString& error) {
    return Archive::Open(ArchivePathOf(options), Access::kRead, error);
}

QString FormatUtc(qint64 ms) {
    return QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()).toString(Qt::ISODate);
}

QString FormatNumber(const std::optional<double>& value) {
    return value ? QString::number(*value, 'g', 10) : QStringLiteral("-");
}

}  // namespace

QString ArchivePathOf(const ArchiveOptions& options) {
    return options.archivePath.isEmpty() ? archive::DefaultArchivePath() : options.archivePath;
}

void ArchiveMessage(const QString& message) {
    ArchiveMessages().Say(message.toStdString());
}

int ArchiveFail(int status, const QString& message) {
    ArchiveMessage(message);
    return status;
}

int RunImport(const ArchiveOptions& options) {
    std::size_t done = 0;
    int status = 0;
    for (const QString& path : options.arguments) {
        for (const Importer& importer : kImporters) {
            if (importer.accepts(path)) {
                const int result = importer.run(options, path, done);
                status = status == 0 ? result : status;
                break;
            }
        }
        if (status == kExitOutputFailure) {
            break;  // the archive failed: the other inputs would fail the same way
        }
    }
    ArchiveMessages().ClearProgress();
    return status;
}

int RunStats(const ArchiveOptions& options) {
    QString error;
    const std::unique_ptr<Archive> archive = OpenForReading(options, error);
    archive::ArchiveSummary summary;
    if (!archive || !archive::SummarizeArchive(*archive, summary, error)) {
        return ArchiveFail(kExitOutputFailure, error);
    }
    QString out =
        QStringLiteral("archive: %1\nbeacons: %2\n").arg(archive->Path()).arg(summary.beacons);
    for (const auto& [kind, count] : summary.bySource) {
        out += QStringLiteral("  from %1: %2\n").arg(QString::fromStdString(kind)).arg(count);
    }
    if (summary.firstMs) {
        out += QStringLiteral("first: %1\nlast: %2\n")
                   .arg(FormatUtc(*summary.firstMs), FormatUtc(*summary.lastMs));
    }
    out += QStringLiteral("%1 %2 %3 %4 %5\n")
               .arg(QStringLiteral("field"), -34)
               .arg(QStringLiteral("count"), 9)
               .arg(QStringLiteral("minimum"), 14)
               .arg(QStringLiteral("maximum"), 14)
               .arg(QStringLiteral("latest"), 14);
    for (const archive::FieldSummary& field : summary.fields) {
        out += QStringLiteral("%1 %2 %3 %4 %5\n")
                   .arg(QString::fromStdString(field.name), -34)
                   .arg(field.count, 9)
                   .arg(FormatNumber(field.minimum), 14)
                   .arg(FormatNumber(field.maximum), 14)
                   .arg(FormatNumber(field.latest), 14);
    }
    std::cout << out.toStdString();
    std::cout.flush();
    return std::cout
               ? 0
               : ArchiveFail(kExitOutputFailure, QStringLiteral("cannot write the statistics"));
}

}  // namespace telvane::cli
