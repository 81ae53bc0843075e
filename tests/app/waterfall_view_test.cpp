// The listening window's waterfall on the offscreen platform: a click picks the frequency under
// the pointer, louder reads lighter in greyscale too, and the newest row is on top.

#include <QSignalSpy>
#include <QTest>

#include "waterfall.h"
#include "waterfall_view.h"

namespace telvane {

class WaterfallViewTest : public QObject {
    Q_OBJECT

private slots:
    void AClickPicksTheFrequencyUnderThePointer() {
        WaterfallView view;
        view.resize(920, 300);
        view.show();
        QSignalSpy picked(&view, &WaterfallView::tonePicked);
        // 920 pixels over 200-2500 Hz: 2.5 Hz a pixel, so a pixel's centre is within a column.
        const struct {
            int x;
            double hz;
        } cases[] = {{1, 201.25}, {200, 700.0}, {520, 1500.0}, {918, 2496.25}};
        for (const auto& c : cases) {
            QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(c.x, 100));
            QCOMPARE(picked.size(), 1);
            QVERIFY2(std::abs(picked.takeFirst().at(0).toDouble() - c.hz) <= 2.5,
                     qPrintable(QString::number(c.x)));
        }
    }

    void LouderColumnsAreLighterInGreyscale() {
        WaterfallView view;
        // One row rising from the floor by 1 dB a column; the median column sets the floor.
        std::vector<float> row(morse::Waterfall::kColumns);
        for (std::size_t c = 0; c < row.size(); ++c) {
            row[c] = -100.0F + static_cast<float>(c) * 0.2F;
        }
        view.AddRows(row);
        const QImage picture = view.Picture();
        int previous = -1;
        int rises = 0;
        for (int c = 0; c < picture.width(); ++c) {
            const int grey = qGray(picture.pixel(c, 0));
            QVERIFY2(grey >= previous, qPrintable(QString::number(c)));
            rises += grey > previous;
            previous = grey;
        }
        QVERIFY(rises > 20);  // the ramp spans many shades, not one step
    }

    void TheNewestRowIsOnTopAndTheHistoryStaysFixed() {
        WaterfallView view;
        const std::vector<float> quiet(morse::Waterfall::kColumns, -100.0F);
        std::vector<float> loud = quiet;
        loud[100] = -40.0F;
        for (int k = 0; k < 3 * WaterfallView::kHistoryRows; ++k) {
            view.AddRows(quiet);
        }
        view.AddRows(loud);
        const QImage picture = view.Picture();
        QCOMPARE(picture.height(), WaterfallView::kHistoryRows);
        QVERIFY(qGray(picture.pixel(100, 0)) > qGray(picture.pixel(100, 1)));
        QCOMPARE(picture.pixel(100, 1), picture.pixel(100, WaterfallView::kHistoryRows - 1));
    }
};

}  // namespace telvane

QTEST_MAIN(telvane::WaterfallViewTest)
#include "waterfall_view_test.moc"
