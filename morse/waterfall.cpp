#include "waterfall.h"

#include <liquid/liquid.h>

#include <algorithm>
#include <bit>
#include <cmath>

namespace telvane::morse {
namespace {

constexpr double kWidestBinHz = 8.0;
constexpr double kLowestRate = 8000.0;
constexpr double kHighestRate = 96000.0;
constexpr double kColumnHz = (Waterfall::kHighestHz - Waterfall::kLowestHz) / Waterfall::kColumns;

int TransformSize(double rate) {
    return static_cast<int>(std::bit_ceil(static_cast<unsigned>(std::ceil(rate / kWidestBinHz))));
}

}  // namespace

Waterfall::Waterfall(double sampleRate)
    : size_(TransformSize(std::clamp(sampleRate, kLowestRate, kHighestRate))),
      hop_(static_cast<int>(
          std::lround(std::clamp(sampleRate, kLowestRate, kHighestRate) / kRowsPerSecond))),
      binHz_(std::clamp(sampleRate, kLowestRate, kHighestRate) / size_),
      window_(static_cast<std::size_t>(size_)),
      ring_(static_cast<std::size_t>(size_), 0.0F),
      spectrum_(size_) {
    double sum = 0;
    for (int n = 0; n < size_; ++n) {
        window_[static_cast<std::size_t>(n)] =
            liquid_hann(static_cast<unsigned>(n), static_cast<unsigned>(size_));
        sum += window_[static_cast<std::size_t>(n)];
    }
    scale_ = static_cast<float>(2.0 / sum);
}

double Waterfall::FrequencyOf(double column) {
    return kLowestHz + (column + 0.5) * kColumnHz;
}

double Waterfall::ColumnOf(double hz) {
    return (hz - kLowestHz) / kColumnHz - 0.5;
}

void Waterfall::Feed(std::span<const float> samples, std::vector<float>& rows) {
    for (const float sample : samples) {
        ring_[next_] = sample;
        next_ = next_ + 1 == ring_.size() ? 0 : next_ + 1;
        if (++sinceRow_ == hop_) {
            sinceRow_ = 0;
            AddRow(rows);
        }
    }
}

void Waterfall::AddRow(std::vector<float>& rows) {
    std::span<float> input = spectrum_.Input();
    for (std::size_t n = 0; n < ring_.size(); ++n) {
        const std::size_t at = (next_ + n) % ring_.size();
        input[n] = ring_[at] * window_[n];
    }
    const auto bins = spectrum_.Transform();
    // Each column shows the strongest bin in its span, so that a narrow CW tone keeps its peak.
    for (int c = 0; c < kColumns; ++c) {
        const double low = kLowestHz + c * kColumnHz;
        const auto first = static_cast<std::size_t>(std::lround(low / binHz_));
        const auto last =
            std::max(first, static_cast<std::size_t>(std::lround((low + kColumnHz) / binHz_)) - 1);
        float peak = 0;
        for (std::size_t k = first; k <= last; ++k) {
            peak = std::max(peak, std::abs(bins[k]));
        }
        const float amplitude = peak * scale_;
        rows.push_back(amplitude > 0 ? std::max(kFloorDb, 20.0F * std::log10(amplitude))
                                     : kFloorDb);
    }
}

}  // namespace telvane::morse
