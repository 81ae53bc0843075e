#pragma once

// When a recording began, for the reception times of the beacons copied from it.

#include <QDateTime>
#include <QString>

namespace telvane::archive {

// The date and time that receiver and SDR programs put in a recording's file name
// ("SDR_20240305_090700Z_437MHz.wav", "gqrx_20240305_090700_….wav", "2024-03-05 09-07-00.flac"):
// UTC when a 'Z' follows, else local time. Invalid when the name holds none.
QDateTime StartInFileName(const QString& fileName);

// The file name's time, else the file's modification time less the recording's duration.
QDateTime RecordingStartUtc(const QString& path, double durationSeconds);

}  // namespace telvane::archive
