// The cost of one keystroke in a beacon line box, with the box holding a long line: the dialog
// marks misheard characters on every change, and must stay instant whatever the box holds.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QKeyEvent>

#include "beacon_line_edit.h"
#include "converter_dlg.h"

namespace {

void BM_KeystrokeInALongLine(benchmark::State& state) {
    telvane::CConverterDlg dialog;
    dialog.show();
    telvane::BeaconLineEdit* box = dialog.LineBox(3);
    box->setText(QStringLiteral("ZK4 9G 80 90 ") +
                 QString(static_cast<qsizetype>(state.range(0)), u'7'));
    box->setFocus();
    for (auto _ : state) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_1, Qt::NoModifier, QStringLiteral("1"));
        QApplication::sendEvent(box, &press);
        QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
        QApplication::sendEvent(box, &erase);
        QApplication::processEvents();
    }
    state.SetLabel("two keystrokes per iteration (a digit, then backspace)");
}
// The longest argument is more than a box takes: it holds the first 32767 characters.
BENCHMARK(BM_KeystrokeInALongLine)->Arg(16)->Arg(1 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
