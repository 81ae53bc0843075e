#include "grid_path.h"

#include <algorithm>
#include <cstdint>

namespace telvane::morse {
namespace {

// The running sum at `x` >= 0, along a straight line between its samples.
std::complex<double> At(std::span<const std::complex<double>> cumulative, double x) {
    const auto n = static_cast<std::int64_t>(x);
    const double fraction = x - static_cast<double>(n);
    const auto size = static_cast<std::int64_t>(cumulative.size());
    if (n + 1 >= size) {
        return cumulative.back();
    }
    const std::complex<double> low = cumulative[static_cast<std::size_t>(n)];
    return low + fraction * (cumulative[static_cast<std::size_t>(n) + 1] - low);
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
    std::vector<double> offset(width);  // of each phase's slots from the window's start
    std::vector<std::complex<double>> before(width);
    for (std::size_t j = 0; j < width; ++j) {
        offset[j] = shift * static_cast<double>(j);
        before[j] = At(cumulative, offset[j]);
    }
    const double half = period / 2;
    const auto lastWeight = static_cast<std::int64_t>(weights.size()) - 1;
    // For each slot and phase, the phase the path came from (only when the points are wanted).
    std::vector<std::uint8_t> back(withPoints ? width * static_cast<std::size_t>(slots) : 0);
    // The best phase so far (the first of equals), kept up while the scores are updated.
    double best = 0;
    std::size_t bestPhase = 0;
    for (int k = 0; k < slots; ++k) {
        const double change = best - changeCost;
        const auto from = static_cast<std::uint8_t>(bestPhase);
        const double base = period * k;
        std::uint8_t* came = withPoints ? back.data() + static_cast<std::size_t>(k) * width : nullptr;
        for (std::size_t j = 0; j < width; ++j) {
            const double start = offset[j] + base;
            const std::complex<double> after = At(cumulative, start + period);
            const double weight =
                weights[static_cast<std::size_t>(
                    std::min(static_cast<std::int64_t>(start + half), lastWeight))];
            const double excess = weight * (std::norm(after - before[j]) / period - 1.0);
            before[j] = after;
            const bool stay = score[j] >= change;
            if (came != nullptr) {
                came[j] = stay ? static_cast<std::uint8_t>(j) : from;
            }
            const double updated = (stay ? score[j] : change) + excess;
            score[j] = updated;
            if (j == 0 || best < updated) {
                best = updated;
                bestPhase = j;
            }
        }
    }
    path.capture = best;
    if (withPoints) {
        auto phase = bestPhase;
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
