#pragma once

// Records each beacon the dialog converts, with source "dialog", in the default archive. The
// archive is written on a worker thread, one beacon after the other, so that a busy or broken
// archive never holds up the conversion or its Save step. A failure is told once per session.

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <array>
#include <optional>

#include "beacon_entry.h"
#include "local_time.h"
#include "record_fields.h"

namespace telvane {

class DialogRecording : public QObject {
    Q_OBJECT

public:
    explicit DialogRecording(QObject* parent = nullptr);
    ~DialogRecording() override;

    // Where a converted beacon came from when it was not typed: a recording.
    struct Copied {
        archive::BeaconSource source;
        QDateTime startUtc;  // when the recording began
        double offsetSeconds = 0;
        CopyMeasures measures;
    };

    // Queues the converted beacon, its lines as the boxes held them, for the archive, unless
    // recording is turned off or every box was empty.
    void Record(const std::array<std::string, kLineCount>& lines, const LocalTime& convertedAt,
                const std::optional<Copied>& copied = std::nullopt);
    // Waits until every queued beacon is in the archive or has failed.
    void WaitForDone();

signals:
    // The first failure of this session, once.
    void failed(const QString& warning);

private:
    void Warn(const QString& warning);

    QThreadPool m_pool;
    bool m_warned = false;
};

}  // namespace telvane
