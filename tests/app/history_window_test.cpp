// The history window and the dialog's recording, driven as an operator would, over real archives.

#include <qcustomplot.h>

#include <QCheckBox>
#include <QImage>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QtTest>
#include <set>

#include "app_settings.h"
#include "archive.h"
#include "beacon_line_edit.h"
#include "beacon_writer.h"
#include "converter_dlg.h"
#include "dialog_recording.h"
#include "history_window.h"
#include "private_home.h"

using namespace telvane;

namespace {

using Lines = std::array<std::string, kLineCount>;

// A beacon with time counter `counter` and battery reading `battery`; `trickle` sets the status
// bit that makes the reference be recalibrated from the battery.
Lines Beacon(unsigned counter, unsigned battery, bool trickle = false) {
    const auto hex = [](unsigned value) {
        return QStringLiteral("%1").arg(value, 2, 16, QChar(u'0')).toUpper().toStdString();
    };
    return {"ZK1 AB CD/EF",
            "ZK2 00 " + hex(counter >> 8 & 0xFF) + ' ' + hex(counter & 0xFF),
            "ZK3 25 " + hex(trickle ? 0xB8 : 0x38) + " 02 00",
            "ZK4 " + hex(battery) + " A0 8C",
            "ZK5 4 3 2 1 0 5",
            "ZK6 8899AABB 5C"};
}

class NoPrompts final : public SavePrompts {
public:
    void Inform(QWidget*, const QString&, const QString&) override {}
    void ReportError(QWidget*, const QString& caption, const QString& text,
                     const QString&) override {
        errors << caption + '|' + text;
    }
    std::optional<QString> AskSavePath(QWidget*, const QString&) override { return answer; }
    std::optional<QString> AskRecordingPath(QWidget*) override { return std::nullopt; }
    std::optional<int> PickBeacon(QWidget*, const QStringList&, int) override {
        return std::nullopt;
    }

