#include "audio_input.h"

#include "pulse_capture.h"
#include "pulse_sources.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <utility>

namespace telvane {
namespace {

constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 96000;
constexpr int kBufferMilliseconds = 100;  // short blocks: each line reaches its box sooner
// A device delivers sound, if only silence, all the time; one that stalls this long is gone
// (PulseAudio kills the stream of an unplugged device without Qt reporting an error).
constexpr int kStallMilliseconds = 5000;

QAudioDevice DeviceOf(const QByteArray& id) {
    const QList<QAudioDevice> inputs = QMediaDevices::audioInputs();
    const auto found =
        std::find_if(inputs.begin(), inputs.end(),
                     [&id](const QAudioDevice& device) { return device.id() == id; });
    return found == inputs.end() ? QAudioDevice() : *found;
}

QString GoneMessage(const QString& description) {
    return QStringLiteral("The input '%1' is gone: listening stopped.").arg(description);
}

QString FailedMessage(const QString& description) {
    return QStringLiteral("The input '%1' failed: listening stopped.").arg(description);
}

QString StalledMessage(const QString& description) {
    return QStringLiteral("The input '%1' stopped delivering sound: listening stopped.")
        .arg(description);
}

// The sound server's source named `id` that Qt does not offer, e.g. a monitor.
std::optional<PulseSource> PulseOnlySourceOf(const QByteArray& id) {
    if (!DeviceOf(id).isNull()) {
        return std::nullopt;
    }
    PulseSources pulse = ListPulseSources();
    const auto found = std::find_if(pulse.sources.begin(), pulse.sources.end(),
                                    [&id](const PulseSource& source) { return source.name == id; });
    return found == pulse.sources.end() ? std::nullopt : std::optional(std::move(*found));
}

int PulseRateOf(const PulseSource& source) {
    return std::clamp(source.sampleRate, kLowestRate, kHighestRate);
}

// Mono float at the device's own rate when it takes that, else whatever it prefers, mixed down.
QAudioFormat CaptureFormat(const QAudioDevice& device) {
    QAudioFormat format = device.preferredFormat();
    QAudioFormat mono;
    mono.setSampleRate(std::clamp(format.sampleRate(), kLowestRate, kHighestRate));
    mono.setChannelCount(1);
    mono.setSampleFormat(QAudioFormat::Float);
    return device.isFormatSupported(mono) ? mono : format;
}

// Receives the source's bytes on the capture thread and hands them on as mono samples.
class SampleWriter final : public QIODevice {
public:
    SampleWriter(const QAudioFormat& format, AudioInput::Sink sink)
        : m_format(format), m_sink(std::move(sink)) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override {
        m_pending.append(data, length);
        const int frameBytes = m_format.bytesPerFrame();
        const qsizetype frames = frameBytes > 0 ? m_pending.size() / frameBytes : 0;
        m_mono.resize(static_cast<std::size_t>(frames));
        const int channels = m_format.channelCount();
        const int sampleBytes = m_format.bytesPerSample();
        for (qsizetype i = 0; i < frames; ++i) {
            const char* frame = m_pending.constData() + i * frameBytes;
            float sum = 0;
            for (int c = 0; c < channels; ++c) {
                sum +=
                    m_format.normalizedSampleValue(frame + static_cast<qsizetype>(c) * sampleBytes);
            }
            m_mono[static_cast<std::size_t>(i)] = sum / static_cast<float>(channels);
        }
        m_pending.remove(0, frames * frameBytes);
        if (frames > 0) {
            m_sink(m_mono, m_format.sampleRate());
        }
        m_delivered = true;
        return length;
    }

public:
    // Whether sound arrived since the last call.
    bool TakeDelivered() { return std::exchange(m_delivered, false); }

private:
    QAudioFormat m_format;
    AudioInput::Sink m_sink;
    QByteArray m_pending;  // a frame split between two deliveries
    std::vector<float> m_mono;
    bool m_delivered = false;
};

}  // namespace

// Lives on the capture thread: the source, the writer it fills and the watch on the device list.
class AudioCapture : public QObject {
public:
    AudioCapture(const QAudioDevice& device, const QAudioFormat& format, AudioInput::Sink sink,
                 std::function<void(const QString&)> failed)
        : m_device(device),
          m_format(format),
          m_sink(std::move(sink)),
          m_failed(std::move(failed)) {}

