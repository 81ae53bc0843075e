#include "dialog_recording.h"

#include <algorithm>

#include "app_settings.h"
#include "beacon_recorder.h"

namespace telvane {

DialogRecording::DialogRecording(QObject* parent) : QObject(parent) {
    m_pool.setMaxThreadCount(1);  // beacons reach the archive in the order they were converted
}

DialogRecording::~DialogRecording() {
    m_pool.waitForDone();
}

void DialogRecording::Record(const ConversionState& state, const LocalTime& convertedAt) {
    std::array<std::string, kLineCount> lines;
    for (int k = 0; k < kLineCount; ++k) {
        lines[k] = state.*kLineMembers[k];
    }
    const bool heard = std::any_of(lines.begin(), lines.end(), [](auto& l) { return !l.empty(); });
    if (!heard || !RecordingEnabled()) {
        return;
    }
    m_pool.start([this, lines, convertedAt] {
        const archive::RecordResult result =
            archive::RecordBeacon(QString(), {archive::SourceKind::kDialog, QString()}, lines,
                                  convertedAt, archive::ReceptionTime(convertedAt));
        if (!result.warning.isEmpty()) {
            QMetaObject::invokeMethod(
                this, [this, warning = result.warning] { Warn(warning); }, Qt::QueuedConnection);
        }
    });
}

void DialogRecording::WaitForDone() {
    m_pool.waitForDone();
}

void DialogRecording::Warn(const QString& warning) {
    if (m_warned) {
        return;
    }
    m_warned = true;
    emit failed(warning);
}

}  // namespace telvane