    QStringList errors;
    std::optional<QString> answer;  // nothing: the operator cancels the Save dialog
};

class FixedClock final : public Clock {
public:
    LocalTime Now() override { return {2024, 3, 5, 9, 7, 0}; }
};

long long CountRows(const QString& path) {
    QString error;
    const auto archive = archive::Archive::Open(path, archive::Access::kRead, error);
    archive::SeriesData data;
    return archive && archive::LoadSeries(*archive, {}, {}, data, error)
               ? static_cast<long long>(data.times.size())
               : -1;
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace

class HistoryWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;
    QTemporaryDir m_dir;
    QString m_archive;
    qint64 m_nowMs = 0;

    // Three passes: two hours, three days and twenty days ago; the reference recalibrated once.
    void FillArchive() {
        m_archive = m_dir.filePath(QStringLiteral("history.sqlite"));
        QString error;
        auto archive = archive::Archive::Open(m_archive, archive::Access::kWrite, error);
        QVERIFY2(archive, qPrintable(error));
        archive::BeaconWriter writer(*archive, {2024, 3, 5, 9, 7, 0});
        const archive::BeaconSource source{archive::SourceKind::kLog, "/logs/pass.txt"};
        const qint64 passesAgoMs[] = {20LL * 86400000, 3LL * 86400000, 2LL * 3600000};
        const int beaconsPerPass[] = {2, 3, 4};
        unsigned counter = 0;
        for (int pass = 0; pass < 3; ++pass) {
            for (int k = 0; k < beaconsPerPass[pass]; ++k, ++counter) {
                archive::ReceivedBeacon beacon;
                beacon.lines = Beacon(counter, 0x30 + counter, counter == 4);
                beacon.receivedUtc = QDateTime::fromMSecsSinceEpoch(
                    m_nowMs - passesAgoMs[pass] + k * 60000, QTimeZone::utc());
                beacon.position.line = 1 + 6 * counter;
                QVERIFY(writer.Add(source, beacon));
            }
        }
        QVERIFY2(writer.Commit(), qPrintable(writer.Error()));
    }

    static void WaitShown(HistoryWindow& window) {
        QSignalSpy shown(&window, &HistoryWindow::historyShown);
        QVERIFY(shown.wait(10000));
    }

    static void ChooseRange(HistoryWindow& window, RangeChoice choice) {
        window.SetRange(choice);
        if (window.Loading()) {
            WaitShown(window);
        }
    }

    static std::unique_ptr<HistoryWindow> OpenWindow(const QString& path) {
        auto window = std::make_unique<HistoryWindow>(path);
        window->show();
        WaitShown(*window);
        return window;
    }

    static void TypeAndConvert(CConverterDlg& dialog, const Lines& lines) {
        for (int k = 0; k < kLineCount; ++k) {
            dialog.LineBox(k)->setText(QString::fromStdString(lines[k]));
        }
        dialog.OnConvert();
        dialog.Recording()->WaitForDone();
        QCoreApplication::processEvents();
    }

private slots:
    void initTestCase() {
        UsePrivateHome(m_home);
        m_nowMs = QDateTime::currentMSecsSinceEpoch();
        FillArchive();
    }

    void init() {
        SetRecordingEnabled(true);
        QSettings("Telvane", "Telvane").remove("history");
    }

    void everyConvertIsRecordedEvenWhenTheSaveIsCancelled() {
        auto* prompts = new NoPrompts;
        CConverterDlg dialog(nullptr, std::unique_ptr<SavePrompts>(prompts),
                             std::make_unique<FixedClock>());
        const QString path = archive::DefaultArchivePath();
        QFile::remove(path);
        TypeAndConvert(dialog, Beacon(1, 0x40));
        QCOMPARE(CountRows(path), 1LL);
        TypeAndConvert(dialog, Beacon(1, 0x40));  // the same beacon again
        TypeAndConvert(dialog, Beacon(2, 0x41));
        QCOMPARE(CountRows(path), 2LL);
        TypeAndConvert(dialog, Lines{});  // nothing typed: nothing heard
        QCOMPARE(CountRows(path), 2LL);
        QVERIFY(prompts->errors.isEmpty());
    }

    void theCheckBoxTurnsRecordingOffAndIsRemembered() {
        CConverterDlg dialog(nullptr, std::make_unique<NoPrompts>(),
                             std::make_unique<FixedClock>());
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        QTest::keyClick(&dialog, Qt::Key_H, Qt::ControlModifier);
        HistoryWindow* window = dialog.History();
        QVERIFY(window != nullptr);
        QVERIFY(window->isVisible());
        QVERIFY(window->RecordingBox()->isChecked());  // on by default
        window->RecordingBox()->click();
        QVERIFY(!QSettings("Telvane", "Telvane").value("archive/record", true).toBool());
        const QString path = archive::DefaultArchivePath();
        const long long before = CountRows(path);
        TypeAndConvert(dialog, Beacon(77, 0x42));
        QCOMPARE(CountRows(path), before);
        HistoryWindow another(path);
        QVERIFY(!another.RecordingBox()->isChecked());
        WaitShown(another);
    }

    void aBrokenArchiveWarnsOnceAndTheReportIsStillSaved() {
        const QString path = archive::DefaultArchivePath();
        QFile::remove(path);
        {
            QFile text(path);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write("my notes\n");
        }
        auto* prompts = new NoPrompts;
        CConverterDlg dialog(nullptr, std::unique_ptr<SavePrompts>(prompts),
                             std::make_unique<FixedClock>());
        for (unsigned k = 0; k < 2; ++k) {
            prompts->answer = m_dir.filePath(QStringLiteral("report%1.txt").arg(k));
            TypeAndConvert(dialog, Beacon(k, 0x40));
            QVERIFY(QFile::exists(*prompts->answer));
        }
        QCOMPARE(prompts->errors.size(), 1);
        QVERIFY2(prompts->errors[0].contains("is not a Telvane archive"),
                 qPrintable(prompts->errors[0]));
        QCOMPARE(ReadAll(path), QByteArray("my notes\n"));
        auto window = OpenWindow(path);
        QVERIFY2(window->StatusText().contains("is not a Telvane archive"),
                 qPrintable(window->StatusText()));
        QCOMPARE(ReadAll(path), QByteArray("my notes\n"));
        QFile::remove(path);
    }

    void theWindowReopensAsItWasLeft() {
        {
            auto window = OpenWindow(m_archive);
            window->SetTicked({"rssi_dbu"});
            WaitShown(*window);
            ChooseRange(*window, RangeChoice::kLastPass);
        }
        auto window = OpenWindow(m_archive);
        QCOMPARE(window->Ticked(), std::vector<std::string>{"rssi_dbu"});
        QCOMPARE(window->Table()->model()->rowCount(), 4);
        window->SetTicked({});
        WaitShown(*window);
        auto again = OpenWindow(m_archive);
        QVERIFY(again->Ticked().empty());
        QCOMPARE(again->Plot()->graphCount(), 0);
        QCOMPARE(again->Table()->model()->rowCount(), 4);  // the table keeps its own values
    }

    void aMissingArchiveIsSaidAndNotCreated() {
        const QString path = m_dir.filePath(QStringLiteral("none.sqlite"));
        auto window = OpenWindow(path);
        QVERIFY(window->StatusText().startsWith("No beacons recorded yet"));
        QCOMPARE(window->Table()->model()->rowCount(), 0);
        QVERIFY(!QFile::exists(path));
    }

    void timeRangesChooseTheBeacons() {
        auto window = OpenWindow(m_archive);
        struct Case {
            RangeChoice choice;
            int beacons;
        };
        const Case cases[] = {{RangeChoice::kLastPass, 4},
                              {RangeChoice::kDay, 4},
                              {RangeChoice::kWeek, 7},
                              {RangeChoice::kAll, 9}};
        for (const Case& c : cases) {
            ChooseRange(*window, c.choice);
            QCOMPARE(window->Table()->model()->rowCount(), c.beacons);
        }
        const QDateTime now = QDateTime::fromMSecsSinceEpoch(m_nowMs, QTimeZone::utc());
        window->SetDates(now.addDays(-21), now.addDays(-19));
        WaitShown(*window);
        QCOMPARE(window->Table()->model()->rowCount(), 2);
        QVERIFY(window->StatusText().startsWith("2 beacons"));
    }

    void theNewestChoiceIsShownWhenChoicesComeQuickly() {
        auto window = OpenWindow(m_archive);
        window->SetRange(RangeChoice::kAll);
        window->SetRange(RangeChoice::kDay);
        window->SetTicked({"rssi_dbu"});
        window->SetRange(RangeChoice::kLastPass);
        QTRY_VERIFY(!window->Loading());
        QCOMPARE(window->Shown().data->times.size(), std::size_t{4});
        QCOMPARE(window->Shown().fields.front(), std::string("rssi_dbu"));
    }

    void theTableShowsTimeSourceAndValuesInOrder() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kAll);
        const QAbstractItemModel& model = *window->Table()->model();
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QString("Received (UTC)"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QString("battery voltage (V)"));
        QCOMPARE(model.index(0, 1).data().toString(), QString("pass.txt:1"));
        QCOMPARE(model.index(8, 1).data().toString(), QString("pass.txt:49"));
        const QDateTime first =
            QDateTime::fromMSecsSinceEpoch(m_nowMs - 20LL * 86400000, QTimeZone::utc());
        QCOMPARE(model.index(0, 0).data().toString(), first.toString("yyyy-MM-dd HH:mm:ss"));
        double previous = 0;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (row == 4) {
                continue;  // the recalibrated beacon reads the battery differently
            }
            const double battery = model.index(row, 2).data().toDouble();
            QVERIFY2(battery > previous, qPrintable(QString::number(row)));
            previous = battery;
        }
    }

    void tickedQuantitiesArePlottedByUnitWithRecalibrationsMarked() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kAll);
        window->SetTicked({"battery_voltage_v", "solar_array_voltage_v",
                           "temperature_plus_x_panel_c", "rssi_dbu"});
        WaitShown(*window);
        QCustomPlot& plot = *window->Plot();
        QCOMPARE(plot.axisRects().size(), 3);  // V, °C, dBµ
        QStringList names;
        int marks = 0;
        for (int k = 0; k < plot.graphCount(); ++k) {
            names << plot.graph(k)->name();
            if (plot.graph(k)->name() == "reference recalibrated") {
                marks += plot.graph(k)->data()->size();
            }
        }
        QVERIFY2(names.contains("battery voltage") && names.contains("rssi"),
                 qPrintable(names.join(',')));
        QCOMPARE(marks, 3);                           // one beacon, marked in each panel
        for (QCPAxisRect* rect : plot.axisRects()) {  // each legend names its own panel's lines
            const auto* legend = static_cast<QCPLegend*>(rect->insetLayout()->elementAt(0));
            QCOMPARE(legend->itemCount(), rect->graphs().size());
        }
        // The table keeps its own values and adds the ticked ones.
        QCOMPARE(window->Table()->model()->columnCount(), 2 + 4 + 1);
    }

    void zoomAndPanMoveEveryPanelTogether() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kAll);
        window->SetTicked({"battery_voltage_v", "temperature_plus_x_panel_c"});
        WaitShown(*window);
        QCustomPlot& plot = *window->Plot();
        const QCPRange before = plot.axisRect(0)->axis(QCPAxis::atBottom)->range();
        const QCPRange values = plot.axisRect(0)->axis(QCPAxis::atLeft)->range();
        const QPointF centre = plot.axisRect(0)->rect().center();
        QWheelEvent wheel(centre, plot.mapToGlobal(centre), {}, {0, 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(&plot, &wheel);
        const QCPRange zoomed = plot.axisRect(0)->axis(QCPAxis::atBottom)->range();
        QVERIFY(zoomed.size() < before.size());
        QTest::mousePress(&plot, Qt::LeftButton, {}, centre.toPoint());
        QTest::mouseMove(&plot, centre.toPoint() + QPoint(80, 0));
        QTest::mouseRelease(&plot, Qt::LeftButton, {}, centre.toPoint() + QPoint(80, 0));
        const QCPRange panned = plot.axisRect(0)->axis(QCPAxis::atBottom)->range();
        QVERIFY(panned.lower < zoomed.lower);
        QCOMPARE(plot.axisRect(1)->axis(QCPAxis::atBottom)->range(), panned);
        QCOMPARE(plot.axisRect(0)->axis(QCPAxis::atLeft)->range(), values);  // time only
    }

    void thePointerShowsTheNearestValues() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kLastPass);
        QCustomPlot& plot = *window->Plot();
        plot.replot();
        const archive::SeriesData& data = *window->Shown().data;
        QCPAxisRect* rect = plot.axisRect(0);
        const QPoint at(
            static_cast<int>(rect->axis(QCPAxis::atBottom)->coordToPixel(data.times[1])),
            rect->rect().center().y());
        window->ShowValueAt(at);
        const QString expected =
            QStringLiteral("battery voltage %1 V").arg(data.values[0][1], 0, 'f', 2);
        QVERIFY2(window->PointerText().contains(expected), qPrintable(window->PointerText()));
        window->ShowValueAt({-50, -50});
        QVERIFY(window->PointerText().isEmpty());
    }

    void theShownDataIsExportedAsCsv() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kWeek);
        const QString path = m_dir.filePath(QStringLiteral("shown.csv"));
        QString error;
        QVERIFY2(window->ExportCsv(path, error), qPrintable(error));
        const QList<QByteArray> rows = ReadAll(path).split('\n');
        QCOMPARE(rows.size(), 1 + 7 + 1);  // header, beacons, the end of the last line
        QVERIFY(
            rows[0].startsWith("received_utc,reference_recalibrated,battery_voltage_v,"
                               "solar_array_voltage_v,battery_temperature_c,rssi_dbu"));
        const archive::SeriesData& data = *window->Shown().data;
        const QList<QByteArray> cells = rows[3].trimmed().split(',');
        QCOMPARE(cells[0], QDateTime::fromMSecsSinceEpoch(std::llround(data.times[2] * 1000),
                                                          QTimeZone::utc())
                               .toString(Qt::ISODateWithMs)
                               .toUtf8());
        QCOMPARE(cells[1], QByteArray("true"));  // the fifth beacon, third in this week
        QCOMPARE(cells[2].toDouble(), data.values[0][2]);
        QCOMPARE(rows[2].trimmed().split(',')[1], QByteArray("false"));
    }

    void thePlotIsExportedAsPngSvgAndPdf() {
        auto window = OpenWindow(m_archive);
        ChooseRange(*window, RangeChoice::kAll);
        const QString png = m_dir.filePath(QStringLiteral("plot.png"));
        QString error;
        QVERIFY2(window->ExportPlot(png, error), qPrintable(error));
        const QImage image(png);
        QCOMPARE(image.size(), window->Plot()->size());
        std::set<QRgb> colours;
        int batteryBlue = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y);
                colours.insert(pixel);
                batteryBlue += pixel == qRgb(0x1f, 0x77, 0xb4);
            }
        }
        QVERIFY(colours.size() > 10);
        QVERIFY(batteryBlue > 20);  // the battery series is drawn
        const QString svg = m_dir.filePath(QStringLiteral("plot.svg"));
        const QString pdf = m_dir.filePath(QStringLiteral("plot.pdf"));
        QVERIFY2(window->ExportPlot(svg, error) && window->ExportPlot(pdf, error),
                 qPrintable(error));
        QVERIFY(ReadAll(svg).contains("<svg"));
        QVERIFY(ReadAll(pdf).startsWith("%PDF"));
        QVERIFY(!window->ExportPlot(m_dir.filePath(QStringLiteral("plot.gif")), error));
    }
};

QTEST_MAIN(HistoryWindowTest)
#include "history_window_test.moc"