    bool Open(QString& error) {
        m_writer = std::make_unique<SampleWriter>(m_format, m_sink);
        m_writer->open(QIODevice::WriteOnly);
        m_source = std::make_unique<QAudioSource>(m_device, m_format);
        m_source->setBufferSize(m_format.bytesForDuration(qint64{kBufferMilliseconds} * 1000));
        m_source->start(m_writer.get());
        if (m_source->error() != QAudio::NoError) {
            error = QStringLiteral("The input '%1' cannot be opened.").arg(m_device.description());
            Close();
            return false;
        }
        connect(m_source.get(), &QAudioSource::stateChanged, this, [this] { CheckSource(); });
        m_devices = std::make_unique<QMediaDevices>();
        connect(m_devices.get(), &QMediaDevices::audioInputsChanged, this, [this] {
            if (DeviceOf(m_device.id()).isNull()) {
                Fail(Gone());
            }
        });
        m_watchdog = std::make_unique<QTimer>();
        connect(m_watchdog.get(), &QTimer::timeout, this, [this] {
            if (!m_writer->TakeDelivered()) {
                Fail(DeviceOf(m_device.id()).isNull() ? Gone()
                                                      : StalledMessage(m_device.description()));
            }
        });
        m_watchdog->start(kStallMilliseconds);
        return true;
    }

    void Close() {
        m_watchdog.reset();
        m_devices.reset();
        if (m_source) {
            m_source->disconnect(this);
            m_source->stop();
        }
        m_source.reset();
        m_writer.reset();
    }

private:
    void CheckSource() {
        if (m_source && m_source->error() != QAudio::NoError) {
            Fail(FailedMessage(m_device.description()));
        }
    }

    QString Gone() const { return GoneMessage(m_device.description()); }

    void Fail(const QString& message) {
        Close();
        m_failed(message);
    }

    QAudioDevice m_device;
    QAudioFormat m_format;
    AudioInput::Sink m_sink;
    std::function<void(const QString&)> m_failed;
    std::unique_ptr<SampleWriter> m_writer;
    std::unique_ptr<QAudioSource> m_source;
    std::unique_ptr<QMediaDevices> m_devices;
    std::unique_ptr<QTimer> m_watchdog;
};

std::vector<InputDevice> InputDevices() {
    const PulseSources pulse = ListPulseSources();
    std::vector<InputDevice> devices;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        devices.push_back({device.id(), device.description(), false});
    }
    const auto offered = [&devices](const QByteArray& id) {
        return std::any_of(devices.begin(), devices.end(),
                           [&id](const InputDevice& device) { return device.id == id; });
    };
    for (const PulseSource& source : pulse.sources) {
        if (source.isMonitor && !offered(source.name)) {
            devices.push_back({source.name, source.description, false});
        }
    }
    // Qt's default is null when the server's is a monitor; the server's own is the one to follow.
    const QByteArray standard = offered(pulse.defaultSource)
                                    ? pulse.defaultSource
                                    : QMediaDevices::defaultAudioInput().id();
    for (InputDevice& device : devices) {
        device.isDefault = device.id == standard;
    }
    return devices;
}

std::optional<InputDevice> FindInputDevice(const QString& name) {
    for (const InputDevice& device : InputDevices()) {
        if (name.isEmpty() ? device.isDefault
                           : QString::fromUtf8(device.id) == name || device.description == name) {
            return device;
        }
    }
    return std::nullopt;
}

InputDeviceWatch::InputDeviceWatch(QObject* parent) : QObject(parent) {
    auto* devices = new QMediaDevices(this);
    connect(devices, &QMediaDevices::audioInputsChanged, this, &InputDeviceWatch::changed);
    // A monitor comes and goes with its output, and Qt tells of outputs.
    connect(devices, &QMediaDevices::audioOutputsChanged, this, &InputDeviceWatch::changed);
}

