#pragma once

// A listening session: the input's samples go through the CW decoder and the waterfall on the
// capture thread, and into a FLAC recording when asked; what they give reaches the GUI thread as
// updates, about ten a second and at once when a beacon completes. The beacon under way is
// decided again five times a second, so that each line is shown as soon as it is keyed.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include "audio_input.h"
#include "copied_beacon.h"

namespace telvane {

struct ListenUpdate {
    std::vector<float> rows;  // waterfall rows, morse::Waterfall::kColumns values each
    float peakDb = -140;      // the loudest sample since the last update, dB of full scale
    morse::SignalEstimate estimate;
    std::vector<morse::HeardText> heard;
    std::vector<morse::CopiedBeacon> beacons;
    // The beacon under way as heard so far, when that changed: empty when what looked like one
    // turned out not to be (or came out among `beacons`).
    bool underwayChanged = false;
    std::optional<morse::CopiedBeacon> underway;
    double seconds = 0;  // of audio heard in the session so far
};

class ListenSession : public QObject {
    Q_OBJECT

public:
    explicit ListenSession(QObject* parent = nullptr);
    ~ListenSession() override;

    // Starts listening to `device`, keeping the audio as a new FLAC file in `recordFolder` when
    // given; false, with `error` set, when that cannot be done. A session running is stopped
    // first.
    bool Start(const InputDevice& device, const std::optional<std::filesystem::path>& recordFolder,
               QString& error);
    // Stops listening; what the decoder still holds comes out as a last update.
    void Stop();
    bool Listening() const { return m_input.Running(); }
    // Follows the signal at `hz`, picked on the waterfall; 0 lets the decoder choose.
    void FollowTone(double hz);

    QDateTime StartUtc() const { return m_startUtc; }
    const InputDevice& Device() const { return m_device; }
    // The FLAC file of the session; empty when it is not recorded.
    QString RecordingPath() const { return m_recordingPath; }

signals:
    void updated(const telvane::ListenUpdate& update);
    // Listening stopped by itself (the input is gone), or the recording failed: says why.
    void failed(const QString& message);

private:
    struct Pipeline;
    void Finish();

    std::shared_ptr<Pipeline> m_pipeline;
    AudioInput m_input;  // after the pipeline: stopped before the pipeline goes
    InputDevice m_device;
    QDateTime m_startUtc;
    QString m_recordingPath;
};

}  // namespace telvane
