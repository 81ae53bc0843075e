// Live audio input against a real PulseAudio server (run through with_pulseaudio.sh): its null
// sink's monitor is the default input, and unloading the sink unplugs it.

#include <QProcess>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <atomic>

#include "audio_input.h"

using namespace telvane;

namespace {

QString TestSink() {
    return qEnvironmentVariable("TELVANE_TEST_SINK");
}

QByteArray SourceId() {
    return qgetenv("TELVANE_TEST_SOURCE");
}

InputDevice DefaultInput() {
    const std::optional<InputDevice> device = FindInputDevice(QString());
    return device ? *device : InputDevice{};
}

}  // namespace

class AudioInputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!TestSink().isEmpty(), "run through with_pulseaudio.sh"); }

    void theDevicesAreListedWithTheDefaultMarked() {
        const std::vector<InputDevice> devices = InputDevices();
        QCOMPARE(std::count_if(devices.begin(), devices.end(), [](auto& d) { return d.isDefault; }),
                 1);
        const std::optional<InputDevice> standard = FindInputDevice(QString());
        QVERIFY(standard);
        QCOMPARE(standard->id, SourceId());
        QVERIFY(!standard->description.isEmpty());
        const std::optional<InputDevice> byName = FindInputDevice(standard->description);
        QVERIFY(byName && byName->id == standard->id);
        QVERIFY(FindInputDevice(QString::fromUtf8(SourceId())));
        QVERIFY(!FindInputDevice(QStringLiteral("no such input")));
    }

    void samplesArriveOnTheCaptureThread() {
        AudioInput input;
        std::atomic<long> received = 0;
        std::atomic<bool> onMainThread = false;
        std::atomic<double> rate = 0;
        QThread* const main = QThread::currentThread();
        QString error;
        QVERIFY2(input.Start(
                     DefaultInput(),
                     [&](std::span<const float> samples, double sampleRate) {
                         rate = sampleRate;
                         received += static_cast<long>(samples.size());
                         onMainThread = onMainThread || QThread::currentThread() == main;
                     },
                     error),
                 qPrintable(error));
        QVERIFY(input.Running());
        QTRY_VERIFY_WITH_TIMEOUT(received > 24000, 10000);
        QCOMPARE(rate.load(), 48000.0);  // the test sink's own rate
        input.Stop();
        QVERIFY(!input.Running());
        const long after = received;
        QTest::qWait(200);
        QCOMPARE(received.load(), after);  // nothing after Stop
        QVERIFY(!onMainThread);
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

    void startingAndStoppingAThousandTimesNeverHangs() {
        AudioInput input;
        const InputDevice device = DefaultInput();
        std::atomic<long> received = 0;
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
        QString error;
        QVERIFY(input.Start(
            device,
            [&](std::span<const float> s, double) { received += static_cast<long>(s.size()); },
            error));
        const long before = received;
        QTRY_VERIFY_WITH_TIMEOUT(received > before, 10000);  // still works after all that
    }

    // Last: it unplugs the test sink.
    void anUnpluggedInputStopsWithAMessage() {
        AudioInput input;
        QSignalSpy stopped(&input, &AudioInput::stopped);
        const InputDevice device = DefaultInput();
        QString error;
        QVERIFY(input.Start(
            device, [](std::span<const float>, double) {}, error));
        QCOMPARE(QProcess::execute(QStringLiteral("pactl"), {QStringLiteral("unload-module"),
                                                             QStringLiteral("module-null-sink")}),
                 0);
        QVERIFY(stopped.wait(20000));
        QVERIFY(stopped.at(0).at(0).toString().contains(device.description));
        QVERIFY(!input.Running());
        QVERIFY(!FindInputDevice(QString::fromUtf8(device.id)));
    }
};

QTEST_GUILESS_MAIN(AudioInputTest)
#include "audio_input_test.moc"
