#include "listen_commands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <mutex>

#include "beacon_output.h"
#include "beacon_recorder.h"
#include "convert_commands.h"
#include "decoder.h"
#include "live_audio.h"
#include "recording_decoding.h"
#include "terminal_messages.h"

namespace telvane::cli {
namespace {

constexpr int kExitNothingFound = 3;
constexpr int kPollMilliseconds = 100;  // how soon a completed beacon is written
constexpr std::size_t kProgressSeconds = 10;
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

std::atomic<int> g_stopSignal{0};

extern "C" void OnStopSignal(int signal) {
    g_stopSignal = signal;
}

// The decoder runs on the capture thread while listening; completed beacons wait here for the
// main thread, which writes them.
class LiveDecoding {
public:
    void Feed(std::span<const float> samples, double sampleRate) {
        if (!m_decoder) {
            m_decoder = std::make_unique<morse::Decoder>(sampleRate);
        }
        m_decoder->Feed(samples);
        m_seconds = m_decoder->SecondsFed();
        Keep(m_decoder->TakeBeacons());
    }
    // After the capture has stopped: the beacon still being heard, if it is whole.
    void Finish() {
        if (m_decoder) {
            m_decoder->Finish();
            Keep(m_decoder->TakeBeacons());
        }
    }
    std::vector<morse::CopiedBeacon> TakeCompleted() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_completed, {});
    }
    double Seconds() const { return m_seconds; }

private:
    void Keep(std::vector<morse::CopiedBeacon> beacons) {
        if (!beacons.empty()) {
            const std::lock_guard lock(m_mutex);
            std::move(beacons.begin(), beacons.end(), std::back_inserter(m_completed));
        }
    }

    std::unique_ptr<morse::Decoder> m_decoder;
    std::atomic<double> m_seconds{0};
    std::mutex m_mutex;
    std::vector<morse::CopiedBeacon> m_completed;
};

// Writes and records each beacon as it arrives: JSON Lines and reports reach standard output at
// once, and each beacon is committed to the archive on its own.
class LiveWriter {
public:
    LiveWriter(const Options& options, const InputDevice& device)
        : m_options(options),
          m_output(options, Now()),
          m_startUtc(QDateTime::currentDateTimeUtc()),
          m_source{archive::SourceKind::kLive,
                   archive::LiveSourceName(device.description, m_startUtc)} {}

    bool Open() { return m_output.Open(); }
    bool Write(const morse::CopiedBeacon& beacon) {
        const std::array<std::string, kLineCount> lines = LinesOf(beacon);
        const CopyMeasures copy = MeasuresOf(beacon);
        const LocalTime time = Now();
        Record(lines, beacon.startSeconds, copy, time);
        m_output.SetTime(time);
        return m_output.Write(lines, &copy) && m_output.Flush();
    }
    bool Finish() { return m_output.Finish(); }
    const std::string& Error() const { return m_output.Error(); }

private:
    LocalTime Now() const { return m_options.time.value_or(CurrentLocalTime()); }

    void Record(const std::array<std::string, kLineCount>& lines, double offset,
                const CopyMeasures& copy, const LocalTime& time) {
        if (!m_options.archivePath || m_archiveFailed) {
            return;
        }
        archive::BeaconRecorder recorder(
            QFile::decodeName(QByteArray::fromStdString(*m_options.archivePath)), m_source, time,
            m_startUtc);
        recorder.Add(lines, {std::nullopt, offset}, &copy);
        const archive::RecordResult result = recorder.Finish();
        if (!result.warning.isEmpty()) {
            m_archiveFailed = true;  // one warning, not one per beacon
            StandardMessages().Say("warning: " + result.warning.toStdString());
        }
    }

    const Options& m_options;
    BeaconOutput m_output;
    QDateTime m_startUtc;  // when listening began: beacons' offsets count from here
    archive::BeaconSource m_source;
    bool m_archiveFailed = false;
};