AudioInput::AudioInput(QObject* parent) : QObject(parent) {}

AudioInput::~AudioInput() {
    Stop();
}

double AudioInput::SampleRateOf(const InputDevice& device) {
    const QAudioDevice audio = DeviceOf(device.id);
    if (!audio.isNull()) {
        return CaptureFormat(audio).sampleRate();
    }
    const std::optional<PulseSource> source = PulseOnlySourceOf(device.id);
    return source ? PulseRateOf(*source) : 0.0;
}

bool AudioInput::Start(const InputDevice& device, Sink sink, QString& error) {
    Stop();
    if (!DeviceOf(device.id).isNull()) {
        return StartQt(device, std::move(sink), error);
    }
    if (const std::optional<PulseSource> source = PulseOnlySourceOf(device.id)) {
        return StartPulse(device, PulseRateOf(*source), std::move(sink), error);
    }
    error = QStringLiteral("The input '%1' is not there.").arg(device.description);
    return false;
}

bool AudioInput::StartQt(const InputDevice& device, Sink sink, QString& error) {
    const QAudioDevice audio = DeviceOf(device.id);
    const QAudioFormat format = CaptureFormat(audio);
    const unsigned generation = ++m_generation;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("audio capture"));
    m_capture = new AudioCapture(audio, format, std::move(sink),
                                 [this, generation](auto& why) { ReportFailure(generation, why); });
    m_capture->moveToThread(m_thread);
    m_thread->start();
    bool opened = false;
    QMetaObject::invokeMethod(
        m_capture, [this, &opened, &error] { opened = m_capture->Open(error); },
        Qt::BlockingQueuedConnection);
    if (!opened) {
        Stop();
    }
    return opened;
}

bool AudioInput::StartPulse(const InputDevice& device, int sampleRate, Sink sink, QString& error) {
    const unsigned generation = ++m_generation;
    const QString name = device.description;
    m_pulse = std::make_unique<PulseCapture>();
    auto delivered = std::make_shared<std::atomic<bool>>(true);
    const bool opened = m_pulse->Start(
        device.id.toStdString(), sampleRate,
        [sink = std::move(sink), rate = double(sampleRate),
         delivered](std::span<const float> samples) {
            *delivered = true;
            sink(samples, rate);
        },
        [this, generation, name](bool gone) {
            ReportFailure(generation, gone ? GoneMessage(name) : FailedMessage(name));
        });
    if (!opened) {
        m_pulse.reset();
        error = QStringLiteral("The input '%1' cannot be opened.").arg(name);
        return false;
    }
    // A sound server that stops answering ends no stream: only the silence of the stream tells.
    m_pulseWatchdog = std::make_unique<QTimer>();
    connect(m_pulseWatchdog.get(), &QTimer::timeout, this, [this, generation, name, delivered] {
        if (!delivered->exchange(false)) {
            ReportFailure(generation, StalledMessage(name));  // the timer goes with the capture
        }
    });
    m_pulseWatchdog->start(kStallMilliseconds);
    return true;
}

void AudioInput::Stop() {
    m_pulseWatchdog.reset();
    m_pulse.reset();
    if (m_capture == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        m_capture,
        [this] {
            m_capture->Close();
            m_capture->moveToThread(thread());  // so that it may be deleted here
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_capture;
    delete m_thread;
    m_capture = nullptr;
    m_thread = nullptr;
}

void AudioInput::ReportFailure(unsigned generation, const QString& message) {
    QMetaObject::invokeMethod(
        this, [this, generation, message] { CaptureFailed(generation, message); },
        Qt::QueuedConnection);
}

void AudioInput::CaptureFailed(unsigned generation, const QString& message) {
    if (generation != m_generation || !Running()) {
        return;  // that capture was stopped and replaced already
    }
    Stop();
    emit stopped(message);
}

}  // namespace telvane
