// The history window over a large archive: the time to open it and show the plot, and the time
// to redraw after a zoom or a pan, on the offscreen platform.
//   history_window_bench ARCHIVE [--benchmark_... flags]
// ARCHIVE is a Telvane archive, e.g. one made by `make-history archive FILE 1000000`.

#include <benchmark/benchmark.h>
#include <qcustomplot.h>

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <chrono>
#include <iostream>

#include "app_settings.h"
#include "history_window.h"

namespace {

using namespace telvane;

QString g_archive;

const std::vector<std::string> kQuantities = {"battery_voltage_v", "solar_array_voltage_v",
                                              "temperature_plus_x_panel_c", "rssi_dbu"};

void WaitShown(HistoryWindow& window) {
    QEventLoop loop;
    QObject::connect(&window, &HistoryWindow::historyShown, &loop, &QEventLoop::quit);
    loop.exec();
}

// Opening the window over all beacons with four quantities ticked, until the plot is drawn.
void BM_HistoryWindowOpen(benchmark::State& state) {
    SaveHistoryRange(RangeChoice::kAll);
    SaveHistoryQuantities(kQuantities);
    std::size_t beacons = 0;
    for (auto _ : state) {
        HistoryWindow window(g_archive);
        window.show();
        WaitShown(window);
        window.Plot()->replot(QCustomPlot::rpImmediateRefresh);
        beacons = window.Shown().data->times.size();
    }
    state.counters["beacons"] = static_cast<double>(beacons);
}
BENCHMARK(BM_HistoryWindowOpen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// One redraw after a change of the time axis, as a mouse wheel step or a drag makes it.
void Redraw(benchmark::State& state, const std::function<void(QCPAxis&, int)>& change) {
    SaveHistoryRange(RangeChoice::kAll);
    SaveHistoryQuantities(kQuantities);
    HistoryWindow window(g_archive);
    window.show();
    WaitShown(window);
    QCustomPlot& plot = *window.Plot();
    plot.replot(QCustomPlot::rpImmediateRefresh);
    QCPAxis& time = *plot.axisRect(0)->axis(QCPAxis::atBottom);
    int step = 0;
    for (auto _ : state) {
        change(time, step++);
        plot.replot(QCustomPlot::rpImmediateRefresh);
    }
    state.counters["replot_ms"] = plot.replotTime(true);
}

void BM_HistoryRedrawZoom(benchmark::State& state) {
    // In and out around the middle: from every beacon shown to a fifth of them and back.
    Redraw(state, [](QCPAxis& time, int step) {
        time.scaleRange(step % 16 < 8 ? 0.82 : 1.0 / 0.82, time.range().center());
    });
}
BENCHMARK(BM_HistoryRedrawZoom)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HistoryRedrawPan(benchmark::State& state) {
    Redraw(state, [](QCPAxis& time, int step) {
        time.moveRange((step % 20 < 10 ? 0.03 : -0.03) * time.range().size());
    });
}
BENCHMARK(BM_HistoryRedrawPan)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir settings;  // the operator's own settings stay as they are
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: history_window_bench ARCHIVE [--benchmark_... flags]\n";
        return 2;
    }
    g_archive = QString::fromLocal8Bit(argv[1]);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
