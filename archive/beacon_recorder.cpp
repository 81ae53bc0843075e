#include "beacon_recorder.h"

#include <cmath>

#include "archive.h"
#include "archive_time.h"
#include "beacon_writer.h"

namespace telvane::archive {
namespace {

constexpr std::size_t kBatchSize = 2048;

}  // namespace

BeaconRecorder::BeaconRecorder(const QString& archivePath, BeaconSource source,
                               const LocalTime& conversionTime, const QDateTime& receivedUtc)
    : m_source(std::move(source)), m_receivedUtc(receivedUtc) {
    const QString path = archivePath.isEmpty() ? DefaultArchivePath() : archivePath;
    QString error;
    m_archive = Archive::Open(path, Access::kWrite, error);
    if (m_archive) {
        m_writer = std::make_unique<BeaconWriter>(*m_archive, conversionTime);
        m_preparer = std::make_unique<BeaconPreparer>(conversionTime);
        error = m_writer->Error();
    }
    if (!error.isEmpty()) {
        m_warning = QStringLiteral("beacons are not recorded: %1").arg(error);
    }
}

BeaconRecorder::~BeaconRecorder() {
    if (m_preparing.valid()) {
        m_preparing.wait();  // the worker uses the preparer
    }
}

void BeaconRecorder::Add(const std::array<std::string, kLineCount>& lines, SourcePosition position,
                         const CopyMeasures* copy) {
    if (!m_warning.isEmpty()) {
        return;
    }
    const QDateTime received =
        position.offsetSeconds
            ? m_receivedUtc.addMSecs(std::llround(*position.offsetSeconds * 1000.0))
            : m_receivedUtc;
    m_pending.push_back({lines, received, position,
                         copy != nullptr ? std::optional<CopyMeasures>(*copy) : std::nullopt});
    if (m_pending.size() == kBatchSize) {
        Flush();
    }
}

void BeaconRecorder::Flush() {
    PreparedBatch ready = m_preparing.valid() ? m_preparing.get() : PreparedBatch{};
    if (!m_pending.empty()) {
        m_preparing = std::async(std::launch::async, [this, batch = std::move(m_pending)] {
            PreparedBatch prepared(batch.size());
            for (std::size_t k = 0; k < batch.size(); ++k) {
                m_preparer->Prepare(m_source, batch[k], prepared[k]);
            }
            return prepared;
        });
        m_pending = Batch{};
        m_pending.reserve(kBatchSize);
    }
    Store(ready);
}

void BeaconRecorder::Store(const PreparedBatch& batch) {
    for (const PreparedBeacon& beacon : batch) {
        if (!m_warning.isEmpty()) {
            return;
        }
        if (!m_writer->Store(m_source, beacon)) {
            m_warning = QStringLiteral("beacons are not recorded in '%1': %2")
                            .arg(m_archive->Path(), m_writer->Error());
        }
    }
}

RecordResult BeaconRecorder::Finish() {
    RecordResult result;
    if (m_warning.isEmpty()) {
        Flush();  // prepares what is left and stores the batch before
        Flush();  // stores what is left
    }
    if (m_warning.isEmpty() && !m_writer->Commit()) {
        m_warning = QStringLiteral("beacons are not recorded in '%1': %2")
                        .arg(m_archive->Path(), m_writer->Error());
    }
    result.warning = m_warning;
    if (m_warning.isEmpty()) {
        result.added = m_writer->Added();
        result.duplicates = m_writer->Duplicates();
    }
    m_writer.reset();
    return result;
}

RecordResult RecordBeacon(const QString& archivePath, const BeaconSource& source,
                          const std::array<std::string, kLineCount>& lines,
                          const LocalTime& conversionTime, const QDateTime& receivedUtc) {
    BeaconRecorder recorder(archivePath, source, conversionTime, receivedUtc);
    recorder.Add(lines);
    return recorder.Finish();
}

QDateTime ReceptionTime(const std::optional<LocalTime>& given) {
    const std::optional<QDateTime> utc = given ? LocalToUtc(*given) : std::nullopt;
    return utc.value_or(QDateTime::currentDateTimeUtc());
}

}  // namespace telvane::archive