std::optional<InputDevice> ChosenDevice(const LiveAudio& audio, const Options& options,
                                        std::string& error) {
    const QString name = QString::fromStdString(options.device);
    std::optional<InputDevice> device = audio.findInputDevice(name);
    if (!device) {
        error = name.isEmpty()
                    ? "no audio input device found"
                    : "no audio input device named '" + options.device + "' (see --list-devices)";
    }
    return device;
}

void CatchStopSignals() {
    for (const int signal : kStopSignals) {
        std::signal(signal, OnStopSignal);
    }
}

// Runs the event loop until a stop signal or until the capture stops by itself; writes the
// beacons as they complete.
void Listen(LiveDecoding& decoding, LiveWriter& writer, bool& written) {
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (const morse::CopiedBeacon& beacon : decoding.TakeCompleted()) {
            StandardMessages().ClearProgress();
            written = written && writer.Write(beacon);
        }
        StandardMessages().Progress(static_cast<std::size_t>(decoding.Seconds()), "s listened",
                                    false, kProgressSeconds);
        if (g_stopSignal != 0 || !written) {
            QCoreApplication::quit();
        }
    });
    poll.start(kPollMilliseconds);
    QCoreApplication::exec();
}

// The audio input module, or null after saying why it cannot be loaded.
const LiveAudio* LoadedAudio() {
    QString error;
    const LiveAudio* audio = LoadLiveAudio(error);
    if (audio == nullptr) {
        Fail(kExitOutputFailure, error.toStdString());
    }
    return audio;
}

}  // namespace

int ListDevices() {
    const LiveAudio* audio = LoadedAudio();
    if (audio == nullptr) {
        return kExitOutputFailure;
    }
    const std::vector<InputDevice> devices = audio->inputDevices();
    if (devices.empty()) {
        return Fail(kExitNothingFound, "no audio input device found");
    }
    for (const InputDevice& device : devices) {
        std::printf("%s\t%s%s\n", device.id.constData(), device.description.toUtf8().constData(),
                    device.isDefault ? " (default)" : "");
    }
    return std::fflush(stdout) == 0 ? 0 : Fail(kExitOutputFailure, "cannot write the list");
}

int ListenLive(const Options& options) {
    if (WritesReportFiles(options) && (options.outputPath.empty() || options.outputPath == "-")) {
        return Fail(kExitBadInput, "--batch with text reports needs -o FOLDER");
    }
    const LiveAudio* audio = LoadedAudio();
    if (audio == nullptr) {
        return kExitOutputFailure;
    }
    std::string error;
    const std::optional<InputDevice> device = ChosenDevice(*audio, options, error);
    if (!device) {
        return Fail(kExitBadInput, error);
    }
    LiveWriter writer(options, *device);
    if (!writer.Open()) {
        return Fail(kExitOutputFailure, writer.Error());
    }
    LiveDecoding decoding;
    const std::unique_ptr<LiveCapture> input = audio->makeCapture();
    QString reason;
    QString stopped;
    CatchStopSignals();
    if (!input->Start(
            *device, [&decoding](auto samples, double rate) { decoding.Feed(samples, rate); },
            [&stopped](const QString& message) {
                stopped = message;
                QCoreApplication::quit();
            },
            reason)) {
        return Fail(kExitBadInput, "cannot listen to '" + device->description.toStdString() +
                                       "': " + reason.toStdString());
    }
    bool written = true;
    Listen(decoding, writer, written);
    input->Stop();
    decoding.Finish();
    for (const morse::CopiedBeacon& beacon : decoding.TakeCompleted()) {
        written = written && writer.Write(beacon);
    }
    StandardMessages().ClearProgress();
    if (!(written && writer.Finish())) {
        return Fail(kExitOutputFailure, writer.Error());
    }
    return stopped.isEmpty() ? 0
                             : Fail(kExitBadInput, "listening stopped: " + stopped.toStdString());
}

}  // namespace telvane::cli
