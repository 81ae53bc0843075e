// Copying the beacon from a recording in the dialog: real audio files, the real dialog on the
// offscreen platform, the decoder on its worker thread.

#include <sndfile.h>

#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <cmath>

#include "audio_writer.h"
#include "beacon_line_edit.h"
#include "converter_dlg.h"
#include "dialog_fixture.h"
#include "dialog_recording.h"
#include "private_home.h"
#include "recording_generator.h"
#include "recording_opener.h"

using namespace telvane;
using namespace telvane::testing;
namespace gen = telvane::morse::testing;

class RecordingDialogTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<CConverterDlg> MakeDialog() { return telvane::testing::MakeDialog(m_log); }

    // A recording of `beacons` beacons with other traffic around them, written as WAV.
    std::vector<gen::KeyedBeacon> Record(const QString& name, int beacons) {
        gen::RecordingOptions options;
        options.beacons = beacons;
        options.sampleRate = 11025;
        options.seed = 11;
        const gen::Recording recording = gen::Generate(options);
        const std::string error =
            gen::WriteAudioFile(m_home.filePath(name).toStdString(), recording.samples, 11025,
                                SF_FORMAT_WAV | SF_FORMAT_PCM_16);
        return error.empty() ? recording.beacons : std::vector<gen::KeyedBeacon>{};
    }

    void Open(CConverterDlg& dialog, const QString& name) {
        dialog.OpenRecording(m_home.filePath(name));
        dialog.Opener()->WaitForDone();
    }

    QTemporaryDir m_home;
    PromptLog m_log;

private slots:
    void initTestCase() { UsePrivateHome(m_home); }
    void init() { m_log = PromptLog{}; }

    void aCopiedBeaconFillsTheBoxesAndConvertsAsTyped() {
        const auto keyed = Record(QStringLiteral("pass.wav"), 1);
        QCOMPARE(keyed.size(), std::size_t{1});
        auto dialog = MakeDialog();
        Open(*dialog, QStringLiteral("pass.wav"));
        QCOMPARE(Boxes(*dialog), Lines(keyed[0].lines));
        QVERIFY(m_log.choices.isEmpty());

        m_log.answer = m_home.filePath(QStringLiteral("report.txt"));
        dialog->OnConvert();
        ConversionState typed;
        SetLines(typed, keyed[0].lines);
        RunConversion(typed, kConvertedAt);
        QCOMPARE(ReadAll(*m_log.answer), Bytes(typed.m_strResult));

        // The archive keeps the lines as copied, and where and how they were heard.
        dialog->Recording()->WaitForDone();
        StoredBeacon fields;
        QVERIFY2(fields.Error().isEmpty(), qPrintable(fields.Error()));
        QCOMPARE(std::get<std::string_view>(fields["line3_text"]), keyed[0].lines[2]);
        QVERIFY(std::abs(std::get<double>(fields["audio_start_s"]) - keyed[0].startSeconds) < 0.1);
    }

    void severalBeaconsAreOfferedAsAChoice() {
        const auto keyed = Record(QStringLiteral("two.wav"), 2);
        QCOMPARE(keyed.size(), std::size_t{2});
        auto dialog = MakeDialog();
        Open(*dialog, QStringLiteral("two.wav"));  // the choice is cancelled
        QCOMPARE(m_log.choices.size(), 2);
        QVERIFY(m_log.choices[0].contains(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d "))));
        QVERIFY(m_log.best == 0 || m_log.best == 1);
        QCOMPARE(Boxes(*dialog), QStringList(kLineCount, QString()));

        m_log.picked = 1;
        Open(*dialog, QStringLiteral("two.wav"));
        QCOMPARE(Boxes(*dialog), Lines(keyed[1].lines));
    }

    void doubtfulCharactersAreMarkedUntilCorrected() {
        auto dialog = MakeDialog();
        morse::CopiedBeacon beacon;
        beacon.lines[1] = {"ZK2 8A", {1, 1, 1, 1, 0.4, 0.97}, {'\0', '\0', '\0', '\0', 'B', '4'}};
        dialog->ShowCopiedBeacon(beacon);
        BeaconLineEdit* box = dialog->LineBox(1);
        QVERIFY(box->toolTip().contains(QStringLiteral("heard '8', could be 'B'")));
        QVERIFY(!box->toolTip().contains(QStringLiteral("'A'")));
        QVERIFY(!box->styleSheet().isEmpty());
        box->setText(QStringLiteral("ZK2 BA"));
        QVERIFY(box->toolTip().isEmpty());
        QVERIFY(box->styleSheet().isEmpty());
    }

    void recordingsThatCannotBeUsedAreReported() {
        WriteAll(m_home.filePath(QStringLiteral("notes.wav")), "ZK1 AB CD/EF\n");
        const std::vector<float> silence(11025 * 3, 0.0F);
        QCOMPARE(gen::WriteAudioFile(m_home.filePath(QStringLiteral("quiet.wav")).toStdString(),
                                     silence, 11025, SF_FORMAT_WAV | SF_FORMAT_PCM_16),
                 std::string());
        auto dialog = MakeDialog();
        Open(*dialog, QStringLiteral("notes.wav"));
        QCOMPARE(m_log.errors.size(), 1);
        QVERIFY(m_log.errors[0].startsWith(QStringLiteral("Open Recording|Cannot read")));
        QVERIFY(!m_log.reasons[0].isEmpty());
        Open(*dialog, QStringLiteral("quiet.wav"));
        QCOMPARE(m_log.informed.size(), 1);
        QVERIFY(m_log.informed[0].contains(QStringLiteral("No beacon was found")));
    }

    void cancellingLeavesTheBoxesAsTheyWere() {
        Record(QStringLiteral("long.wav"), 2);
        auto dialog = MakeDialog();
        dialog->LineBox(0)->setText(QStringLiteral("ZK1 KEEP"));
        dialog->OpenRecording(m_home.filePath(QStringLiteral("long.wav")));
        dialog->Opener()->Cancel();
        dialog->Opener()->WaitForDone();
        QCOMPARE(dialog->LineBox(0)->text(), QStringLiteral("ZK1 KEEP"));
        QVERIFY(m_log.choices.isEmpty() && m_log.errors.isEmpty() && m_log.informed.isEmpty());
    }

    void aRecordingDroppedOnABoxIsOpened() {
        const auto keyed = Record(QStringLiteral("dropped.wav"), 1);
        auto dialog = MakeDialog();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(m_home.filePath(QStringLiteral("dropped.wav")))});
        QWidget* box = dialog->LineBox(2);
        const QPoint at(4, 4);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &drop);
        dialog->Opener()->WaitForDone();
        QCOMPARE(Boxes(*dialog), Lines(keyed[0].lines));
    }
};

QTEST_MAIN(RecordingDialogTest)
#include "recording_dialog_test.moc"
