#include "listen_session.h"

#include <QFile>
#include <QTimeZone>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>

#include "decoder.h"
#include "flac_recorder.h"
#include "waterfall.h"

namespace telvane {
namespace {

constexpr double kUpdateSeconds = 0.1;
constexpr double kUnderwaySeconds = 0.2;

bool SameLines(const std::optional<morse::CopiedBeacon>& a,
               const std::optional<morse::CopiedBeacon>& b) {
    if (!a || !b) {
        return a.has_value() == b.has_value();
    }
    for (std::size_t k = 0; k < a->lines.size(); ++k) {
        if (a->lines[k].text != b->lines[k].text) {
            return false;
        }
    }
    return true;
}

}  // namespace

// Everything the capture thread works on; the GUI thread touches it only while no capture runs.
struct ListenSession::Pipeline {
    Pipeline(double rate, std::unique_ptr<FlacRecorder> recorder)
        : decoder(rate),
          waterfall(rate),
          flac(std::move(recorder)),
          samplesPerUpdate(static_cast<long>(rate * kUpdateSeconds)),
          samplesPerUnderway(static_cast<long>(rate * kUnderwaySeconds)) {}

    // Takes a block; returns an update when one is due.
    std::optional<ListenUpdate> Process(std::span<const float> samples) {
        if (const double hz = follow.exchange(-1); hz >= 0) {
            decoder.FollowTone(hz);
        }
        decoder.Feed(samples);
        waterfall.Feed(samples, pending.rows);
        for (const float sample : samples) {
            peak = std::max(peak, std::abs(sample));
        }
        Record(samples);
        sinceUpdate += static_cast<long>(samples.size());
        sinceUnderway += static_cast<long>(samples.size());
        std::vector<morse::CopiedBeacon> beacons = decoder.TakeBeacons();
        const bool underwayDue = sinceUnderway >= samplesPerUnderway || !beacons.empty();
        if (underwayDue) {
            DecideUnderway();
        }
        if (sinceUpdate < samplesPerUpdate && beacons.empty() && !pending.underwayChanged) {
            return std::nullopt;
        }
        pending.beacons = std::move(beacons);
        return TakeUpdate();
    }

    // Decided while keying is heard or a beacon was under way: silence and noise cost no more.
    void DecideUnderway() {
        sinceUnderway = 0;
        std::optional<morse::CopiedBeacon> now;
        if (decoder.Estimate().keyingFound || underway) {
            now = decoder.Provisional();
        }
        if (!SameLines(now, underway)) {
            underway = now;
            pending.underwayChanged = true;
            pending.underway = std::move(now);
        }
    }

    ListenUpdate TakeUpdate() {
        ListenUpdate update = std::exchange(pending, {});
        std::vector<morse::CopiedBeacon> beacons = decoder.TakeBeacons();
        update.beacons.insert(update.beacons.end(), beacons.begin(), beacons.end());
        update.peakDb = peak > 0 ? 20.0F * std::log10(peak) : -140.0F;
        update.estimate = decoder.Estimate();
        update.heard = decoder.TakeTranscript();
        update.seconds = decoder.SecondsFed();
        peak = 0;
        sinceUpdate = 0;
        return update;
    }

    void Record(std::span<const float> samples) {
        if (flac && !flac->Write(samples)) {
            recordingError = QString::fromLocal8Bit(flac->Error());
            flac.reset();  // what was written stays a readable recording
        }
    }

    morse::Decoder decoder;
    morse::Waterfall waterfall;
    std::unique_ptr<FlacRecorder> flac;
    QString recordingError;  // told once, with the next update
    long samplesPerUpdate;
    long samplesPerUnderway;
    long sinceUpdate = 0;
    long sinceUnderway = 0;
    std::optional<morse::CopiedBeacon> underway;  // as last sent
    float peak = 0;
    ListenUpdate pending;
    std::atomic<double> follow = -1;
};

ListenSession::ListenSession(QObject* parent) : QObject(parent) {
    connect(&m_input, &AudioInput::stopped, this, [this](const QString& message) {
        Finish();
        emit failed(message);
    });
}

ListenSession::~ListenSession() {
    m_input.Stop();
}

bool ListenSession::Start(const InputDevice& device,
                          const std::optional<std::filesystem::path>& recordFolder,
                          QString& error) {
    Stop();
    const double rate = AudioInput::SampleRateOf(device);
    if (rate <= 0) {
        error = QStringLiteral("The input '%1' is not there.").arg(device.description);
        return false;
    }
    const auto now = std::chrono::system_clock::now();
    std::unique_ptr<FlacRecorder> recorder;
    if (recordFolder) {
        std::string why;
        recorder = FlacRecorder::Create(*recordFolder, static_cast<int>(rate), now, why);
        if (!recorder) {
            error = QString::fromLocal8Bit(why);
            return false;
        }
    }
    m_recordingPath = recorder ? QFile::decodeName(recorder->Path().c_str()) : QString();
    m_pipeline = std::make_shared<Pipeline>(rate, std::move(recorder));
    m_device = device;
    m_startUtc = QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count(),
        QTimeZone::utc());
    const std::shared_ptr<Pipeline> pipeline = m_pipeline;
    const bool started = m_input.Start(
        device,
        [this, pipeline](std::span<const float> samples, double) {
            if (std::optional<ListenUpdate> update = pipeline->Process(samples)) {
                QString recordingError = std::exchange(pipeline->recordingError, {});
                QMetaObject::invokeMethod(
                    this,
                    [this, update = std::move(*update), recordingError] {
                        emit updated(update);
                        if (!recordingError.isEmpty()) {
                            emit failed(recordingError);
                        }
                    },
                    Qt::QueuedConnection);
            }
        },
        error);
    if (!started) {
        m_pipeline.reset();
    }
    return started;
}

void ListenSession::Stop() {
    if (m_input.Running()) {
        m_input.Stop();
        Finish();
    }
}

void ListenSession::Finish() {
    if (!m_pipeline) {
        return;
    }
    m_pipeline->decoder.Finish();
    m_pipeline->flac.reset();
    ListenUpdate last = m_pipeline->TakeUpdate();
    if (m_pipeline->underway) {
        last.underwayChanged = true;  // it came out among the last beacons, or was none
        last.underway.reset();
    }
    m_pipeline.reset();
    // Queued, so that it comes after the updates the capture thread sent before it stopped.
    QMetaObject::invokeMethod(
        this, [this, last = std::move(last)] { emit updated(last); }, Qt::QueuedConnection);
}

void ListenSession::FollowTone(double hz) {
    if (m_pipeline) {
        m_pipeline->follow = std::max(0.0, hz);
    }
}

}  // namespace telvane
