#include "beacon_archiving.h"

#include <QFile>

#include "terminal_messages.h"

namespace telvane::cli {

BeaconArchiving::BeaconArchiving(const Options& options, archive::BeaconSource source,
                                 const LocalTime& conversionTime, const QDateTime& receivedUtc) {
    if (options.archivePath) {
        m_recorder = std::make_unique<archive::BeaconRecorder>(
            QFile::decodeName(QByteArray::fromStdString(*options.archivePath)), std::move(source),
            conversionTime, receivedUtc);
    }
}

BeaconArchiving::~BeaconArchiving() = default;

void BeaconArchiving::Add(const std::array<std::string, kLineCount>& lines,
                          const archive::SourcePosition& position, const CopyMeasures* copy) {
    if (m_recorder) {
        m_recorder->Add(lines, position, copy);
    }
}

void BeaconArchiving::Finish() {
    if (!m_recorder) {
        return;
    }
    const archive::RecordResult result = m_recorder->Finish();
    m_recorder.reset();
    if (!result.warning.isEmpty()) {
        StandardMessages().Say("warning: " + result.warning.toStdString());
    }
}

archive::BeaconSource LogSource(const Options& options) {
    return {archive::SourceKind::kLog,
            archive::SourceNameOf(QFile::decodeName(QByteArray::fromStdString(options.inputPath)))};
}

QDateTime LogReceptionTime(const Options& options) {
    return archive::ReceptionTime(options.time);
}

}  // namespace telvane::cli
