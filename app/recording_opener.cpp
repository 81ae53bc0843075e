#include "recording_opener.h"

#include <QFile>
#include <QProgressDialog>
#include <QPromise>
#include <QtConcurrent>

namespace telvane {
namespace {

constexpr int kProgressSteps = 1000;

void DecodeInWorker(QPromise<DecodedRecording>& promise, const QString& path) {
    promise.setProgressRange(0, kProgressSteps);
    DecodeControl control;
    control.progress = [&promise](double share, double) {
        if (share >= 0) {
            promise.setProgressValue(static_cast<int>(share * kProgressSteps));
        }
        return !promise.isCanceled();
    };
    promise.addResult(DecodeRecording(QFile::encodeName(path).toStdString(), control));
}

}  // namespace

RecordingOpener::RecordingOpener(QWidget* owner) : QObject(owner), m_owner(owner) {
    connect(&m_watcher, &QFutureWatcher<DecodedRecording>::finished, this,
            &RecordingOpener::Deliver);
}

RecordingOpener::~RecordingOpener() {
    m_watcher.disconnect(this);
    Cancel();
    m_watcher.waitForFinished();
}

void RecordingOpener::Open(const QString& path) {
    if (Busy()) {
        m_watcher.disconnect(this);
        Cancel();
        m_watcher.waitForFinished();
        connect(&m_watcher, &QFutureWatcher<DecodedRecording>::finished, this,
                &RecordingOpener::Deliver);
    }
    m_path = path;
    if (m_progress == nullptr) {
        m_progress =
            new QProgressDialog(QStringLiteral("Copying the beacon from the recording\u2026"),
                                QStringLiteral("Cancel"), 0, kProgressSteps, m_owner);
        m_progress->setWindowTitle(QStringLiteral("Open Recording"));
        m_progress->setWindowModality(Qt::WindowModal);
        m_progress->setMinimumDuration(300);
        m_progress->setAutoReset(false);
        connect(m_progress, &QProgressDialog::canceled, this, &RecordingOpener::Cancel);
        connect(&m_watcher, &QFutureWatcher<DecodedRecording>::progressValueChanged, m_progress,
                &QProgressDialog::setValue);
    }
    m_progress->reset();
    m_progress->setValue(0);
    m_watcher.setFuture(QtConcurrent::run(DecodeInWorker, path));
}

void RecordingOpener::Cancel() {
    m_watcher.cancel();
}

bool RecordingOpener::Busy() const {
    return m_watcher.isRunning();
}

void RecordingOpener::WaitForDone() {
    m_watcher.waitForFinished();
    QCoreApplication::sendPostedEvents(&m_watcher);
    QCoreApplication::processEvents();
}

void RecordingOpener::Deliver() {
    if (m_progress != nullptr) {
        m_progress->reset();
    }
    const QFuture<DecodedRecording> future = m_watcher.future();
    if (future.isCanceled() || future.resultCount() == 0) {
        return;  // the operator cancelled: the boxes stay as they were
    }
    const DecodedRecording result = future.result();
    if (result.cancelled) {
        return;
    }
    if (!result.error.empty()) {
        emit failed(m_path, QString::fromLocal8Bit(result.error));
    } else {
        emit decoded(m_path, result.beacons, result.seconds);
    }
}

}  // namespace telvane
