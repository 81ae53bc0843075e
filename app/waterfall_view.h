#pragma once

// The band picture: the waterfall's rows scrolling down from the top, the newest first, the
// tone the decoder follows marked, and a click picks the signal to follow. The colours run from
// dark violet to yellow with rising lightness, so the picture reads in greyscale too. A fixed
// history of rows in a ring buffer: memory does not grow.

#include <QImage>
#include <QWidget>
#include <vector>

namespace telvane {

class WaterfallView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kHistoryRows = 480;  // 30 s at 16 rows a second

    explicit WaterfallView(QWidget* parent = nullptr);

    // Adds rows of morse::Waterfall::kColumns values in dB each, oldest first.
    void AddRows(const std::vector<float>& rows);
    // The tone the decoder follows, Hz; 0 when it has none.
    void SetTrackedTone(double hz);
    void Clear();
    // The picture as drawn, newest row at the top.
    QImage Picture() const;

    QSize sizeHint() const override { return {720, 300}; }

signals:
    void tonePicked(double hz);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QRect Band() const;  // where the rows are drawn, above the frequency scale
    double FrequencyAt(int x) const;
    int XOf(double hz) const;
    void DrawScale(QPainter& painter) const;
    void DrawTone(QPainter& painter) const;

    QImage m_rows;  // a ring: row m_newest is the newest
    int m_newest = 0;
    float m_floorDb = 0;  // the running noise floor, where the colours start
    bool m_floorKnown = false;
    double m_toneHz = 0;
};

}  // namespace telvane
