// make-history: writes a generated beacon history, for benchmarks, screenshots and trials.
//   make-history log FILE COUNT        a batch log of COUNT beacons
//   make-history archive FILE COUNT    an archive of COUNT beacons received over the passes
//                                      that end now

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QTimeZone>
#include <cstdio>
#include <iostream>

#include "archive.h"
#include "beacon_writer.h"
#include "history_generator.h"
#include "local_time.h"
#include "safe_file.h"

namespace {

using namespace telvane;

int WriteArchive(const QString& path, std::size_t count) {
    QString error;
    auto archive = archive::Archive::Open(path, archive::Access::kWrite, error);
    if (!archive) {
        std::cerr << "make-history: " << error.toStdString() << '\n';
        return 1;
    }
    // Passes run at five a day: end the history about now.
    const qint64 span = static_cast<qint64>(count / 20) * 24 * 3600 * 1000 / 5;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() - span;
    archive::BeaconWriter writer(*archive, CurrentLocalTime());
    archive::BeaconSource source{archive::SourceKind::kLog, {}};
    archive::ReceivedBeacon received;
    bench::GenerateHistory(start, count, [&](const bench::GeneratedBeacon& beacon) {
        source.name = QStringLiteral("/home/operator/passes/pass-%1.txt").arg(beacon.pass);
        received.lines = beacon.lines;
        received.receivedUtc = QDateTime::fromMSecsSinceEpoch(beacon.receivedMs, QTimeZone::utc());
        received.position = {static_cast<long long>(beacon.pass % 20) * 6 + 1, std::nullopt};
        writer.Add(source, received);
    });
    if (!writer.Commit()) {
        std::cerr << "make-history: " << writer.Error().toStdString() << '\n';
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::cerr << "usage: make-history log|archive FILE COUNT\n";
        return 2;
    }
    const std::string kind = argv[1];
    const QString path = QString::fromLocal8Bit(argv[2]);
    const auto count = static_cast<std::size_t>(std::stoull(argv[3]));
    if (kind == "archive") {
        return WriteArchive(path, count);
    }
    const WriteResult result =
        WriteFileSafely(QFile::encodeName(path).toStdString(), bench::HistoryLog(count));
    return result.outcome == WriteOutcome::kWritten ? 0 : 1;
}
