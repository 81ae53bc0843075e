#include "beacon_recorder.h"

#include <cmath>

#include "archive.h"
#include "archive_time.h"
#include "beacon_writer.h"

namespace telvane::archive {

BeaconRecorder::BeaconRecorder(const QString& archivePath, BeaconSource source,
                               const LocalTime& conversionTime, const QDateTime& receivedUtc)
    : m_source(std::move(source)), m_receivedUtc(receivedUtc) {
    const QString path = archivePath.isEmpty() ? DefaultArchivePath() : archivePath;
    QString error;
    m_archive = Archive::Open(path, Access::kWrite, error);
    if (m_archive) {
        m_writer = std::make_unique<BeaconWriter>(*m_archive, conversionTime);
        error = m_writer->Error();
    }
    if (!error.isEmpty()) {
        m_warning = QStringLiteral("beacons are not recorded: %1").arg(error);
    }
}

BeaconRecorder::~BeaconRecorder() = default;

void BeaconRecorder::Add(const std::array<std::string, kLineCount>& lines, SourcePosition position,
                         const CopyMeasures* copy) {
    if (!m_warning.isEmpty()) {
        return;
    }
    m_beacon.lines = lines;
    m_beacon.position = position;
    m_beacon.copy = copy ? std::optional<CopyMeasures>(*copy) : std::nullopt;
    m_beacon.receivedUtc =
        position.offsetSeconds
            ? m_receivedUtc.addMSecs(std::llround(*position.offsetSeconds * 1000.0))
            : m_receivedUtc;
    if (!m_writer->Add(m_source, m_beacon)) {
        m_warning = QStringLiteral("beacons are not recorded in '%1': %2")
                        .arg(m_archive->Path(), m_writer->Error());
    }
}

RecordResult BeaconRecorder::Finish() {
    RecordResult result;
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
