// Listening in the real window for a while, against whatever sound server and input are the
// default (scripts/measure-listening.sh sets up a private PulseAudio with a beacon playing):
// prints the process's CPU seconds and resident memory every ten seconds, then the CPU share.
// Usage: listen_bench SECONDS

#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

#include "listen_window.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long ResidentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').front().toLong();
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    telvane::ListenWindow window;
    window.show();
    window.StartListening();
    if (!window.Listening()) {
        std::fprintf(stderr, "cannot listen\n");
        return 1;
    }
    QObject::connect(&window, &telvane::ListenWindow::failed, [](const QString& message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    });
    QElapsedTimer clock;
    clock.start();
    const double cpuAtStart = CpuSeconds();
    QTimer report;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const double wall = clock.elapsed() / 1000.0;
        std::printf("%6.0f s  CPU %7.2f s  RSS %ld KiB\n", wall, CpuSeconds() - cpuAtStart,
                    ResidentKiB());
        std::fflush(stdout);
        if (wall >= seconds) {
            app.quit();
        }
    });
    report.start(10000);
    app.exec();
    const double cpu = CpuSeconds() - cpuAtStart;
    std::printf("listening %.0f s: %.2f CPU s, %.2f %% of one core\n", clock.elapsed() / 1000.0,
                cpu, 100.0 * cpu / (clock.elapsed() / 1000.0));
    return 0;
}
