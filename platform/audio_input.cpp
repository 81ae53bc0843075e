#include "audio_input.h"

#include <QAudioDevice>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QThread>
#include <QTimer>
#include <algorithm>
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
                Fail(DeviceOf(m_device.id()).isNull()
                         ? Gone()
                         : QStringLiteral("The input '%1' stopped delivering sound: listening "
                                          "stopped.")
                               .arg(m_device.description()));
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
            Fail(QStringLiteral("The input '%1' failed: listening stopped.")
                     .arg(m_device.description()));
        }
    }

    QString Gone() const {
        return QStringLiteral("The input '%1' is gone: listening stopped.")
            .arg(m_device.description());
    }

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
    const QAudioDevice standard = QMediaDevices::defaultAudioInput();
    std::vector<InputDevice> devices;
    for (const QAudioDevice& device : QMediaDevices::audioInputs()) {
        devices.push_back({device.id(), device.description(), device.id() == standard.id()});
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
    connect(new QMediaDevices(this), &QMediaDevices::audioInputsChanged, this,
            &InputDeviceWatch::changed);
}

AudioInput::AudioInput(QObject* parent) : QObject(parent) {}

AudioInput::~AudioInput() {
    Stop();
}

double AudioInput::SampleRateOf(const InputDevice& device) {
    const QAudioDevice audio = DeviceOf(device.id);
    return audio.isNull() ? 0.0 : CaptureFormat(audio).sampleRate();
}

bool AudioInput::Start(const InputDevice& device, Sink sink, QString& error) {
    Stop();
    const QAudioDevice audio = DeviceOf(device.id);
    if (audio.isNull()) {
        error = QStringLiteral("The input '%1' is not there.").arg(device.description);
        return false;
    }
    const QAudioFormat format = CaptureFormat(audio);
    const unsigned generation = ++m_generation;
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("audio capture"));
    m_capture = new AudioCapture(audio, format, std::move(sink), [this, generation](auto& why) {
        QMetaObject::invokeMethod(
            this, [this, generation, why] { CaptureFailed(generation, why); },
            Qt::QueuedConnection);
    });
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

void AudioInput::Stop() {
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

void AudioInput::CaptureFailed(unsigned generation, const QString& message) {
    if (generation != m_generation || m_capture == nullptr) {
        return;  // that capture was stopped and replaced already
    }
    Stop();
    emit stopped(message);
}

}  // namespace telvane
