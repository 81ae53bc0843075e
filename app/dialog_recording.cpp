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

void DialogRecording::Record(const std::array<std::string, kLineCount>& lines,
                             const LocalTime& convertedAt, const std::optional<Copied>& copied) {
    const bool heard = std::any_of(lines.begin(), lines.end(), [](auto& l) { return !l.empty(); });
    if (!heard || !RecordingEnabled()) {
        return;
    }
    m_pool.start([this, lines, convertedAt, copied] {
        archive::BeaconRecorder recorder(
            QString(), copied ? copied->source : archive::BeaconSource{}, convertedAt,
            copied ? copied->startUtc : archive::ReceptionTime(convertedAt));
        if (copied) {
            recorder.Add(lines, {std::nullopt, copied->offsetSeconds}, &copied->measures);
        } else {
            recorder.Add(lines);
        }
        const archive::RecordResult result = recorder.Finish();
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
