#pragma once

// Live audio from an input device, for listening to a pass as it happens: through Qt Multimedia,
// and through PulseAudio itself for the monitors Qt leaves out. Capture runs on a thread of its
// own and hands out mono float blocks there; a device that is unplugged or fails stops the
// capture with a message. Needs a QCoreApplication.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "input_device.h"

class QThread;
class QTimer;

namespace telvane {

// The inputs the system offers now, in its order, then the sound server's monitors (what an
// output plays) that Qt does not offer. The default is the server's default, monitor or not.
std::vector<InputDevice> InputDevices();
// The input whose id or description is `name`; the default input when `name` is empty.
std::optional<InputDevice> FindInputDevice(const QString& name);

class AudioCapture;
class PulseCapture;

// Tells when inputs come and go, for a device list that stays current.
class InputDeviceWatch : public QObject {
    Q_OBJECT

public:
    explicit InputDeviceWatch(QObject* parent = nullptr);

signals:
    void changed();
};

class AudioInput : public QObject {
    Q_OBJECT

public:
    // Called on the capture thread with each block of mono samples in -1..1 and their rate, Hz.
    using Sink = std::function<void(std::span<const float> samples, double sampleRate)>;

    explicit AudioInput(QObject* parent = nullptr);
    ~AudioInput() override;  // stops the capture

    // Starts capturing from `device`; false, with `error` set, when it cannot be opened. A capture
    // still running is stopped first.
    bool Start(const InputDevice& device, Sink sink, QString& error);
    // Returns once the sink will not be called again; does nothing when not running.
    void Stop();
    bool Running() const { return m_capture != nullptr || m_pulse != nullptr; }
    // The rate a capture from `device` delivers, Hz; 0 when the device is not there.
    static double SampleRateOf(const InputDevice& device);

signals:
    // The capture stopped by itself, e.g. its device was unplugged; says why.
    void stopped(const QString& message);

private:
    bool StartQt(const InputDevice& device, Sink sink, QString& error);
    bool StartPulse(const InputDevice& device, int sampleRate, Sink sink, QString& error);
    // Reports `message` from the capture thread, unless that capture was replaced meanwhile.
    void ReportFailure(unsigned generation, const QString& message);
    void CaptureFailed(unsigned generation, const QString& message);

    QThread* m_thread = nullptr;
    AudioCapture* m_capture = nullptr;        // a Qt Multimedia capture
    std::unique_ptr<PulseCapture> m_pulse;    // or one of a monitor Qt does not offer
    std::unique_ptr<QTimer> m_pulseWatchdog;  // tells a monitor stream that stalled
    unsigned m_generation = 0;                // tells a stale failure of an earlier capture apart
};

}  // namespace telvane
