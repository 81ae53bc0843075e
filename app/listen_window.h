#pragma once

// The listening window: choose the input, listen (Ctrl+L starts and stops), watch the band on
// the waterfall with the followed tone marked, the level, the decoder's tone, speed and SNR, and
// the transcript with times. Each beacon is handed to the main dialog as it is heard, and again
// when it completes.

#include <QWidget>

#include "dialog_recording.h"
#include "listen_session.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace telvane {

class InputDeviceWatch;
class WaterfallView;

class ListenWindow : public QWidget {
    Q_OBJECT

public:
    explicit ListenWindow(QWidget* parent = nullptr);
    ~ListenWindow() override;

    // Starts listening, or stops it.
    void Toggle();
    void StartListening();
    void StopListening();
    bool Listening() const { return m_session->Listening(); }

    ListenSession* Session() const { return m_session; }
    WaterfallView* Waterfall() const { return m_waterfall; }
    QComboBox* Inputs() const { return m_inputs; }
    QCheckBox* RecordBox() const { return m_record; }
    // Where the sessions' FLAC recordings go.
    static QString RecordingFolder();

signals:
    // A beacon completed, with where and when it was heard for the archive.
    void beaconHeard(const morse::CopiedBeacon& beacon, const DialogRecording::Copied& source);
    // The beacon under way as heard so far: its lines are shown as they are keyed, and corrected
    // by beaconHeard when it completes.
    void beaconUnderway(const morse::CopiedBeacon& beacon, const DialogRecording::Copied& source);
    // What looked like a beacon under way was none after all.
    void underwayDropped();
    // Listening could not start or stopped by itself: why.
    void failed(const QString& message);

private:
    void ListInputs();
    void Show(const ListenUpdate& update);
    void ShowHeard(const std::vector<morse::HeardText>& heard);
    void ShowListening();
    void Fail(const QString& message);
    DialogRecording::Copied SourceOf(const morse::CopiedBeacon& beacon) const;

    ListenSession* m_session;
    InputDeviceWatch* m_watch;
    QComboBox* m_inputs;
    QPushButton* m_listen;
    QCheckBox* m_record;
    WaterfallView* m_waterfall;
    QProgressBar* m_level;
    QLabel* m_estimate;
    QPlainTextEdit* m_transcript;
    QLabel* m_status;
    double m_lineStartSeconds = -1;  // the transcript line being written, from the session start
    double m_lastHeardSeconds = 0;
};

}  // namespace telvane
