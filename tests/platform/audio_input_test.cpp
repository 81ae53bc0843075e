// Live audio input against a real PulseAudio server (run through with_pulseaudio.sh): its null
// sink's monitor is the default input, as an operator listening to an SDR program has it. Qt
// Multimedia does not offer monitors, so the monitor runs through PulseAudio's own library; an
// ordinary source remapped over it runs through Qt Multimedia. Unloading the sink unplugs both.

#include <QAudioDevice>
#include <QMediaDevices>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <cmath>
#include <mutex>
#include <numbers>

#include "audio_input.h"
#include "pulse_capture.h"
#include "pulse_sources.h"

using namespace telvane;

namespace {

constexpr double kToneHz = 700;
constexpr double kToneSeconds = 1;
constexpr float kToneAmplitude = 0.5F;
constexpr int kSinkRate = 48000;  // the test sink's own rate
// The server drops about the first tenth of a second of a new stream on its way to a null sink's
// monitor (parec shows it too): silence goes first.
constexpr double kLeadSeconds = 0.3;

QString TestSink() {
    return qEnvironmentVariable("TELVANE_TEST_SINK");
}

QByteArray MonitorId() {
    return qgetenv("TELVANE_TEST_SOURCE");
}

QByteArray RemappedId() {
    return "telvane_test_remapped";
}

InputDevice DeviceNamed(const QByteArray& id) {
    const std::optional<InputDevice> device = FindInputDevice(QString::fromUtf8(id));
    return device ? *device : InputDevice{id, QString::fromUtf8(id), false};
}

bool Pactl(const QStringList& arguments) {
    return QProcess::execute(QStringLiteral("pactl"), arguments) == 0;
}

// Plays a tone into the test sink and returns once it has been played.
bool PlayTone(const QTemporaryDir& dir) {
    QFile file(dir.filePath(QStringLiteral("tone.f32")));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    const auto lead = static_cast<int>(kLeadSeconds * kSinkRate);
    const auto count = static_cast<int>(kToneSeconds * kSinkRate);
    std::vector<float> tone(static_cast<std::size_t>(lead + count));
    for (int i = 0; i < count; ++i) {
        tone[static_cast<std::size_t>(lead + i)] =
            kToneAmplitude *
            static_cast<float>(std::sin(2 * std::numbers::pi * kToneHz * i / kSinkRate));
    }
    file.write(reinterpret_cast<const char*>(tone.data()),
               static_cast<qint64>(tone.size() * sizeof(float)));
    file.close();
    return QProcess::execute(
               QStringLiteral("paplay"),
               {QStringLiteral("--raw"), QStringLiteral("--format=float32le"),
                QStringLiteral("--rate=%1").arg(kSinkRate), QStringLiteral("--channels=1"),
                QStringLiteral("-d"), TestSink(), file.fileName()}) == 0;
}

struct Heard {
    double seconds = 0;
    double rms = 0;
    double hz = 0;  // from the zero crossings
};

// What stands out of the silence in `samples`: from the first to the last sample above it.
Heard Measure(const std::vector<float>& samples, double rate) {
    const auto loud = [](float s) { return std::abs(s) > kToneAmplitude / 10; };
    const auto first = std::find_if(samples.begin(), samples.end(), loud);
    const auto last = std::find_if(samples.rbegin(), samples.rend(), loud).base();
    if (first >= last) {
        return {};
    }
    double energy = 0;
    int crossings = 0;
    for (auto s = first; s != last; ++s) {
        energy += double(*s) * *s;
        crossings += s != first && (*s >= 0) != (*(s - 1) >= 0) ? 1 : 0;
    }
    const auto count = static_cast<double>(last - first);
    return {count / rate, std::sqrt(energy / count), crossings / 2.0 / (count / rate)};
}

void AddInputRows() {
    QTest::addColumn<QByteArray>("id");
    QTest::newRow("monitor, through PulseAudio") << MonitorId();
    QTest::newRow("ordinary source, through Qt") << RemappedId();
}

}  // namespace

class AudioInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!TestSink().isEmpty(), "run through with_pulseaudio.sh");
        QVERIFY(Pactl({QStringLiteral("load-module"), QStringLiteral("module-remap-source"),
                       QStringLiteral("master=") + QString::fromUtf8(MonitorId()),
                       QStringLiteral("source_name=") + QString::fromUtf8(RemappedId())}));
        QTRY_VERIFY(FindInputDevice(QString::fromUtf8(RemappedId())));
    }

    void theMonitorIsListedAsTheDefaultThoughQtLeavesItOut() {
        const auto qtIds = QMediaDevices::audioInputs();
        QVERIFY(std::none_of(qtIds.begin(), qtIds.end(),
                             [](const QAudioDevice& d) { return d.id() == MonitorId(); }));

        const std::vector<InputDevice> devices = InputDevices();
        QCOMPARE(std::count_if(devices.begin(), devices.end(), [](auto& d) { return d.isDefault; }),
                 1);
        for (const QByteArray& id : {MonitorId(), RemappedId()}) {
            QCOMPARE(std::count_if(devices.begin(), devices.end(),
                                   [&id](auto& d) { return d.id == id; }),
                     1);
        }
        const std::optional<InputDevice> standard = FindInputDevice(QString());
        QVERIFY(standard);
        QCOMPARE(standard->id, MonitorId());
        QCOMPARE(standard->description, QStringLiteral("Monitor of Null Output"));
        const std::optional<InputDevice> byName = FindInputDevice(standard->description);
        QVERIFY(byName && byName->id == standard->id);
        QVERIFY(!FindInputDevice(QStringLiteral("no such input")));
        QCOMPARE(AudioInput::SampleRateOf(*standard), double(kSinkRate));
    }

    void withoutAServerThereAreNoPulseSources() {
        const QByteArray server = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:/nonexistent/telvane/native");
        QElapsedTimer asked;
        asked.start();
        const PulseSources none = ListPulseSources();
        qInfo("no server: answered in %lld ms", static_cast<long long>(asked.elapsed()));
        PulseCapture capture;
        const bool started = capture.Start(
            MonitorId().toStdString(), kSinkRate, [](std::span<const float>) {}, [](bool) {});
        qputenv("PULSE_SERVER", server);
        QVERIFY(none.sources.empty());
        QVERIFY(none.defaultSource.isEmpty());
        QVERIFY(!started);
    }

    void aSourceThatIsNotThereCannotBeCaptured() {
        PulseCapture capture;
        QVERIFY(!capture.Start(
            "no.such.source", kSinkRate, [](std::span<const float>) {}, [](bool) {}));
    }

    void samplesArriveOnTheCaptureThread_data() { AddInputRows(); }
    void samplesArriveOnTheCaptureThread() {
        QFETCH(QByteArray, id);
        AudioInput input;
        std::atomic<long> received = 0;
        std::atomic<bool> onMainThread = false;
        std::atomic<double> rate = 0;
        QThread* const main = QThread::currentThread();
        QString error;
        QVERIFY2(input.Start(
                     DeviceNamed(id),
                     [&](std::span<const float> samples, double sampleRate) {
                         rate = sampleRate;
                         received += static_cast<long>(samples.size());
                         onMainThread = onMainThread || QThread::currentThread() == main;
                     },
                     error),
                 qPrintable(error));
        QVERIFY(input.Running());
        QTRY_VERIFY_WITH_TIMEOUT(received > 24000, 10000);
        QCOMPARE(rate.load(), double(kSinkRate));
        input.Stop();
        QVERIFY(!input.Running());
        const long after = received;
        QTest::qWait(200);
        QCOMPARE(received.load(), after);  // nothing after Stop
        QVERIFY(!onMainThread);
    }

    void aTonePlayedIntoTheSinkArrivesAsPlayed_data() { AddInputRows(); }
    void aTonePlayedIntoTheSinkArrivesAsPlayed() {
        QFETCH(QByteArray, id);
        QTemporaryDir dir;
        AudioInput input;
        std::mutex lock;
        std::vector<float> heard;
        QString error;
        QVERIFY2(input.Start(
                     DeviceNamed(id),
                     [&](std::span<const float> samples, double) {
                         const std::lock_guard held(lock);
                         heard.insert(heard.end(), samples.begin(), samples.end());
                     },
                     error),
                 qPrintable(error));
        QVERIFY(PlayTone(dir));
        QTest::qWait(500);  // the tone's last block
        input.Stop();
        const Heard tone = Measure(heard, kSinkRate);
        QVERIFY2(std::abs(tone.seconds - kToneSeconds) < 0.01,
                 qPrintable(QString::number(tone.seconds)));
        QVERIFY2(std::abs(tone.rms - kToneAmplitude / std::sqrt(2.0)) < 0.01,
                 qPrintable(QString::number(tone.rms)));
        QVERIFY2(std::abs(tone.hz - kToneHz) < 5, qPrintable(QString::number(tone.hz)));
    }

    void aMissingDeviceIsAMessage() {
        AudioInput input;
        QString error;
        QVERIFY(!input.Start(
            {"no.such.input", QStringLiteral("Nowhere"), false},
            [](std::span<const float>, double) {}, error));
        QVERIFY(error.contains(QStringLiteral("Nowhere")));
        QVERIFY(!input.Running());
    }

    void startingAndStoppingAThousandTimesNeverHangs_data() { AddInputRows(); }
    void startingAndStoppingAThousandTimesNeverHangs() {
        QFETCH(QByteArray, id);
        AudioInput input;
        const InputDevice device = DeviceNamed(id);
        std::atomic<long> received = 0;
        QElapsedTimer took;
        took.start();
        for (int i = 0; i < 1000; ++i) {
            QString error;
            QVERIFY2(input.Start(
                         device,
                         [&](std::span<const float> samples, double) {
                             received += static_cast<long>(samples.size());
                         },
                         error),
                     qPrintable(error));
            if (i % 2 == 0) {
                input.Stop();  // the odd ones are stopped by the next Start
            }
        }
        qInfo("1000 starts and stops: %.1f s", took.elapsed() / 1000.0);
        QString error;
        QVERIFY(input.Start(
            device,
            [&](std::span<const float> s, double) { received += static_cast<long>(s.size()); },
            error));
        const long before = received;
        QTRY_VERIFY_WITH_TIMEOUT(received > before, 10000);  // still works after all that
    }

    // A sound server that stops answering ends no stream; the monitor's capture tells by the
    // silence of its stream, and stopping it does not wait for the server.
    void aFrozenServerStopsTheMonitorWithAMessage() {
        const QString server = qEnvironmentVariable("TELVANE_TEST_SERVER_PID");
        QVERIFY(!server.isEmpty());
        const InputDevice device = DeviceNamed(MonitorId());
        AudioInput input;
        QSignalSpy stopped{&input, &AudioInput::stopped};
        QString error;
        QVERIFY2(input.Start(
                     device, [](std::span<const float>, double) {}, error),
                 qPrintable(error));
        QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-STOP"), server}), 0);
        const bool told = stopped.wait(20000) || stopped.count() == 1;
        QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-CONT"), server}), 0);
        QVERIFY(told);
        QVERIFY2(stopped.at(0).at(0).toString().contains(QStringLiteral("stopped delivering")),
                 qPrintable(stopped.at(0).at(0).toString()));
        QVERIFY(!input.Running());
    }

    // Last: it unplugs the test sink, and with it the monitor and the source remapped over it.
    void anUnpluggedInputStopsWithAMessage() {
        struct Listening {
            explicit Listening(const QByteArray& id) : device(DeviceNamed(id)) {}
            InputDevice device;
            AudioInput input;
            QSignalSpy stopped{&input, &AudioInput::stopped};
        };
        std::array<Listening, 2> inputs{Listening(MonitorId()), Listening(RemappedId())};
        for (Listening& listening : inputs) {
            QString error;
            QVERIFY2(listening.input.Start(
                         listening.device, [](std::span<const float>, double) {}, error),
                     qPrintable(error));
        }
        QVERIFY(Pactl({QStringLiteral("unload-module"), QStringLiteral("module-null-sink")}));
        for (Listening& listening : inputs) {
            QVERIFY(listening.stopped.wait(20000) || listening.stopped.count() == 1);
            QVERIFY2(
                listening.stopped.at(0).at(0).toString().contains(listening.device.description),
                qPrintable(listening.stopped.at(0).at(0).toString()));
            QVERIFY(!listening.input.Running());
            QVERIFY(!FindInputDevice(QString::fromUtf8(listening.device.id)));
        }
    }
};

QTEST_GUILESS_MAIN(AudioInputTest)
#include "audio_input_test.moc"
