#include "waterfall_view.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>

#include "waterfall.h"

namespace telvane {
namespace {

// Stops of a perceptually uniform map (viridis): lightness rises from each stop to the next.
constexpr std::array<QRgb, 9> kColourStops = {0x440154, 0x472d7b, 0x3b528b, 0x2c728e, 0x21918c,
                                              0x28ae80, 0x5ec962, 0xaadc32, 0xfde725};
constexpr float kBelowFloorDb = 6.0F;  // where the darkest colour is, under the noise floor
constexpr float kSpanDb = 50.0F;       // from the darkest colour to the brightest
constexpr float kFloorFollow = 0.05F;  // share of a row's floor in the running one
constexpr int kScaleHeight = 18;
constexpr std::array<int, 6> kScaleHz = {200, 500, 1000, 1500, 2000, 2500};
using morse::Waterfall;

QRgb Colour(float share) {
    const float at = std::clamp(share, 0.0F, 1.0F) * (kColourStops.size() - 1);
    const auto low = static_cast<std::size_t>(at);
    const std::size_t high = std::min(low + 1, kColourStops.size() - 1);
    const float t = at - static_cast<float>(low);
    const auto mix = [t](int a, int b) {
        return static_cast<int>(std::lround(static_cast<float>(a) + static_cast<float>(b - a) * t));
    };
    const QRgb a = kColourStops[low];
    const QRgb b = kColourStops[high];
    return qRgb(mix(qRed(a), qRed(b)), mix(qGreen(a), qGreen(b)), mix(qBlue(a), qBlue(b)));
}

float Median(std::vector<float> values) {
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

}  // namespace

WaterfallView::WaterfallView(QWidget* parent)
    : QWidget(parent), m_rows(Waterfall::kColumns, kHistoryRows, QImage::Format_RGB32) {
    setMinimumSize(300, 120);
    setCursor(Qt::CrossCursor);
    setToolTip(QStringLiteral("Click a signal to follow it"));
    setAccessibleName(QStringLiteral("Waterfall, 200 to 2500 Hz"));
    Clear();
}

void WaterfallView::Clear() {
    m_rows.fill(kColourStops.front());
    m_floorKnown = false;
    m_toneHz = 0;
    update();
}

void WaterfallView::AddRows(const std::vector<float>& rows) {
    const std::size_t columns = Waterfall::kColumns;
    for (std::size_t start = 0; start + columns <= rows.size(); start += columns) {
        const std::vector<float> row(rows.begin() + static_cast<long>(start),
                                     rows.begin() + static_cast<long>(start + columns));
        const float floor = Median(row);
        m_floorDb = m_floorKnown ? m_floorDb + kFloorFollow * (floor - m_floorDb) : floor;
        m_floorKnown = true;
        m_newest = (m_newest + kHistoryRows - 1) % kHistoryRows;
        auto* line = reinterpret_cast<QRgb*>(m_rows.scanLine(m_newest));
        for (std::size_t c = 0; c < columns; ++c) {
            line[c] = Colour((row[c] - m_floorDb + kBelowFloorDb) / kSpanDb);
        }
    }
    update(Band());
}

void WaterfallView::SetTrackedTone(double hz) {
    if (hz != m_toneHz) {
        m_toneHz = hz;
        update();
    }
}

QImage WaterfallView::Picture() const {
    QImage picture(m_rows.size(), m_rows.format());
    const int older = kHistoryRows - m_newest;
    QPainter painter(&picture);
    painter.drawImage(QPoint(0, 0), m_rows, QRect(0, m_newest, m_rows.width(), older));
    painter.drawImage(QPoint(0, older), m_rows, QRect(0, 0, m_rows.width(), m_newest));
    painter.end();
    return picture;
}

QRect WaterfallView::Band() const {
    return rect().adjusted(0, 0, 0, -kScaleHeight);
}

double WaterfallView::FrequencyAt(int x) const {
    const double column = (x + 0.5) * Waterfall::kColumns / std::max(1, Band().width()) - 0.5;
    return Waterfall::FrequencyOf(column);
}

int WaterfallView::XOf(double hz) const {
    return static_cast<int>(
        std::lround((Waterfall::ColumnOf(hz) + 0.5) * Band().width() / Waterfall::kColumns));
}

void WaterfallView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect band = Band();
    // Newest rows at the top: the part of the ring from m_newest down, then the rest.
    const int older = kHistoryRows - m_newest;
    const int split = band.height() * older / kHistoryRows;
    painter.drawImage(QRect(band.left(), band.top(), band.width(), split), m_rows,
                      QRect(0, m_newest, m_rows.width(), older));
    painter.drawImage(QRect(band.left(), band.top() + split, band.width(), band.height() - split),
                      m_rows, QRect(0, 0, m_rows.width(), m_newest));
    DrawTone(painter);
    DrawScale(painter);
}

void WaterfallView::DrawTone(QPainter& painter) const {
    if (m_toneHz <= 0) {
        return;
    }
    // White over black: visible on every colour of the map.
    const int x = XOf(m_toneHz);
    const QRect band = Band();
    painter.setPen(QPen(Qt::black, 3));
    painter.drawLine(x, band.top(), x, band.top() + 12);
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.drawLine(x, band.top(), x, band.bottom());
}

void WaterfallView::DrawScale(QPainter& painter) const {
    const QRect scale(0, height() - kScaleHeight, width(), kScaleHeight);
    painter.fillRect(scale, palette().window());
    painter.setPen(palette().windowText().color());
    for (const int hz : kScaleHz) {
        const int x = std::clamp(XOf(hz), 0, width() - 1);
        painter.drawLine(x, scale.top(), x, scale.top() + 4);
        const QString label =
            hz == kScaleHz.back() ? QStringLiteral("%1 Hz").arg(hz) : QString::number(hz);
        const int labelWidth = painter.fontMetrics().horizontalAdvance(label);
        const int left = std::clamp(x - labelWidth / 2, 0, width() - labelWidth);
        painter.drawText(QRect(left, scale.top() + 4, labelWidth, kScaleHeight - 4),
                         Qt::AlignCenter, label);
    }
}

void WaterfallView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && Band().contains(event->position().toPoint())) {
        emit tonePicked(FrequencyAt(event->position().toPoint().x()));
    }
}

}  // namespace telvane
