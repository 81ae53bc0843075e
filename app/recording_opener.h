#pragma once

// Decodes a recording for the dialog on a worker thread, with a progress window and Cancel, so
// that the window never freezes.

#include <QFutureWatcher>
#include <QObject>
#include <QString>
#include <vector>

#include "copied_beacon.h"
#include "recording_decoding.h"

class QProgressDialog;
class QWidget;

namespace telvane {

class RecordingOpener : public QObject {
    Q_OBJECT

public:
    explicit RecordingOpener(QWidget* owner);
    ~RecordingOpener() override;

    // Starts decoding `path`; a recording still being decoded is cancelled first.
    void Open(const QString& path);
    void Cancel();
    bool Busy() const;
    // Waits for the worker, then delivers its outcome.
    void WaitForDone();

signals:
    // `seconds`: the recording's length.
    void decoded(const QString& path, const std::vector<morse::CopiedBeacon>& beacons,
                 double seconds);
    void failed(const QString& path, const QString& reason);

private:
    void Deliver();

    QWidget* m_owner;
    QString m_path;
    QFutureWatcher<DecodedRecording> m_watcher;
    QProgressDialog* m_progress = nullptr;
};

}  // namespace telvane
