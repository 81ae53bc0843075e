#include "grid_path.h"

#include <algorithm>
#include <cstdint>

namespace telvane::morse {
namespace {

std::complex<double> At(std::span<const std::complex<double>> cumulative, double x) {
    const auto n = static_cast<std::size_t>(x);
    const double fraction = x - static_cast<double>(n);
    return n + 1 < cumulative.size()
               ? cumulative[n] + fraction * (cumulative[n + 1] - cumulative[n])
               : cumulative.back();
}

}  // namespace

GridPath FollowGrid(std::span<const std::complex<double>> cumulative, double period, int phases,
                    std::span<const float> weights, double changeCost, bool withPoints) {
    const double last = static_cast<double>(cumulative.size() - 1);
    const double shift = period / phases;
    const int slots = static_cast<int>((last - shift * (phases - 1)) / period);
    GridPath path;
    if (slots <= 0) {
        return path;
    }
    const auto width = static_cast<std::size_t>(phases);
    std::vector<double> score(width, 0.0);
    std::vector<std::complex<double>> before(width);
    for (std::size_t j = 0; j < width; ++j) {
        before[j] = At(cumulative, shift * static_cast<double>(j));
    }
    // For each slot and phase, the phase the path came from (only when the points are wanted).
    std::vector<std::uint8_t> back(withPoints ? width * static_cast<std::size_t>(slots) : 0);
    for (int k = 0; k < slots; ++k) {
        const auto best = std::max_element(score.begin(), score.end());
        const double change = *best - changeCost;
        const auto from = static_cast<std::uint8_t>(best - score.begin());
        for (std::size_t j = 0; j < width; ++j) {
            const double start = shift * static_cast<double>(j) + period * k;
            const std::complex<double> after = At(cumulative, start + period);
            const auto middle =
                std::min(static_cast<std::size_t>(start + period / 2), weights.size() - 1);
            const double excess = weights[middle] * (std::norm(after - before[j]) / period - 1.0);
            before[j] = after;
            const bool stay = score[j] >= change;
            if (withPoints) {
                back[static_cast<std::size_t>(k) * width + j] =
                    stay ? static_cast<std::uint8_t>(j) : from;
            }
            score[j] = (stay ? score[j] : change) + excess;
        }
    }
    auto phase =
        static_cast<std::size_t>(std::max_element(score.begin(), score.end()) - score.begin());
    path.capture = score[phase];
    if (withPoints) {
        path.points.resize(static_cast<std::size_t>(slots) + 1);
        for (int k = slots - 1; k >= 0; --k) {
            const double start = shift * static_cast<double>(phase) + period * k;
            path.points[static_cast<std::size_t>(k) + 1] = start + period;
            path.points[static_cast<std::size_t>(k)] = start;
            phase = back[static_cast<std::size_t>(k) * width + phase];
        }
    }
    return path;
}

}  // namespace telvane::morse
