#include "listen_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextBlock>
#include <QVBoxLayout>
#include <cmath>

#include "app_settings.h"
#include "archive.h"
#include "recording_decoding.h"
#include "waterfall_view.h"

namespace telvane {
namespace {

constexpr int kTranscriptLines = 500;    // enough for a pass; older lines go
constexpr double kLineGapSeconds = 2.0;  // a pause this long starts a new transcript line
constexpr int kLineCharacters = 72;
constexpr int kLowestLevelDb = -60;

QString DeviceLabel(const InputDevice& device) {
    return device.isDefault ? QStringLiteral("%1 (default)").arg(device.description)
                            : device.description;
}

}  // namespace

ListenWindow::ListenWindow(QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_session(new ListenSession(this)),
      m_watch(new InputDeviceWatch(this)),
      m_inputs(new QComboBox),
      m_listen(new QPushButton(QStringLiteral("&Listen"))),
      m_record(new QCheckBox(QStringLiteral("&Record the audio as FLAC"))),
      m_waterfall(new WaterfallView),
      m_level(new QProgressBar),
      m_estimate(new QLabel),
      m_transcript(new QPlainTextEdit),
      m_status(new QLabel) {
    setWindowTitle(QStringLiteral("Listen"));
    m_inputs->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_record->setChecked(ListenRecordingEnabled());
    m_record->setToolTip(QStringLiteral("Keep each session's audio in %1, to decode the pass "
                                        "again later")
                             .arg(QDir::toNativeSeparators(RecordingFolder())));
    m_level->setRange(kLowestLevelDb, 0);
    m_level->setValue(kLowestLevelDb);
    m_level->setFormat(QStringLiteral("Level %v dBFS"));
    m_level->setAccessibleName(QStringLiteral("Input level"));
    m_transcript->setReadOnly(true);
    m_transcript->setMaximumBlockCount(kTranscriptLines);
    m_transcript->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_transcript->setAccessibleName(QStringLiteral("Transcript"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("&Input:")));
    static_cast<QLabel*>(controls->itemAt(0)->widget())->setBuddy(m_inputs);
    controls->addWidget(m_inputs, 1);
    controls->addWidget(m_record);
    controls->addWidget(m_listen);
    auto* measures = new QHBoxLayout;
    measures->addWidget(m_level, 1);
    measures->addWidget(m_estimate, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(m_waterfall, 3);
    layout->addLayout(measures);
    layout->addWidget(m_transcript, 1);
    layout->addWidget(m_status);

    auto* toggle = new QAction(this);
    toggle->setShortcut(QKeySequence(QStringLiteral("Ctrl+L")));
    connect(toggle, &QAction::triggered, this, &ListenWindow::Toggle);
    addAction(toggle);
    connect(m_listen, &QPushButton::clicked, this, &ListenWindow::Toggle);
    connect(m_record, &QCheckBox::toggled, this, &SetListenRecordingEnabled);
    connect(m_inputs, &QComboBox::activated, this,
            [this] { SaveInputDevice(m_inputs->currentData().toByteArray()); });
    connect(m_watch, &InputDeviceWatch::changed, this, &ListenWindow::ListInputs);
    connect(m_waterfall, &WaterfallView::tonePicked, this, [this](double hz) {
        m_session->FollowTone(hz);
        m_status->setText(QStringLiteral("Following the signal at %1 Hz.").arg(std::lround(hz)));
    });
    connect(m_session, &ListenSession::updated, this, &ListenWindow::Show);
    connect(m_session, &ListenSession::failed, this, &ListenWindow::Fail);
    ListInputs();
    ShowListening();
}

ListenWindow::~ListenWindow() = default;

QString ListenWindow::RecordingFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Telvane/recordings");  // beside the archive
}

void ListenWindow::ListInputs() {
    const QByteArray saved = SavedInputDevice();
    m_inputs->clear();
    for (const InputDevice& device : InputDevices()) {
        m_inputs->addItem(DeviceLabel(device), device.id);
        if (device.id == saved || (saved.isEmpty() && device.isDefault)) {
            m_inputs->setCurrentIndex(m_inputs->count() - 1);
        }
    }
    m_inputs->setEnabled(m_inputs->count() > 0 && !Listening());
}

void ListenWindow::Toggle() {
    if (Listening()) {
        StopListening();
    } else {
        StartListening();
    }
}

void ListenWindow::StartListening() {
    const std::optional<InputDevice> device =
        m_inputs->count() == 0
            ? std::nullopt
            : FindInputDevice(QString::fromUtf8(m_inputs->currentData().toByteArray()));
    if (!device) {
        // Qt's sound server support leaves monitors of outputs out of the inputs.
        Fail(
            QStringLiteral("There is no sound input to listen to. Connect the receiver's audio "
                           "to an input (a monitor of an output is not offered as one)."));
        return;
    }
    std::optional<std::filesystem::path> folder;
    if (m_record->isChecked()) {
        QDir().mkpath(RecordingFolder());
        folder = QFile::encodeName(RecordingFolder()).toStdString();
    }
    QString error;
    if (!m_session->Start(*device, folder, error)) {
        Fail(error);
        return;
    }
    SaveInputDevice(device->id);
    m_waterfall->Clear();
    m_lineStartSeconds = -1;
    m_transcript->appendPlainText(
        QStringLiteral("Listening to %1 from %2")
            .arg(device->description, m_session->StartUtc().toLocalTime().toString(
                                          QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    m_status->setText(m_session->RecordingPath().isEmpty()
                          ? QStringLiteral("Listening.")
                          : QStringLiteral("Listening, recording to %1.")
                                .arg(QDir::toNativeSeparators(m_session->RecordingPath())));
    ShowListening();
}

void ListenWindow::StopListening() {
    m_session->Stop();
    m_status->setText(m_session->RecordingPath().isEmpty()
                          ? QStringLiteral("Stopped.")
                          : QStringLiteral("Stopped. The audio is in %1.")
                                .arg(QDir::toNativeSeparators(m_session->RecordingPath())));
    ShowListening();
}

void ListenWindow::ShowListening() {
    m_listen->setText(Listening() ? QStringLiteral("&Stop") : QStringLiteral("&Listen"));
    m_inputs->setEnabled(m_inputs->count() > 0 && !Listening());
    m_record->setEnabled(!Listening());
    if (!Listening()) {
        m_level->setValue(kLowestLevelDb);
        m_waterfall->SetTrackedTone(0);
    }
}

void ListenWindow::Fail(const QString& message) {
    m_status->setText(message);
    ShowListening();
    emit failed(message);
}

void ListenWindow::Show(const ListenUpdate& update) {
    m_waterfall->AddRows(update.rows);
    const morse::SignalEstimate& estimate = update.estimate;
    m_waterfall->SetTrackedTone(Listening() && estimate.keyingFound ? estimate.toneHz : 0.0);
    m_level->setValue(std::clamp(static_cast<int>(std::lround(update.peakDb)), kLowestLevelDb, 0));
    m_estimate->setText(estimate.keyingFound
                            ? QStringLiteral("Tone %1 Hz   Speed %2 wpm   SNR %3 dB")
                                  .arg(std::lround(estimate.toneHz))
                                  .arg(estimate.speedWpm, 0, 'f', 1)
                                  .arg(estimate.snrDb, 0, 'f', 1)
                            : QStringLiteral("No keying found yet"));
    ShowHeard(update.heard);
    for (const morse::CopiedBeacon& beacon : update.beacons) {
        emit beaconHeard(beacon, SourceOf(beacon));
    }
    if (update.underwayChanged && update.underway) {
        emit beaconUnderway(*update.underway, SourceOf(*update.underway));
    } else if (update.underwayChanged && update.beacons.empty()) {
        emit underwayDropped();
    }
}

void ListenWindow::ShowHeard(const std::vector<morse::HeardText>& heard) {
    for (const morse::HeardText& text : heard) {
        const bool newLine = m_lineStartSeconds < 0 ||
                             text.startSeconds - m_lastHeardSeconds > kLineGapSeconds ||
                             m_transcript->document()->lastBlock().length() > kLineCharacters;
        if (newLine && text.text == " ") {
            continue;
        }
        if (newLine) {
            m_lineStartSeconds = text.startSeconds;
            const QDateTime at =
                m_session->StartUtc().addMSecs(std::llround(text.startSeconds * 1000.0));
            m_transcript->appendPlainText(at.toLocalTime().toString(QStringLiteral("HH:mm:ss  ")));
        }
        m_transcript->moveCursor(QTextCursor::End);
        m_transcript->insertPlainText(QString::fromStdString(text.text));
        m_lastHeardSeconds = text.endSeconds;
    }
}

DialogRecording::Copied ListenWindow::SourceOf(const morse::CopiedBeacon& beacon) const {
    // A kept recording names the source, so that decoding it again later finds the same beacons.
    const QString recording = m_session->RecordingPath();
    const archive::BeaconSource source =
        recording.isEmpty()
            ? archive::BeaconSource{archive::SourceKind::kLive,
                                    archive::LiveSourceName(m_session->Device().description,
                                                            m_session->StartUtc())}
            : archive::BeaconSource{archive::SourceKind::kRecording,
                                    archive::SourceNameOf(recording)};
    return {source, m_session->StartUtc(), beacon.startSeconds, MeasuresOf(beacon)};
}

}  // namespace telvane
