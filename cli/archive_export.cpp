#include <future>

#include "archive.h"
#include "archive_commands.h"
#include "convert_commands.h"
#include "machine_output.h"
#include "report_output.h"
#include "stored_records.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

constexpr std::size_t kBatchRows = 8192;
constexpr std::size_t kJsonBytesPerRow = 2200;  // about what a beacon takes, so one allocation
constexpr std::size_t kCsvBytesPerRow = 600;

// Rows `first` up to `end` of a batch in the chosen format.
std::string Render(const archive::StoredBatch& batch, bool json, std::size_t first,
                   std::size_t end) {
    std::string out;
    out.reserve((end - first) * (json ? kJsonBytesPerRow : kCsvBytesPerRow));
    for (std::size_t row = first; row < end; ++row) {
        const FieldSource fields = [&](const FieldVisitor& visit) { batch.Visit(row, visit); };
        json ? AppendJsonRecord(out, fields) : AppendCsvRow(out, fields);
    }
    return out;
}

}  // namespace

int RunExport(const ArchiveOptions& options) {
    QString error;
    const auto archive =
        archive::Archive::Open(ArchivePathOf(options), archive::Access::kRead, error);
    if (!archive) {
        return ArchiveFail(kExitOutputFailure, error);
    }
    OutputSink sink(options.outputPath.toStdString());
    if (!sink.Open()) {
        return ArchiveFail(kExitOutputFailure, QString::fromStdString(sink.Error()));
    }
    const bool json = options.format == Format::kJson;
    bool written = json || sink.Write(CsvHeader());
    std::size_t done = 0;
    // The archive is read for the next batch while this one is rendered and written.
    archive::StoredRecordReader reader(*archive, options.range);
    archive::StoredBatch current;
    archive::StoredBatch next;
    bool more = reader.Next(current, kBatchRows);
    while (more && written) {
        // Rendering takes longer than reading: its two halves are rendered side by side.
        auto writing = std::async(std::launch::async, [&] {
            const std::size_t half = current.Rows() / 2;
            auto firstHalf =
                std::async(std::launch::async, [&] { return Render(current, json, 0, half); });
            std::string secondHalf = Render(current, json, half, current.Rows());
            return sink.Write(firstHalf.get()) && sink.Write(secondHalf);
        });
        more = reader.Next(next, kBatchRows);
        written = writing.get();
        done += current.Rows();
        ArchiveMessages().Progress(done, "beacons exported");
        std::swap(current, next);
    }
    ArchiveMessages().ClearProgress();
    if (!reader.Error().isEmpty()) {
        return ArchiveFail(
            kExitOutputFailure,
            QStringLiteral("cannot read '%1': %2").arg(archive->Path(), reader.Error()));
    }
    if (!written || !sink.Finish()) {
        return ArchiveFail(kExitOutputFailure, QString::fromStdString(sink.Error()));
    }
    return 0;
}

}  // namespace telvane::cli
