// Draws the CW decoder's character error rate against SNR, from morse_cer's CSV, as a PNG for the
// README, with the reference points of a skilled operator. Renders offscreen:
//   QT_QPA_PLATFORM=offscreen cer_plot cer.csv docs/cer-vs-snr.png

#include <qcustomplot.h>

#include <QApplication>
#include <QFile>
#include <QTextStream>
#include <cstdio>

namespace {

// A skilled operator's copy of random text, for comparison.
const QVector<double> kOperatorSnr = {-13, -12, -11, -10};
const QVector<double> kOperatorCer = {65, 32, 12, 0.75};
constexpr double kFloorPercent = 0.01;  // zero errors still show on the logarithmic axis

bool ReadCsv(const QString& path, QVector<double>& snr, QVector<double>& cer) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return false;
    }
    QTextStream in(&file);
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(',');
        if (fields.size() == 2) {
            snr.append(fields[0].toDouble());
            cer.append(std::max(fields[1].toDouble(), kFloorPercent));
        }
    }
    return !snr.isEmpty();
}

void AddCurve(QCustomPlot& plot, const QVector<double>& x, const QVector<double>& y,
              const QString& name, const QColor& colour) {
    QCPGraph* graph = plot.addGraph();
    graph->setData(x, y);
    graph->setName(name);
    graph->setPen(QPen(colour, 2));
    graph->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssCircle, 6));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: cer_plot CSV PNG\n");
        return 2;
    }
    QVector<double> snr;
    QVector<double> cer;
    if (!ReadCsv(QString::fromLocal8Bit(argv[1]), snr, cer)) {
        std::fprintf(stderr, "cannot read %s\n", argv[1]);
        return 1;
    }
    QCustomPlot plot;
    plot.resize(800, 500);
    AddCurve(plot, snr, cer, "Telvane decoder", QColor(20, 90, 200));
    AddCurve(plot, kOperatorSnr, kOperatorCer, "Skilled operator", QColor(200, 80, 30));
    plot.xAxis->setLabel("SNR (dB, tone power over noise in 2500 Hz)");
    plot.yAxis->setLabel("Character error rate (%)");
    plot.yAxis->setScaleType(QCPAxis::stLogarithmic);
    plot.yAxis->setTicker(QSharedPointer<QCPAxisTickerLog>(new QCPAxisTickerLog));
    plot.yAxis->setRange(kFloorPercent, 200);
    plot.xAxis->setRange(-14, 11);
    plot.legend->setVisible(true);
    return plot.savePng(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
